// Matrix Market, the lower triangle of the symmetric pattern matrix: a banner, a comment naming
// the graph, "n n entries", then "i j\n" for each neighbour j <= i of vertex i, ids from 1; with
// edge weights, an integer matrix whose entries are the weights, "i j w\n".
#pragma once

#include "graphfile/layouts/edge_lines.hpp"

namespace famgen {

struct MatrixMarketLayout : EdgeLinesLayout<EdgeStyle::kMatrixMarket> {
  static constexpr std::string_view kKeyword = "mtx";

  static std::string heading(const GraphFacts& facts, RelabelSeed seed) {
    const std::string lines = decimal_text(facts.line_count());
    return std::string("%%MatrixMarket matrix coordinate ") +
           (facts.weights.edges ? "integer" : "pattern") + " symmetric\n% " + facts.title +
           relabel_note(seed) + "\n" + lines + " " + lines + " " +
           decimal_text(edge_lines_of(facts)) + "\n";
  }
};

}  // namespace famgen
