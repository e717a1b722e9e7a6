#include "tests/family_sweep.hpp"

#include "cli/command_line.hpp"
#include "graphfile/relabelling.hpp"
#include "tests/graph_reader.hpp"

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
  };
  return graphs;
}

void with_source(const KeywordSizes& graph, const std::function<void(const GraphSource&)>& look) {
  const char* argv[] = {"famgen", "-graphtype", graph.keyword.c_str(), "-size",
                        graph.sizes.c_str()};
  Settings settings;
  parse_command_line(5, argv, settings);
  const Outcome outcome = dispatch_graph(settings, SourceProbe(look));
  if (outcome.status != 0) {
    throw std::runtime_error(graph.keyword + " " + graph.sizes +
                             " was refused: " + outcome.message + outcome.error);
  }
}

const std::vector<Format>& every_format() {
  static const std::vector<Format> formats = {Format::kMetis, Format::kParhip, Format::kScotch,
                                              Format::kMatrixMarket, Format::kEdgeList};
  return formats;
}

std::string format_name(Format format) {
  switch (format) {
    case Format::kMetis:
      return "metis";
    case Format::kParhip:
      return "parhip";
    case Format::kScotch:
      return "scotch";
    case Format::kMatrixMarket:
      return "mtx";
    case Format::kEdgeList:
      return "edgelist";
  }
  return "?";
}

std::string whole_file(const GraphSource& source, Format format, RelabelSeed seed) {
  const Vertex lines = source.facts().line_count();
  std::optional<Relabelling> relabelling;
  if (seed) relabelling.emplace(lines, *seed);
  std::string file = layout_heading(format, source.facts(), seed);
  for (int section = 0; section < layout_sections(format); ++section) {
    FormatJob job;
    job.format = format;
    job.relabelling = relabelling ? &*relabelling : nullptr;
    job.section = section;
    job.first = 1;
    job.last = lines;
    file += format_job(source, job);
  }
  return file;
}
