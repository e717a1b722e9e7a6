// The Sierpinski graph: the triangle (1, 2, 3) subdivided depth times into its three corner
// triangles. Vertex numbers are handed out in pre-order of the subdivision, and a vertex's
// neighbours come from the two smallest triangles it joins: the graph is built in its store
// (sierpinski_store.hpp) before its lines are written.
//
// Drawn as an equilateral triangle of side 2^depth with its smallest triangles of side 1: on
// the triangular lattice, point (a, b) at (a + b/2, (2^depth - b) √3/2), the corners 1, 2, 3 at
// (0, 0), (2^depth, 0), (0, 2^depth), and every other vertex at the midpoint of the side it was
// made on. The positions follow from the numbering alone, without the store.
#pragma once

#include <memory>

#include "generators/geometry.hpp"
#include "generators/sierpinski_store.hpp"

namespace famgen {

struct Sierpinski {
  std::int32_t depth;
  std::shared_ptr<const SierpinskiBuild> build;  // made by prepare()

  std::optional<std::string> refusal() const {
    if (sierpinski_counts(depth) && depth <= kDeepestSierpinskiDepth) return std::nullopt;
    return "a Sierpinski graph of depth " + std::to_string(depth) +
           " has more vertices than famgen can build (depth 1 to " +
           std::to_string(kDeepestSierpinskiDepth) + ")";
  }

  std::optional<std::string> prepare() {
    auto built = std::make_shared<const SierpinskiBuild>(depth);
    if (!built->built()) {
      return "cannot allocate " + std::to_string(built->store_bytes()) +
             " bytes for the Sierpinski graph of depth " + std::to_string(depth);
    }
    build = std::move(built);
    return std::nullopt;
  }

  GraphFacts facts() const {
    const GraphCounts counts = *sierpinski_counts(depth);
    GraphFacts facts =
        graph_facts(counts,
                    comment_line("%% Sierpinski graph: Depth %d, %d vertices, %d edges\n",
                                 {depth, counts.vertices, counts.edges}),
                    CountsLineEnd::kSpaceThenNewline);
    facts.decimals = kMicroDecimals;
    return facts;
  }

  struct LatticePoint {
    std::int64_t a;
    std::int64_t b;
  };
  static LatticePoint midpoint(LatticePoint p, LatticePoint q) {
    return {(p.a + q.a) / 2, (p.b + q.b) / 2};
  }

  // Vertex v's point. Past the corners, the numbers follow the plain recursion's pre-order: a
  // triangle of depth d takes its three midpoints, then its sub-triangles at a, b and c take
  // numbered[d - 1] numbers each.
  LatticePoint lattice_point(Vertex v, const std::int64_t* numbered) const {
    const std::int64_t side = std::int64_t{1} << depth;
    LatticePoint a{0, 0};
    LatticePoint b{side, 0};
    LatticePoint c{0, side};
    if (v <= 3) return v == 1 ? a : v == 2 ? b : c;
    std::int64_t offset = v - 4;
    for (std::int32_t d = depth; offset >= 3; --d) {
      offset -= 3;
      const std::int64_t below = numbered[d - 1];
      const LatticePoint ac = midpoint(a, c);
      const LatticePoint ab = midpoint(a, b);
      const LatticePoint bc = midpoint(b, c);
      if (offset < below) {
        b = ac;
        c = ab;
      } else if (offset < 2 * below) {
        offset -= below;
        a = b;
        b = ab;
        c = bc;
      } else {
        offset -= 2 * below;
        a = c;
        b = ac;
        c = bc;
      }
    }
    return offset == 0 ? midpoint(a, c) : offset == 1 ? midpoint(a, b) : midpoint(b, c);
  }

  template <class Sink>
  void write_positions(Vertex first, Vertex last, Sink& sink) const {
    std::int64_t numbered[40] = {0};  // the numbers a triangle of depth d hands out
    for (std::int32_t d = 1; d <= depth; ++d)
      numbered[d] = 3 * numbered[d - 1] + 3;
    const std::int64_t side = std::int64_t{1} << depth;
    for (Vertex v = first; v <= last; ++v) {
      const LatticePoint p = lattice_point(v, numbered);
      sink.write_point(
          p.a * kMicro + p.b * (kMicro / 2),
          rounded_micro(scaled(Radius::of_micro((side - p.b) * kMicro), kHalfSqrt3Q62)));
    }
  }

  template <class Sink>
  void write_lines(Vertex first, Vertex last, Sink& sink) const {
    for (Vertex k = first; k <= last; ++k) {
      const NeighbourList& list = build->neighbours_of(static_cast<std::size_t>(k));
      Vertex neighbours[4];
      for (std::int32_t slot = 0; slot < list.count; ++slot)
        neighbours[slot] = list.neighbours[slot];
      sink.write_list_line(neighbours, list.count);
    }
  }
};

}  // namespace famgen
