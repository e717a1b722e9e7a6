// Graphviz's DOT language: the graph named by its title, the drawing's attributes, each vertex
// with its position (pos, in points, for neato -n2), then "u -- v" for each edge as the edge list
// writes it (u <= v, vertices numbered from 1), and the closing brace.
#pragma once

#include "graphfile/layouts/edge_lines.hpp"
#include "graphfile/layouts/points.hpp"

namespace famgen {

struct DotLayout : LayoutDefaults {
  static constexpr std::string_view kKeyword = "dot";
  static int sections(const GraphFacts&) { return 2; }               // the vertices, then the edges
  static bool carries_weights(int section) { return section == 1; }  // the edges', as weight=
  static std::uint64_t write_weighted(const WeightedLine& line, int section, SinkBuffer& buffer) {
    return EdgeLinesLayout<EdgeStyle::kDot>::write_weighted(line, section, buffer);
  }

  static std::string heading(const GraphFacts& facts, RelabelSeed seed) {
    return "graph \"" + facts.title + relabel_note(seed) + "\" {\n" + drawing_attributes(facts);
  }

  // Neighbours are drawn about a unit (36 points) apart in every family, so the vertices are
  // drawn at a size of their own rather than Graphviz's default ellipses, which overlap. Up to
  // kMostLabels vertices, circles half a unit across with their numbers, which fit in three
  // digits; beyond that, in 3D views, where points of different depths come close, and for
  // random points, which may lie closer than half a unit, dots.
  // Edges are drawn before the vertices, so a filled circle hides the edges that end under it.
  // On the lattice (decimals 0) an edge may run over other vertices (a fold or a wrap, along a
  // row or across the grid): there, up to kMostRouted vertices, neato routes the edges around
  // the vertices (splines=true), which costs it a second at that size and grows as the cube.
  static constexpr Vertex kMostLabels = 999;
  static constexpr Vertex kMostRouted = 64;
  static std::string drawing_attributes(const GraphFacts& facts) {
    const bool labelled = facts.spaced && facts.dimension <= 2 && facts.line_count() <= kMostLabels;
    const bool routed = facts.decimals == 0 && facts.line_count() <= kMostRouted;
    return std::string("  graph [outputorder=edgesfirst, pad=0.2") +
           (routed ? ", splines=true];\n" : "];\n") +
           (labelled ? "  node [shape=circle, style=filled, fillcolor=white, fixedsize=true, "
                       "width=0.25, fontsize=8, fontname=Helvetica];\n"
                       "  edge [penwidth=0.75];\n"
                     : "  node [shape=point, width=0.08];\n"
                       "  edge [penwidth=0.5];\n");
  }
  static std::string trailer(const GraphFacts&) { return "}\n"; }
  static std::optional<std::string> refusal(const GraphFacts& facts) {
    if (auto why = beyond_three_axes("a Graphviz drawing", facts)) return why;
    return EdgeLinesLayout<EdgeStyle::kDot>::refusal(facts);
  }
  // '  1 [pos="0,0"];' a vertex and '  1 -- 2;' an edge at least.
  static std::uint64_t body_lower_bound(const GraphFacts& facts) {
    const auto edges = static_cast<std::uint64_t>(std::max<std::int64_t>(0, edge_lines_of(facts)));
    return saturating_add(saturating_multiply(17, line_total(facts)),
                          saturating_multiply(10, edges));
  }
  static double line_bytes(int section, const GraphFacts& facts) {
    if (section == 0) return PointLinesLayout<PointStyle::kDot>::line_bytes(0, facts) + 12;
    return EdgeLinesLayout<EdgeStyle::kDot>::line_bytes(0, facts) * 1.5;
  }
  static WrittenEntries written_entries(int section, const GraphFacts& facts) {
    if (section == 0) return PointLinesLayout<PointStyle::kDot>::written_entries(0, facts);
    return EdgeLinesLayout<EdgeStyle::kDot>::written_entries(1, facts);
  }
  static SpreadLine spread_line(int, const GraphFacts& facts, Vertex line, double entries) {
    return EdgeLinesLayout<EdgeStyle::kDot>::spread_line(1, facts, line, entries);
  }
  template <class Lines>
  static std::uint64_t format(const Lines& lines, const FormatJob& job, const GraphFacts& facts,
                              ChunkOutput& out) {
    if (job.section == 0) return PointLinesLayout<PointStyle::kDot>::format(lines, job, facts, out);
    return EdgeLinesLayout<EdgeStyle::kDot>::format(lines, job, facts, out);
  }
};

}  // namespace famgen
