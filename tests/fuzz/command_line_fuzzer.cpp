// libFuzzer target over the command line without the file system: the arguments are parsed and
// dispatched as main does, but the outputs are formatted into memory, so that a run costs the
// parsing, the checks and the formatting alone. The file path (names, temporaries, publishing)
// has its own, slower target, file_path_fuzzer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_arguments.hpp"

using namespace famgen;

namespace {

// Small graphs keep a run short; every family and layout still has room for its corner cases.
constexpr std::int64_t kMostVertices = 3000;
constexpr std::int64_t kMostEdges = 12000;
// A command line longer than this only repeats options: past it, the parser's time per
// argument would set the rate. Measured over CI's minute: 64 arguments ran 4700 times a second
// and reached 8461 edges, 48 ran 5200 and reached 8397, 32 ran 6500 and reached 8182.
constexpr std::size_t kMostArguments = 48;

// The lines of a METIS text that are not comments ('%' first).
std::size_t data_lines(const std::string& bytes) {
  std::size_t lines = 0;
  bool line_start = true;
  bool comment = false;
  for (const char c : bytes) {
    if (line_start) comment = c == '%';
    line_start = c == '\n';
    lines += line_start && !comment;
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (static_cast<std::size_t>(std::count(data, data + size, 0)) >= kMostArguments) return 0;
  const Settings settings = fuzz::parsed_arguments(data, size);
  std::optional<GraphCounts> counts;
  if (!fuzz::small_enough(settings, kMostVertices, kMostEdges, &counts)) return 0;
  WriteOptions options = write_options(settings);
  options.progress = false;  // nothing on standard error from the fuzzer's own runs
  std::vector<std::string> outputs;
  const Outcome outcome = dispatch_graph(settings, MemoryDestination(options, outputs));
  if (outcome.status == 0 && !outcome.error.empty()) std::abort();  // failure reported as success
  if (outcome.status != 0 || settings.graph_type == GRAPH_NONE) return 0;
  // A written graph: one output per requested one, and a METIS text of one line per vertex
  // besides its comments, after a counts line. "completegraph" has none unless made simple or
  // weighted (the counts line then carries what its lines hold), and its count of graphs may
  // be negative: no vertex then.
  if (outputs.size() != options.outputs.size()) std::abort();
  if (counts && options.outputs.front().format == Format::kMetis) {
    const auto vertices = static_cast<std::size_t>(std::max<std::int64_t>(counts->vertices, 0));
    const std::size_t lines = data_lines(outputs.front());
    const bool headed = lines == vertices + 1;
    if (!headed && !(settings.graph_type == GRAPH_COMPLETEGRAPH && lines == vertices)) {
      std::abort();
    }
  }
  return 0;
}
