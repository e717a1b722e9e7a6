// The complete binary tree in heap order: the children of vertex k are 2k and 2k + 1. Drawn in
// layers: vertex k at depth d = floor(log2 k) has y = d, and x centres it over its subtree, the
// leaves two units apart from x = 0: x = (2 (k - 2^d) + 1) 2^(D - 1 - d) - 1 for depth D.
#pragma once

#include <bit>
#include <limits>

#include "generators/arithmetic.hpp"
#include "graphfile/graph.hpp"

namespace famgen {

inline std::optional<GraphCounts> binary_tree_counts(std::int32_t depth) {
  // 2^depth - 1 computed exactly (a floating-point power loses precision past 2^53).
  if (depth < 0 || depth > 63) return std::nullopt;
  const std::int64_t vertices =
      depth == 63 ? std::numeric_limits<std::int64_t>::max() : (std::int64_t{1} << depth) - 1;
  return GraphCounts{vertices, vertices - 1, vertices > 0 ? saturating_product(2, vertices - 1) : 0,
                     0};
}

struct BinaryTree {
  std::int32_t depth;
  std::optional<GraphCounts> counts = binary_tree_counts(depth);
  Vertex vertex_count = counts ? counts->vertices : 0;

  std::optional<std::string> refusal() const {
    if (counts) return std::nullopt;
    return "a binary tree of depth " + std::to_string(depth) +
           " has more vertices than fit in 64 bits";
  }

  GraphFacts facts() const {
    return graph_facts(
        *counts, comment_line("%% Depth %d binary tree (%d vertices)\n", {depth, vertex_count}),
        CountsLineEnd::kNewline);
  }

  template <class Sink>
  void write_positions(Vertex first, Vertex last, Sink& sink) const {
    for (Vertex k = first; k <= last; ++k) {
      const int d = std::bit_width(static_cast<std::uint64_t>(k)) - 1;
      const Vertex index = k - (Vertex{1} << d);
      sink.write_point((2 * index + 1) * (Vertex{1} << (depth - 1 - d)) - 1, d);
    }
  }

  // V is odd, so 2k < V (that is, k <= (V - 1) / 2) implies 2k + 1 <= V: a vertex has two
  // children or none.
  template <class Sink>
  void write_lines(Vertex first, Vertex last, Sink& sink) const {
    const Vertex last_parent = (vertex_count - 1) / 2;
    for (Vertex k = first; k <= last; ++k) {
      Vertex neighbours[3];
      int count = 0;
      if (k <= last_parent) {
        neighbours[count++] = 2 * k;
        neighbours[count++] = 2 * k + 1;
      }
      if (k > 1) neighbours[count++] = k / 2;
      sink.write_list_line(neighbours, count);
    }
  }
};

}  // namespace famgen
