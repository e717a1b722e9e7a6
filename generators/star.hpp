// The star: hub 1 joined to every vertex of the ring 2..n, whose vertices are also joined in
// ring order, n back to 2. Drawn as a wheel: the hub at the origin, the ring on a circle of
// circumference n - 1, vertex 2 at (r, 0) and the others counterclockwise one unit apart.
#pragma once

#include "generators/geometry.hpp"
#include "graphfile/graph.hpp"

namespace famgen {

inline std::optional<GraphCounts> star_counts(std::int32_t n) {
  const std::int64_t vertices = n;
  // n - 1 entries on the hub's line and three on each ring line; a ring of two (n = 3) names
  // the other ring vertex twice on each of its lines.
  return GraphCounts{vertices, 2 * vertices - 2, 4 * (vertices - 1), 0, n == 3 ? 2 : 0};
}

struct Star {
  Vertex n;
  RingAngles angles{n - 1};
  Radius radius = radius_of_circumference(n - 1);

  GraphFacts facts() const {
    // The star's METIS files have always carried the circle's comment line; readers match on
    // it. The other layouts name it for what it is.
    GraphFacts facts =
        graph_facts(*star_counts(static_cast<std::int32_t>(n)),
                    comment_line("%% %d vertices circle\n", {n}), CountsLineEnd::kNewline);
    facts.title = std::to_string(n) + " vertices star";
    facts.decimals = kMicroDecimals;
    return facts;
  }

  template <class Sink>
  void write_positions(Vertex first, Vertex last, Sink& sink) const {
    RingWalk walk(angles, std::max<Vertex>(first, 2) - 2);
    for (Vertex i = first; i <= last; ++i) {
      if (i == 1) {
        sink.write_point(0, 0);
        continue;
      }
      const Rotation turn = walk.next();
      sink.write_point(rounded_micro(scaled(radius, turn.cos)),
                       rounded_micro(scaled(radius, turn.sin)));
    }
  }

  // With n = 3 the ring has two vertices, and each names the other twice.
  template <class Sink>
  void write_lines(Vertex first, Vertex last, Sink& sink) const {
    Vertex i = first;
    if (i == 1 && i <= last) {
      sink.write_neighbour_run(2, n - 1);
      sink.end_vertex_line();
      ++i;
    }
    for (; i <= last; ++i) {
      const Vertex previous = i == 2 ? n : i - 1;
      const Vertex next = i == n ? 2 : i + 1;
      sink.write_fixed_line(previous, next, 1);
    }
  }
};

}  // namespace famgen
