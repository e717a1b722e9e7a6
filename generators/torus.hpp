// The torus: A rings of B vertices, each vertex joined to its two ring neighbours and to the
// same position on the next and the previous ring, the last ring wrapping to the first. Drawn on
// the surface of a torus around the z axis: each ring a circle of circumference B across the
// tube, the rings one unit apart where the tube is nearest the axis. Position p of ring r, at
// the angles φ = 2π(r - 1)/A around the axis and θ = 2π(p - 1)/B around the tube, lies at
// ((R + ρ cos θ) cos φ, (R + ρ cos θ) sin φ, ρ sin θ), ρ = B/2π and R = (A + B)/2π.
#pragma once

#include <algorithm>

#include "generators/arithmetic.hpp"
#include "generators/geometry.hpp"
#include "graphfile/graph.hpp"

namespace famgen {

inline std::optional<GraphCounts> torus_counts(std::int32_t rings, std::int32_t ring_length) {
  // Both below 2^31, so 2 × A × B stays below 2^63.
  const std::int64_t vertices = std::int64_t{rings} * ring_length;
  // A ring of one vertex names it as its next and previous vertex, a torus of one ring names
  // each vertex as the same position on the next and previous ring. A ring of two names the
  // other vertex as both, a torus of two rings names the other ring's vertex as both.
  const std::int64_t self_entries = (ring_length == 1 ? 2 : 0) + (rings == 1 ? 2 : 0);
  const std::int64_t repeated_entries = (ring_length == 2 ? 1 : 0) + (rings == 2 ? 1 : 0);
  return GraphCounts{vertices, 2 * vertices, saturating_product(4, vertices),
                     self_entries * vertices, repeated_entries * vertices};
}

struct Torus {
  std::int64_t a;  // rings
  std::int64_t b;  // vertices on a ring
  RingAngles around_axis{a};
  RingAngles around_tube{b};
  Radius axis_to_tube = radius_of_circumference(a + b);
  Radius tube = radius_of_circumference(b);

  GraphFacts facts() const {
    const GraphCounts counts =
        *torus_counts(static_cast<std::int32_t>(a), static_cast<std::int32_t>(b));
    GraphFacts facts = graph_facts(
        counts, comment_line("%% %d x %d torus (%d vertices)\n", {a, b, counts.vertices}),
        CountsLineEnd::kNewline);
    facts.dimension = 3;
    facts.decimals = kMicroDecimals;
    return facts;
  }

  template <class Sink>
  void write_positions(Vertex first, Vertex last, Sink& sink) const {
    auto [ring, position] = divide(first - 1, b);
    Rotation phi = around_axis(ring);
    RingWalk walk(around_tube, position);
    for (Vertex v = first; v <= last; ++v) {
      const Rotation theta = walk.next();
      sink.write_point(rounded_micro(scaled(axis_to_tube, phi.cos) +
                                     scaled(tube, q62_product(theta.cos, phi.cos))),
                       rounded_micro(scaled(axis_to_tube, phi.sin) +
                                     scaled(tube, q62_product(theta.cos, phi.sin))),
                       rounded_micro(scaled(tube, theta.sin)));
      if (++position == b) {
        position = 0;
        phi = around_axis(++ring);
        walk = RingWalk(around_tube, 0);
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
      const Vertex next_ring_start = (r % a) * b;
      const Vertex previous_ring_start = ((r + a - 2) % a) * b;
      // The ring wraps at p = 1 and p = B, tested apart so that with B = 1 both apply.
      const std::int64_t ring_end = std::min(b, p + (last - v));
      for (; p <= ring_end; ++p, ++v) {
        const Vertex next = p == b ? ring_start + 1 : ring_start + p + 1;
        const Vertex previous = p == 1 ? ring_start + b : ring_start + p - 1;
        sink.write_fixed_line(next, previous, next_ring_start + p, previous_ring_start + p);
      }
    }
  }
};

}  // namespace famgen
