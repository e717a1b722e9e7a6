// Disjoint complete graphs: graph c (from 0) holds the vertices c × n + 1 to (c + 1) × n, each
// joined to the other n - 1 of its graph. Drawn as rings side by side: graph c on a circle of
// circumference n, radius r, centred at ((2r + 2) c, 0), its first vertex at angle 0 and the
// others counterclockwise one unit apart.
#pragma once

#include "generators/arithmetic.hpp"
#include "generators/geometry.hpp"
#include "graphfile/graph.hpp"

namespace famgen {

// graph_count complete graphs of graph_size vertices; the edge figure is twice the edges.
inline std::optional<GraphCounts> complete_graphs_counts(std::int32_t graph_size,
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

struct CompleteGraphs {
  std::int64_t graph_size;   // n
  std::int64_t graph_count;  // c
  bool header_suppressed;
  std::optional<GraphCounts> counts = complete_graphs_counts(
      static_cast<std::int32_t>(graph_size), static_cast<std::int32_t>(graph_count));
  RingAngles angles{graph_size};
  Radius radius = radius_of_circumference(graph_size);

  // Without heading lines and without graphs nothing large is written, whatever the figures.
  std::optional<std::string> refusal() const {
    if (counts || (header_suppressed && graph_count <= 0)) return std::nullopt;
    return std::to_string(graph_count) + " complete graphs of " + std::to_string(graph_size) +
           " vertices have figures that do not fit in 64 bits";
  }

  GraphFacts facts() const {
    const GraphCounts graph_counts = counts.value_or(GraphCounts{graph_size * graph_count});
    // The METIS comment line has always named the sizes in this order, the graph's vertex
    // count where the count of graphs belongs; the other layouts' title reads as it should.
    const std::string title = std::to_string(graph_count) + " complete graphs with " +
                              std::to_string(graph_size) + " vertices (total " +
                              std::to_string(graph_counts.vertices) + " vertices)";
    GraphFacts facts;
    if (!header_suppressed) {
      facts =
          graph_facts(graph_counts,
                      comment_line("%% %d complete graphs with %d vertices (total %d vertices)\n",
                                   {graph_size, graph_count, graph_counts.vertices}),
                      CountsLineEnd::kSpaceThenNewline);
    }
    facts.counts = graph_counts;
    facts.has_heading = !header_suppressed;
    // Also the end of the counts line that a simple graph of "completegraph" is given.
    facts.counts_line_end = CountsLineEnd::kSpaceThenNewline;
    facts.title = title;
    facts.decimals = kMicroDecimals;
    return facts;
  }

  template <class Sink>
  void write_positions(Vertex first, Vertex last, Sink& sink) const {
    const std::int64_t spacing = 2 * rounded_micro(scaled(radius, kOneQ62)) + 2 * kMicro;
    auto [graph, index] = divide(first - 1, graph_size);
    RingWalk walk(angles, index);
    for (Vertex v = first; v <= last; ++v) {
      const Rotation turn = walk.next();
      sink.write_point(graph * spacing + rounded_micro(scaled(radius, turn.cos)),
                       rounded_micro(scaled(radius, turn.sin)));
      if (++index == graph_size) {
        index = 0;
        ++graph;
        walk = RingWalk(angles, 0);
      }
    }
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

}  // namespace famgen
