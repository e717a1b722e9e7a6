// The hypercube of dimension d: vertex k stands for the label k - 1 and is joined to the d
// labels that differ from it in one bit, lowest bit first. Drawn on the integer lattice with each
// bit moving the vertex by a step of its own: bits 2i and 2i + 1 by z^i and i·z^i, z = 2 + i
// taken as a point (Gaussian integers), so that each pair of bits turns the square of the pair
// before by atan(1/2) and makes it √5 times as large. No two steps are parallel (the turns never
// add up to a right angle), each step's coordinates are coprime (no lattice point, hence no
// vertex, lies inside an edge), and no two labels meet at one point (a sum of steps with signs is
// zero only when it is empty: its lowest pair would be a multiple of 2 + i below norm 5), so every
// edge is drawn where no other edge or vertex lies.
#pragma once

#include <limits>

#include "graphfile/graph.hpp"

namespace famgen {

inline std::optional<GraphCounts> hypercube_counts(std::int32_t dimension) {
  if (dimension < 0 || dimension > 62) return std::nullopt;
  const std::int64_t vertices = std::int64_t{1} << dimension;
  // d × V / 2 as d × (V / 2), exact since V is even, so the product overflows only when the
  // edge figure itself does. The entries, twice that, pass 2^63 from dimension 58 on, where no
  // disk could hold the file: they saturate, which the space guard then refuses.
  std::int64_t edges = 0;
  if (__builtin_mul_overflow(std::int64_t{dimension}, vertices / 2, &edges)) return std::nullopt;
  std::int64_t arcs = 0;
  if (__builtin_mul_overflow(edges, std::int64_t{2}, &arcs)) {
    arcs = std::numeric_limits<std::int64_t>::max();
  }
  return GraphCounts{vertices, edges, arcs, 0};
}

struct Hypercube {
  std::int32_t dimension;

  std::optional<std::string> refusal() const {
    if (hypercube_counts(dimension)) return std::nullopt;
    return "a hypercube of dimension " + std::to_string(dimension) +
           " has figures that do not fit in 64 bits";
  }

  GraphFacts facts() const {
    const GraphCounts counts = *hypercube_counts(dimension);
    return graph_facts(
        counts,
        comment_line("%% Dimension %d hyper-cube (%d vertices)\n", {dimension, counts.vertices}),
        CountsLineEnd::kNewline);
  }

  // The largest step of dimension 62 is (√5)^30 < 2^35 long, so every coordinate stays below
  // 2^37, and 36 times that (a drawing's points) too.
  template <class Sink>
  void write_positions(Vertex first, Vertex last, Sink& sink) const {
    std::int64_t step_x[64];
    std::int64_t step_y[64];
    std::int64_t power_x = 1;  // z^i
    std::int64_t power_y = 0;
    for (std::int32_t bit = 0; bit < dimension; bit += 2) {
      step_x[bit] = power_x;
      step_y[bit] = power_y;
      step_x[bit + 1] = -power_y;
      step_y[bit + 1] = power_x;
      const std::int64_t x = 2 * power_x - power_y;
      power_y = power_x + 2 * power_y;
      power_x = x;
    }
    for (Vertex label = first - 1; label < last; ++label) {
      std::int64_t x = 0;
      std::int64_t y = 0;
      for (std::int32_t bit = 0; bit < dimension; ++bit) {
        const std::int64_t set = (label >> bit) & 1;
        x += set * step_x[bit];
        y += set * step_y[bit];
      }
      sink.write_point(x, y);
    }
  }

  template <class Sink>
  void write_lines(Vertex first, Vertex last, Sink& sink) const {
    // The dimension is at most 62, so a line fits in one call.
    Vertex neighbours[64];
    for (Vertex label = first - 1; label < last; ++label) {
      for (std::int32_t bit = 0; bit < dimension; ++bit)
        neighbours[bit] = (label ^ (Vertex{1} << bit)) + 1;
      sink.write_list_line(neighbours, dimension);
    }
  }
};

}  // namespace famgen
