// The cylinder: A rings of B vertices, each vertex joined to its two ring neighbours and to the
// same position on the rings before and after it, where they exist. Drawn on the surface of a
// cylinder around the z axis: ring r a circle of circumference B at height r - 1, position p at
// the angle 2π(p - 1)/B.
#pragma once

#include <algorithm>

#include "generators/arithmetic.hpp"
#include "generators/geometry.hpp"
#include "graphfile/graph.hpp"

namespace famgen {

inline std::optional<GraphCounts> cylinder_counts(std::int32_t rings, std::int32_t ring_length) {
  const std::int64_t vertices = std::int64_t{rings} * ring_length;
  // Lines of three on the first and last ring, of four between; a single ring has lines of two.
  std::int64_t arcs = rings == 1 ? 2 * vertices : saturating_product(4, vertices);
  if (rings != 1 && arcs != INT64_MAX) arcs -= 2 * std::int64_t{ring_length};
  // A ring of one vertex names it as its next and previous vertex; a ring of two names the
  // other vertex as both.
  const std::int64_t loop_arcs = ring_length == 1 ? 2 * vertices : 0;
  const std::int64_t repeated_arcs = ring_length == 2 ? vertices : 0;
  return GraphCounts{vertices, 2 * vertices - ring_length, arcs, loop_arcs, repeated_arcs};
}

struct Cylinder {
  std::int64_t a;  // rings
  std::int64_t b;  // vertices on a ring
  RingAngles around{b};
  Radius radius = radius_of_circumference(b);

  GraphFacts facts() const {
    const GraphCounts counts =
        *cylinder_counts(static_cast<std::int32_t>(a), static_cast<std::int32_t>(b));
    GraphFacts facts = graph_facts(
        counts, comment_line("%% %d x %d cylinder (%d vertices)\n", {a, b, counts.vertices}),
        CountsLineEnd::kNewline);
    facts.dimension = 3;
    facts.decimals = kMicroDecimals;
    return facts;
  }

  template <class Sink>
  void write_positions(Vertex first, Vertex last, Sink& sink) const {
    auto [ring, position] = divide(first - 1, b);
    RingWalk walk(around, position);
    for (Vertex v = first; v <= last; ++v) {
      const Rotation turn = walk.next();
      sink.write_point(rounded_micro(scaled(radius, turn.cos)),
                       rounded_micro(scaled(radius, turn.sin)), ring * kMicro);
      if (++position == b) {
        position = 0;
        ++ring;
        walk = RingWalk(around, 0);
      }
    }
  }

  template <class Sink>
  void write_lines(Vertex first, Vertex last, Sink& sink) const {
    const auto [ring, position] = divide(first - 1, b);
    std::int64_t r = ring + 1;
    std::int64_t p = position + 1;
    for (Vertex v = first; v <= last; ++r, p = 1) {
      const Vertex ring_start = (r - 1) * b;
      const std::int64_t ring_end = std::min(b, p + (last - v));
      for (; p <= ring_end; ++p, ++v) {
        const Vertex next = p == b ? ring_start + 1 : ring_start + p + 1;
        const Vertex previous = p == 1 ? ring_start + b : ring_start + p - 1;
        if (a == 1) {
          // One ring: its ring neighbours alone, which agrees with the counts line's B edges.
          sink.write_fixed_line(next, previous);
        } else if (r == 1) {
          sink.write_fixed_line(next, previous, b + p);
        } else if (r == a) {
          sink.write_fixed_line(next, previous, (a - 2) * b + p);
        } else {
          sink.write_fixed_line(next, previous, r * b + p, (r - 2) * b + p);
        }
      }
    }
  }
};

}  // namespace famgen
