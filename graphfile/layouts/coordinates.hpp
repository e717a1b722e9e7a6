// The coordinates of a run's vertices beside its graph, for every layout but Scotch's: one
// line per vertex, in the graph file's vertex order, its 2 or 3 coordinates between single
// spaces, no heading (the plain file that geometric partitioners read).
#pragma once

#include "graphfile/layouts/points.hpp"

namespace famgen {

struct CoordinatesLayout : PointLinesLayout<PointStyle::kPlain> {
  static constexpr std::string_view kKeyword = "";  // follows from -format, not named by it

  static std::string heading(const GraphFacts&, RelabelSeed) { return {}; }
};

}  // namespace famgen
