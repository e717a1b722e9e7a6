// The star: hub 1 joined to every vertex of the ring 2..n, whose vertices are also joined in
// ring order, n back to 2.
#include "generators/generators.hpp"

std::optional<GraphCounts> star_counts(std::int32_t n) {
  const std::int64_t vertices = n;
  return GraphCounts{vertices, 2 * vertices - 2};
}

Outcome generate_star(std::int32_t first_size, const std::string& output_name) {
  const GraphCounts counts = *star_counts(first_size);
  const Vertex n = counts.vertices;
  GraphFile file = open_graph_file(output_name);
  if (!graph_file_ok(file)) return finish_graph_file(file);

  // The star's files have always carried the circle's comment line; readers match on it.
  write_comment_line(file, "%% %d vertices circle\n", {n});
  write_counts_line(file, n, counts.edges, CountsLineEnd::kNewline);
  for (Vertex v = 2; v <= n; ++v)
    write_neighbour(file, v);
  end_vertex_line(file);
  // With n = 3 the ring has two vertices, and each names the other twice.
  for (Vertex i = 2; i <= n && graph_file_ok(file); ++i) {
    const Vertex previous = i == 2 ? n : i - 1;
    const Vertex next = i == n ? 2 : i + 1;
    write_fixed_line(file, previous, next, 1);
  }
  return finish_graph_file(file);
}
