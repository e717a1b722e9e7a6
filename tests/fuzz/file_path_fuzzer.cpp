// libFuzzer target over the whole command line with its files: the arguments are parsed and
// dispatched as main does, every output written, published and removed inside a scratch folder.
// Slower than command_line_fuzzer, which formats into memory; this one exercises the names,
// the temporaries and the publishing.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_arguments.hpp"

using namespace famgen;

namespace {

constexpr std::int64_t kMostVertices = 20000;
constexpr std::int64_t kMostEdges = 100000;

// A fresh folder that every output file goes into, removed at exit. Plain storage, so it
// outlives every static object the exit handler could otherwise outlast.
char scratch_name[] = "/tmp/famgen-fuzz-XXXXXX";

const char* scratch_folder() {
  static const bool made = [] {
    if (mkdtemp(scratch_name) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(scratch_name, ignored);
    });
    return true;
  }();
  (void)made;
  return scratch_name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Settings settings = fuzz::parsed_arguments(data, size);
  if (!fuzz::small_enough(settings, kMostVertices, kMostEdges)) return 0;
  // Keep every file inside the scratch folder: no name may reach another folder or a device.
  // An empty name stays empty, so that its failure is exercised too.
  for (std::string* name : {&settings.output_name, &settings.coordinates_name}) {
    if (name->empty()) continue;
    for (char& c : *name) {
      if (c == '/') c = '_';
    }
    *name = std::string(scratch_folder()) + "/" + *name;
  }
  const Outcome outcome = dispatch_graph(settings);
  if (outcome.status == 0 && !outcome.error.empty()) std::abort();  // failure reported as success
  for (const std::string* name : {&settings.output_name, &settings.coordinates_name}) {
    std::error_code ignored;
    if (!name->empty()) std::filesystem::remove(*name, ignored);
  }
  return 0;
}
