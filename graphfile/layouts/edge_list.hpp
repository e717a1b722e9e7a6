// The edge list: a "#" line naming the graph and its counts, then "u v\n" for each neighbour
// v >= u of vertex u, ids from 0; with edge weights, "u v w\n".
#pragma once

#include "graphfile/layouts/edge_lines.hpp"

namespace famgen {

struct EdgeListLayout : EdgeLinesLayout<EdgeStyle::kEdgeList> {
  static constexpr std::string_view kKeyword = "edgelist";

  static std::string heading(const GraphFacts& facts, RelabelSeed seed) {
    return "# " + facts.title + relabel_note(seed) + ": " + decimal_text(facts.line_count()) +
           " vertices, " + decimal_text(edge_lines_of(facts)) + " edges" +
           (facts.weights.edges ? ", each with its weight" : "") + "\n";
  }
};

}  // namespace famgen
