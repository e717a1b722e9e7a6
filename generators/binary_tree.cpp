// The complete binary tree in heap order: the children of vertex k are 2k and 2k + 1.
#include <limits>

#include "generators/generators.hpp"

std::optional<GraphCounts> binary_tree_counts(std::int32_t depth) {
  // 2^depth - 1 computed exactly (a floating-point power loses precision past 2^53).
  if (depth < 0 || depth > 63) return std::nullopt;
  const std::int64_t vertices =
      depth == 63 ? std::numeric_limits<std::int64_t>::max() : (std::int64_t{1} << depth) - 1;
  return GraphCounts{vertices, vertices - 1};
}

Outcome generate_binary_tree(std::int32_t first_size, const std::string& output_name) {
  const std::optional<GraphCounts> counts = binary_tree_counts(first_size);
  if (!counts) {
    return refused("a binary tree of depth " + std::to_string(first_size) +
                   " has more vertices than fit in 64 bits");
  }
  const Vertex vertex_count = counts->vertices;
  GraphFile file = open_graph_file(output_name);
  if (!graph_file_ok(file)) return finish_graph_file(file);

  write_comment_line(file, "%% Depth %d binary tree (%d vertices)\n", {first_size, vertex_count});
  write_counts_line(file, vertex_count, counts->edges, CountsLineEnd::kNewline);
  // V is odd, so 2k < V (that is, k <= (V - 1) / 2) implies 2k + 1 <= V: a vertex has two
  // children or none.
  const Vertex last_parent = (vertex_count - 1) / 2;
  for (Vertex k = 1; k <= vertex_count && graph_file_ok(file); ++k) {
    if (k <= last_parent) {
      write_neighbour(file, 2 * k);
      write_neighbour(file, 2 * k + 1);
    }
    if (k > 1) write_neighbour(file, k / 2);
    end_vertex_line(file);
  }
  return finish_graph_file(file);
}
