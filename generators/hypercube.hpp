// The hypercube of dimension d: vertex k stands for the label k - 1 and is joined to the d
// labels that differ from it in one bit, lowest bit first. Drawn on the integer lattice with the
// label's bits dealt to two axes: x holds bits 0, 2, 4, ..., y bits 1, 3, 5, ..., so that the
// neighbours of a vertex lie on its row and its column, a power of two away.
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

  // The even bits of a label, packed: bit 2i to bit i.
  static Vertex even_bits(std::uint64_t label) {
    label &= 0x5555555555555555;
    label = (label | label >> 1) & 0x3333333333333333;
    label = (label | label >> 2) & 0x0f0f0f0f0f0f0f0f;
    label = (label | label >> 4) & 0x00ff00ff00ff00ff;
    label = (label | label >> 8) & 0x0000ffff0000ffff;
    return static_cast<Vertex>((label | label >> 16) & 0x00000000ffffffff);
  }

  template <class Sink>
  void write_positions(Vertex first, Vertex last, Sink& sink) const {
    for (Vertex label = first - 1; label < last; ++label) {
      const auto bits = static_cast<std::uint64_t>(label);
      sink.write_point(even_bits(bits), even_bits(bits >> 1));
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
