// libFuzzer target over the whole command line: the input, split at NUL bytes, is the argument
// vector after the program name; it is parsed and dispatched as main does, writing inside a
// scratch folder. Runs whose graph would be large are skipped before dispatch.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/command_line.hpp"

using namespace famgen;

namespace {

constexpr std::int64_t kMostVertices = 20000;
constexpr std::int64_t kMostEdges = 100000;

bool small_enough(const Settings& settings) {
  const std::optional<GraphCounts> counts = family_counts(settings);
  // No counts: either no graph at all or figures past 64 bits, which are refused at once.
  if (!counts) return true;
  return counts->vertices <= kMostVertices && counts->edges <= kMostEdges;
}

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
  std::vector<std::string> arguments = {"famgen"};
  std::string current;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      arguments.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  arguments.push_back(current);
  std::vector<const char*> argv;
  for (const std::string& argument : arguments)
    argv.push_back(argument.c_str());
  argv.push_back(nullptr);

  Settings settings;
  parse_command_line(static_cast<int>(arguments.size()), argv.data(), settings);
  if (!small_enough(settings)) return 0;
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
