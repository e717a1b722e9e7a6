// The torus: A rings of B vertices, each vertex joined to its two ring neighbours and to the
// same position on the next and the previous ring, the last ring wrapping to the first.
#include "generators/generators.hpp"

std::optional<GraphCounts> torus_counts(std::int32_t rings, std::int32_t ring_length) {
  // Both below 2^31, so 2 × A × B stays below 2^63.
  const std::int64_t vertices = std::int64_t{rings} * ring_length;
  return GraphCounts{vertices, 2 * vertices};
}

Outcome generate_torus(std::int32_t first_size, std::int32_t second_size,
                       const std::string& output_name) {
  const GraphCounts counts = *torus_counts(first_size, second_size);
  const std::int64_t a = first_size;
  const std::int64_t b = second_size;
  GraphFile file = open_graph_file(output_name);
  if (!graph_file_ok(file)) return finish_graph_file(file);

  write_comment_line(file, "%% %d x %d torus (%d vertices)\n", {a, b, counts.vertices});
  write_counts_line(file, counts.vertices, counts.edges, CountsLineEnd::kNewline);
  for (std::int64_t r = 1; r <= a && graph_file_ok(file); ++r) {
    const Vertex ring_start = (r - 1) * b;
    const Vertex next_ring_start = (r % a) * b;
    const Vertex previous_ring_start = ((r + a - 2) % a) * b;
    // The ring wraps at p = 1 and p = B, tested apart so that with B = 1 both apply.
    for (std::int64_t p = 1; p <= b; ++p) {
      const Vertex next = p == b ? ring_start + 1 : ring_start + p + 1;
      const Vertex previous = p == 1 ? ring_start + b : ring_start + p - 1;
      write_fixed_line(file, next, previous, next_ring_start + p, previous_ring_start + p);
    }
  }
  return finish_graph_file(file);
}
