// Scotch's geometry file, beside a Scotch graph: the dimension, the vertex count, then one line
// per vertex: its label (numbered from 1, as the graph file numbers vertices) and its 2 or 3
// coordinates.
#pragma once

#include "graphfile/layouts/points.hpp"

namespace famgen {

struct ScotchGeometryLayout : PointLinesLayout<PointStyle::kLabels> {
  static constexpr std::string_view kKeyword = "";  // follows from -format scotch

  static std::optional<std::string> refusal(const GraphFacts& facts) {
    return beyond_three_axes("Scotch's geometry file", facts);
  }
  static std::string heading(const GraphFacts& facts, RelabelSeed) {
    return decimal_text(facts.dimension) + "\n" + decimal_text(facts.line_count()) + "\n";
  }
};

}  // namespace famgen
