// Disjoint complete graphs: graph c (from 0) holds the vertices c × n + 1 to (c + 1) × n, each
// joined to the other n - 1 of its graph.
#include "generators/generators.hpp"

std::optional<GraphCounts> complete_graphs_counts(std::int32_t graph_size,
                                                  std::int32_t graph_count) {
  // The edge figure is n × (n - 1) × c: twice the edges, as the files have always stated it.
  const std::int64_t vertices = std::int64_t{graph_size} * graph_count;
  std::int64_t edge_figure = 0;
  if (__builtin_mul_overflow(std::int64_t{graph_size} * (std::int64_t{graph_size} - 1),
                             std::int64_t{graph_count}, &edge_figure)) {
    return std::nullopt;
  }
  return GraphCounts{vertices, edge_figure};
}

Outcome generate_complete_graphs(std::int32_t first_size, std::int32_t second_size,
                                 const std::string& output_name, bool header_suppressed) {
  const std::optional<GraphCounts> counts = complete_graphs_counts(first_size, second_size);
  // Without heading lines and without graphs nothing large is written, whatever the figures.
  if (!counts && (!header_suppressed || second_size > 0)) {
    return refused(std::to_string(second_size) + " complete graphs of " +
                   std::to_string(first_size) +
                   " vertices have figures that do not fit in 64 bits");
  }
  const std::int64_t n = first_size;
  GraphFile file = open_graph_file(output_name);
  if (!graph_file_ok(file)) return finish_graph_file(file);

  if (!header_suppressed) {
    write_comment_line(file, "%% %d complete graphs with %d vertices (total %d vertices)\n",
                       {n, second_size, counts->vertices});
    write_counts_line(file, counts->vertices, counts->edges, CountsLineEnd::kSpaceThenNewline);
  }
  for (std::int64_t c = 0; c < second_size && graph_file_ok(file); ++c) {
    const Vertex graph_start = c * n;
    for (std::int64_t v = 1; v <= n && graph_file_ok(file); ++v) {
      for (std::int64_t u = 1; u < v; ++u)
        write_neighbour(file, graph_start + u);
      for (std::int64_t u = v + 1; u <= n; ++u)
        write_neighbour(file, graph_start + u);
      end_vertex_line(file);
    }
  }
  return finish_graph_file(file);
}
