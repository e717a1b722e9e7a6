// The circle: vertex i joined to i - 1 and i + 1, vertex n back to vertex 1. Drawn on a circle
// of circumference n, vertex 1 at (r, 0) and the others counterclockwise one unit apart.
#pragma once

#include "generators/geometry.hpp"
#include "graphfile/graph.hpp"

namespace famgen {

// With n = 1 the vertex names itself twice; with n = 2 each vertex names the other twice.
inline std::optional<GraphCounts> circle_counts(std::int32_t n) {
  return GraphCounts{n, n, 2 * std::int64_t{n}, n == 1 ? 2 : 0, n == 2 ? 2 : 0};
}

struct Circle {
  Vertex n;
  RingAngles angles{n};
  Radius radius = radius_of_circumference(n);

  GraphFacts facts() const {
    GraphFacts facts =
        graph_facts(*circle_counts(static_cast<std::int32_t>(n)),
                    comment_line("%% %d vertices circle\n", {n}), CountsLineEnd::kNewline);
    facts.decimals = kMicroDecimals;
    return facts;
  }

  template <class Sink>
  void write_positions(Vertex first, Vertex last, Sink& sink) const {
    RingWalk walk(angles, first - 1);
    for (Vertex i = first; i <= last; ++i) {
      const Rotation turn = walk.next();
      sink.write_point(rounded_micro(scaled(radius, turn.cos)),
                       rounded_micro(scaled(radius, turn.sin)));
    }
  }

  // The two wrap-arounds are tested apart, so that with n = 1 both fall on the one line and
  // the vertex names itself twice.
  template <class Sink>
  void write_lines(Vertex first, Vertex last, Sink& sink) const {
    for (Vertex i = first; i <= last; ++i) {
      const Vertex previous = i == 1 ? n : i - 1;
      const Vertex next = i == n ? 1 : i + 1;
      sink.write_fixed_line(previous, next);
    }
  }
};

}  // namespace famgen
