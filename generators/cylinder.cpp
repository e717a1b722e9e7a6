// The cylinder: A rings of B vertices, each vertex joined to its two ring neighbours and to the
// same position on the rings before and after it, where they exist.
#include "generators/generators.hpp"

std::optional<GraphCounts> cylinder_counts(std::int32_t rings, std::int32_t ring_length) {
  const std::int64_t vertices = std::int64_t{rings} * ring_length;
  return GraphCounts{vertices, 2 * vertices - ring_length};
}

Outcome generate_cylinder(std::int32_t first_size, std::int32_t second_size,
                          const std::string& output_name) {
  const GraphCounts counts = *cylinder_counts(first_size, second_size);
  const std::int64_t a = first_size;
  const std::int64_t b = second_size;
  GraphFile file = open_graph_file(output_name);
  if (!graph_file_ok(file)) return finish_graph_file(file);

  write_comment_line(file, "%% %d x %d cylinder (%d vertices)\n", {a, b, counts.vertices});
  write_counts_line(file, counts.vertices, counts.edges, CountsLineEnd::kNewline);
  for (std::int64_t r = 1; r <= a && graph_file_ok(file); ++r) {
    const Vertex ring_start = (r - 1) * b;
    for (std::int64_t p = 1; p <= b; ++p) {
      const Vertex next = p == b ? ring_start + 1 : ring_start + p + 1;
      const Vertex previous = p == 1 ? ring_start + b : ring_start + p - 1;
      if (a == 1) {
        // One ring: its ring neighbours alone, which agrees with the counts line's B edges.
        write_fixed_line(file, next, previous);
      } else if (r == 1) {
        write_fixed_line(file, next, previous, b + p);
      } else if (r == a) {
        write_fixed_line(file, next, previous, (a - 2) * b + p);
      } else {
        write_fixed_line(file, next, previous, r * b + p, (r - 2) * b + p);
      }
    }
  }
  return finish_graph_file(file);
}
