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
      {"folded_grid", "1,1", true},
      {"folded_grid", "1,2", true},
      {"partial_folded_grid", "2,1", true},
      {"folded_grid", "1,4", true},
      {"circle", "1", true},
      {"circle", "2", true},
      {"star", "3", true},
      {"torus", "1,1", true},
      {"torus", "2,1", true},
      {"torus", "1,3", true},
      {"torus", "2,2", true},
      {"torus", "2,5", true},
      {"cylinder", "1,2", true},
      {"cylinder", "3,1", true},
      {"cylinder", "3,2", true},
      {"completegraph", "3,0", true},
      {"completegraph", "4,3", true},
      {"unconnected_completegraph", "5,3", true},
  };
  return graphs;
}

std::string describe(const KeywordSizes& graph) {
  return graph.keyword + " " + graph.sizes + (graph.simple ? " -simple" : "");
}

void with_source(const KeywordSizes& graph, const std::function<void(const GraphSource&)>& look) {
  const char* argv[] = {"famgen", "-graphtype",        graph.keyword.c_str(),
                        "-size",  graph.sizes.c_str(), graph.simple ? "-simple" : ""};
  Settings settings;
  parse_command_line(6, argv, settings);
  const Outcome outcome = dispatch_graph(settings, SourceProbe(look));
  if (outcome.status != 0) {
    throw std::runtime_error(describe(graph) + " was refused: " + outcome.message + outcome.error);
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
