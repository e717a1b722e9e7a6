#include "tests/family_sweep.hpp"

#include "cli/command_line.hpp"
#include "graphfile/layouts/layouts.hpp"
#include "graphfile/output/destinations.hpp"
#include "tests/graph_reader.hpp"

namespace famgen {

const std::vector<KeywordSizes>& small_graphs() {
  static const std::vector<KeywordSizes> graphs = {
      {"grid", "1,1"},
      {"grid", "1,2"},
      {"grid", "3,4"},
      {"folded_grid", "1,1"},
      {"folded_grid", "1,2"},
      {"folded_grid", "1,4"},
      {"folded_grid", "3,1"},
      {"folded_grid", "4,5"},
      {"partial_grid", "2,2"},
      {"partial_grid", "6,6"},
      {"partial_folded_grid", "2,2"},
      {"partial_folded_grid", "7,5"},
      {"circle", "1"},
      {"circle", "2"},
      {"circle", "11"},
      {"star", "3"},
      {"star", "12"},
      {"torus", "1,1"},
      {"torus", "2,1"},
      {"torus", "1,3"},
      {"torus", "2,2"},
      {"torus", "3,4"},
      {"cylinder", "1,1"},
      {"cylinder", "1,4"},
      {"cylinder", "3,1"},
      {"cylinder", "2,2"},
      {"cylinder", "4,3"},
      {"tree", "1"},
      {"tree", "2"},
      {"tree", "4"},
      {"hypercube", "2"},
      {"hypercube", "4"},
      {"sierpinski", "1"},
      {"sierpinski", "2"},
      {"completegraph", "3,0"},
      {"completegraph", "1,3"},
      {"completegraph", "4,3"},
      {"unconnected_completegraph", "1,3"},
      {"unconnected_completegraph", "2,2"},
      {"unconnected_completegraph", "5,3"},
      {"mesh", "1"},
      {"mesh", "2", {"-periodic", "all"}},
      {"mesh", "5", {"-periodic", "1"}},
      {"mesh", "3,4"},
      {"mesh", "3,4", {"-stencil", "box", "-periodic", "1,0"}},
      {"mesh", "2,3,4", {"-stencil", "box", "-periodic", "all"}},
      {"mesh", "3,3,3", {"-stencil", "box"}},
      {"mesh", "4,1,3", {"-periodic", "0,1,1"}},
      {"mesh", "3,3,3,3", {"-stencil", "box", "-periodic", "0,1,0,0"}},
      {"mesh", "2,2,3,2,2", {"-periodic", "all"}},
      {"rgg2d", "1"},
      {"rgg2d", "2", {"-radius", "1"}},
      {"rgg2d", "40"},
      {"rgg2d", "60", {"-periodic", "all", "-radius", "0.3"}},
      {"rgg2d", "150", {"-radius", "0.9", "-seed", "3"}},  // lines past 64 entries
      {"rgg3d", "50"},
      {"rgg3d", "30", {"-periodic", "all", "-radius", "0.6", "-seed", "5"}},
      {"folded_grid", "1,1", {"-simple"}},
      {"folded_grid", "1,2", {"-simple"}},
      {"partial_folded_grid", "2,1", {"-simple"}},
      {"folded_grid", "1,4", {"-simple"}},
      {"circle", "1", {"-simple"}},
      {"circle", "2", {"-simple"}},
      {"star", "3", {"-simple"}},
      {"torus", "1,1", {"-simple"}},
      {"torus", "2,1", {"-simple"}},
      {"torus", "1,3", {"-simple"}},
      {"torus", "2,2", {"-simple"}},
      {"torus", "2,5", {"-simple"}},
      {"cylinder", "1,2", {"-simple"}},
      {"cylinder", "3,1", {"-simple"}},
      {"cylinder", "3,2", {"-simple"}},
      {"completegraph", "3,0", {"-simple"}},
      {"completegraph", "4,3", {"-simple"}},
      {"unconnected_completegraph", "5,3", {"-simple"}},
  };
  return graphs;
}

std::string KeywordSizes::name() const {
  std::string text = keyword + " " + sizes;
  for (const std::string& option : options)
    text += " " + option;
  return text;
}

void with_source(const KeywordSizes& graph, const std::function<void(const GraphSource&)>& look) {
  std::vector<const char*> argv = {"famgen", "-graphtype", graph.keyword.c_str(), "-size",
                                   graph.sizes.c_str()};
  for (const std::string& option : graph.options)
    argv.push_back(option.c_str());
  Settings settings;
  parse_command_line(static_cast<int>(argv.size()), argv.data(), settings);
  const Outcome outcome = dispatch_graph(settings, SourceProbe(look));
  if (outcome.status != 0) {
    throw std::runtime_error(graph.name() + " was refused: " + outcome.message + outcome.error);
  }
}

const std::vector<Format>& every_format() {
  static const std::vector<Format> formats = [] {
    std::vector<Format> all;
    for (int format = 0; format <= static_cast<int>(Format::kLastLayout); ++format)
      all.push_back(static_cast<Format>(format));
    return all;
  }();
  return formats;
}

std::string format_name(Format format) {
  if (format == Format::kCoordinates) return "coordinates";
  if (format == Format::kScotchGeometry) return "scotch geometry";
  return std::string(format_keyword(format));
}

std::string whole_file(const GraphSource& source, Format format, RelabelSeed seed) {
  std::vector<std::string> outputs;
  MemoryDestination({{{"", format}}, {}, seed}, outputs).write(source);
  return outputs.at(0);
}

}  // namespace famgen
