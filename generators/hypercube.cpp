// The hypercube of dimension d: vertex k stands for the label k - 1 and is joined to the d
// labels that differ from it in one bit, lowest bit first.
#include "generators/generators.hpp"

std::optional<GraphCounts> hypercube_counts(std::int32_t dimension) {
  if (dimension < 0 || dimension > 62) return std::nullopt;
  const std::int64_t vertices = std::int64_t{1} << dimension;
  // d × V / 2 as d × (V / 2), exact since V is even, so the product overflows only when the
  // edge figure itself does.
  std::int64_t edges = 0;
  if (__builtin_mul_overflow(std::int64_t{dimension}, vertices / 2, &edges)) return std::nullopt;
  return GraphCounts{vertices, edges};
}

Outcome generate_hypercube(std::int32_t first_size, const std::string& output_name) {
  const std::optional<GraphCounts> counts = hypercube_counts(first_size);
  if (!counts) {
    return refused("a hypercube of dimension " + std::to_string(first_size) +
                   " has figures that do not fit in 64 bits");
  }
  const Vertex vertex_count = counts->vertices;
  GraphFile file = open_graph_file(output_name);
  if (!graph_file_ok(file)) return finish_graph_file(file);

  write_comment_line(file, "%% Dimension %d hyper-cube (%d vertices)\n",
                     {first_size, vertex_count});
  write_counts_line(file, vertex_count, counts->edges, CountsLineEnd::kNewline);
  for (Vertex label = 0; label < vertex_count && graph_file_ok(file); ++label) {
    for (std::int32_t bit = 0; bit < first_size; ++bit) {
      write_neighbour(file, (label ^ (Vertex{1} << bit)) + 1);
    }
    end_vertex_line(file);
  }
  return finish_graph_file(file);
}
