// Disjoint complete graphs: graph c (from 0) holds the vertices c × n + 1 to (c + 1) × n, each
// joined to the other n - 1 of its graph.
#include "generators/generators.hpp"
#include "graphfile/family_source.hpp"

namespace {

struct CompleteGraphs {
  std::int64_t graph_size;   // n
  std::int64_t graph_count;  // c
  bool header_suppressed;
  GraphCounts counts;

  GraphFacts facts() const {
    // The METIS comment line has always named the sizes in this order, the graph's vertex
    // count where the count of graphs belongs; the other layouts' title reads as it should.
    const std::string title = std::to_string(graph_count) + " complete graphs with " +
                              std::to_string(graph_size) + " vertices (total " +
                              std::to_string(counts.vertices) + " vertices)";
    GraphFacts facts;
    if (!header_suppressed) {
      facts =
          graph_facts(counts,
                      comment_line("%% %d complete graphs with %d vertices (total %d vertices)\n",
                                   {graph_size, graph_count, counts.vertices}),
                      CountsLineEnd::kSpaceThenNewline);
    }
    facts.counts = counts;
    facts.has_heading = !header_suppressed;
    facts.title = title;
    return facts;
  }

  template <class Sink>
  void write_lines(Vertex first, Vertex last, Sink& sink) const {
    const std::int64_t n = graph_size;
    const auto [graph, index] = divide(first - 1, n);
    Vertex graph_start = graph * n;
    std::int64_t v = index + 1;
    for (Vertex line = first; line <= last; ++line) {
      // The other vertices of the graph: those before v, then those after it.
      sink.write_neighbour_run(graph_start + 1, v - 1);
      sink.write_neighbour_run(graph_start + v + 1, n - v);
      sink.end_vertex_line();
      if (++v > n) {
        v = 1;
        graph_start += n;
      }
    }
  }
};

}  // namespace

std::optional<GraphCounts> complete_graphs_counts(std::int32_t graph_size,
                                                  std::int32_t graph_count) {
  // The edge figure is n × (n - 1) × c: twice the edges, as the files have always stated it,
  // and so exactly the entries the lines list.
  const std::int64_t vertices = std::int64_t{graph_size} * graph_count;
  std::int64_t edge_figure = 0;
  if (__builtin_mul_overflow(std::int64_t{graph_size} * (std::int64_t{graph_size} - 1),
                             std::int64_t{graph_count}, &edge_figure)) {
    return std::nullopt;
  }
  const std::int64_t arcs = graph_count > 0 ? edge_figure : 0;
  return GraphCounts{vertices, edge_figure, arcs, 0};
}

Outcome generate_complete_graphs(std::int32_t first_size, std::int32_t second_size,
                                 const GraphDestination& destination, bool header_suppressed) {
  std::optional<GraphCounts> counts = complete_graphs_counts(first_size, second_size);
  if (!counts) {
    // Without heading lines and without graphs nothing large is written, whatever the figures.
    if (!header_suppressed || second_size > 0) {
      return refused(std::to_string(second_size) + " complete graphs of " +
                     std::to_string(first_size) +
                     " vertices have figures that do not fit in 64 bits");
    }
    counts = GraphCounts{std::int64_t{first_size} * second_size, 0, 0, 0};
  }
  return write_family(CompleteGraphs{first_size, second_size, header_suppressed, *counts},
                      destination);
}
