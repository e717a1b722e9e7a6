// The circle: vertex i joined to i - 1 and i + 1, vertex n back to vertex 1.
#include "generators/generators.hpp"

std::optional<GraphCounts> circle_counts(std::int32_t n) {
  return GraphCounts{n, n};
}

Outcome generate_circle(std::int32_t first_size, const std::string& output_name) {
  const Vertex n = circle_counts(first_size)->vertices;
  GraphFile file = open_graph_file(output_name);
  if (!graph_file_ok(file)) return finish_graph_file(file);

  write_comment_line(file, "%% %d vertices circle\n", {n});
  write_counts_line(file, n, n, CountsLineEnd::kNewline);
  // The two wrap-arounds are tested apart, so that with n = 1 both fall on the one line and
  // the vertex names itself twice.
  for (Vertex i = 1; i <= n && graph_file_ok(file); ++i) {
    const Vertex previous = i == 1 ? n : i - 1;
    const Vertex next = i == n ? 1 : i + 1;
    write_fixed_line(file, previous, next);
  }
  return finish_graph_file(file);
}
