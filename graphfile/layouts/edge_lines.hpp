// The sink of the layouts with one line per edge (matrix_market.hpp, edge_list.hpp, the edges
// of dot.hpp), each edge written from one of its ends, in vertex order and, within a vertex, in
// the order of its adjacency line. A self-loop is written once for each time its line lists it;
// an edge listed twice at both ends is written twice.
#pragma once

#include "graphfile/layouts/sinks.hpp"
#include "graphfile/layouts/weighted_line.hpp"

namespace famgen {

enum class EdgeStyle {
  kMatrixMarket,  // "i j\n" for the entries j <= i, numbered from 1
  kEdgeList,      // "u v\n" for the entries v >= u, numbered from 0
  kDot,           // "  u -- v;\n" for the entries v >= u, numbered from 1
};

template <EdgeStyle kStyle, class Writer>
class EdgeLineSink : public EntryLines<EdgeLineSink<kStyle, Writer>, Writer> {
 public:
  EdgeLineSink(ChunkOutput& out, Vertex first_line) : buffer_(out), line_(first_line) {}
  SinkBuffer& buffer() { return buffer_; }
  std::uint64_t written() const { return written_; }

  char* start_line(char* cursor) { return cursor; }

  char* entry(char* cursor, unsigned position, Vertex neighbour) {
    if (!written_here(neighbour)) return cursor;
    ++written_;
    constexpr bool kDot = kStyle == EdgeStyle::kDot;
    if constexpr (kDot) cursor = append(cursor, "  ");
    cursor = decimals_.write(cursor, 0, static_cast<std::uint64_t>(line_ - kShift));
    if constexpr (kDot) {
      cursor = append(cursor, " -- ");
    } else {
      *cursor++ = ' ';
    }
    cursor = decimals_.write(cursor, position, static_cast<std::uint64_t>(neighbour - kShift));
    if constexpr (kDot) return append(cursor, ";\n");
    *cursor++ = '\n';
    return cursor;
  }

  // A whole line: the entries this line writes are gathered first, without a branch (which the
  // bits of a hypercube label would mispredict half the time), then written.
  void write_list_line(const Vertex* neighbours, int count) {
    Vertex kept[kMostListLineEntries];
    unsigned positions[kMostListLineEntries];
    int kept_count = 0;
    for (int k = 0; k < count; ++k) {
      kept[kept_count] = neighbours[k];
      positions[kept_count] = static_cast<unsigned>(k) + 1;
      kept_count += written_here(neighbours[k]) ? 1 : 0;
    }
    char* cursor = start_line(buffer_.reserve());
    for (int k = 0; k < kept_count; ++k)
      cursor = entry(cursor, positions[k], kept[k]);
    buffer_.commit(end_line(cursor));
  }

  char* end_line(char* cursor) {
    ++line_;
    return cursor;
  }

 private:
  static constexpr bool kLower = kStyle == EdgeStyle::kMatrixMarket;
  static constexpr Vertex kShift = kStyle == EdgeStyle::kEdgeList ? 1 : 0;  // from 0 or from 1
  bool written_here(Vertex neighbour) const {
    return kLower ? neighbour <= line_ : neighbour >= line_;
  }
  SinkBuffer buffer_;
  Vertex line_;                          // the line being listed, numbered from 1
  PositionalDecimals<Writer> decimals_;  // position 0 writes the line's own number
  std::uint64_t written_ = 0;            // edges written so far
};

// The lines these layouts write for a graph: each edge between two vertices is listed at both
// ends and written once; a self-loop is written each time it is listed.
inline std::int64_t edge_lines_of(const GraphFacts& facts) {
  return (facts.counts.arcs - facts.counts.loop_arcs) / 2 + facts.counts.loop_arcs;
}

// What the two layouts share but their headings.
template <EdgeStyle kStyle>
struct EdgeLinesLayout : LayoutDefaults {
  // Two numbers a line, three with its weight.
  static std::uint64_t body_lower_bound(const GraphFacts& facts) {
    return saturating_multiply(
        facts.weights.edges ? 6 : 4,
        static_cast<std::uint64_t>(std::max<std::int64_t>(0, edge_lines_of(facts))));
  }
  static double line_bytes(int, const GraphFacts& facts) {
    return static_cast<double>(edge_lines_of(facts)) /
           static_cast<double>(std::max<Vertex>(1, facts.line_count())) *
           ((facts.weights.edges ? 3 : 2) * number_bytes(facts));
  }
  // Vertex weights have no place in a line of an edge.
  static std::optional<std::string> refusal(const GraphFacts& facts) {
    if (facts.weights.vertex_constraints == 0) return std::nullopt;
    return std::string(kStyle == EdgeStyle::kMatrixMarket ? "Matrix Market's matrix"
                       : kStyle == EdgeStyle::kEdgeList   ? "an edge list"
                                                          : "a Graphviz drawing") +
           " holds no vertex weights (-format metis, parhip or scotch does)";
  }
  // The edges written from the line, each with its weight: "i j w" (Matrix Market), "u v w"
  // (the edge list), "  u -- v [weight=w];" (Graphviz, whose tools read weight as the edge's
  // importance).
  static std::uint64_t write_weighted(const WeightedLine& line, int, SinkBuffer& buffer) {
    constexpr Vertex kShift = kStyle == EdgeStyle::kEdgeList ? 1 : 0;
    constexpr bool kDot = kStyle == EdgeStyle::kDot;
    std::uint64_t written = 0;
    for (std::int64_t k = 0; k < line.count; ++k) {
      const Vertex neighbour = line.entries[k];
      if (kStyle == EdgeStyle::kMatrixMarket ? neighbour > line.line : neighbour < line.line) {
        continue;
      }
      ++written;
      char* cursor = buffer.reserve();
      if constexpr (kDot) cursor = append(cursor, "  ");
      cursor = decimal::write_unsigned(cursor, static_cast<std::uint64_t>(line.line - kShift));
      cursor = kDot ? append(cursor, " -- ") : append(cursor, " ");
      cursor = decimal::write_unsigned(cursor, static_cast<std::uint64_t>(neighbour - kShift));
      if (line.edge_weights != nullptr) {
        cursor = kDot ? append(cursor, " [weight") : append(cursor, " ");
        if constexpr (kDot) *cursor++ = '=';
        cursor = decimal::write_unsigned(cursor, static_cast<std::uint64_t>(line.edge_weights[k]));
        if constexpr (kDot) *cursor++ = ']';
      }
      cursor = kDot ? append(cursor, ";\n") : append(cursor, "\n");
      buffer.commit(cursor);
    }
    return written;
  }
  static WrittenEntries written_entries(int, const GraphFacts& facts) {
    return {WrittenEntries::Kind::kCounted,
            static_cast<double>(std::max<std::int64_t>(0, edge_lines_of(facts)))};
  }
  // The entries written from the line, those numbered at most (or at least) the line's own, each
  // with the line's number.
  static SpreadLine spread_line(int, const GraphFacts& facts, Vertex line, double entries) {
    const double vertices = std::max(1.0, static_cast<double>(line_total(facts)));
    const double at = static_cast<double>(line);
    const double share =
        kStyle == EdgeStyle::kMatrixMarket ? at / vertices : (vertices - at + 1) / vertices;
    const std::uint64_t shift = kStyle == EdgeStyle::kEdgeList ? 1 : 0;
    const auto own = static_cast<std::uint64_t>(line) - shift;
    const double numbers =
        average_digits(own, own) + average_digits(1 - shift, line_total(facts) - shift);
    const double separators = kStyle == EdgeStyle::kDot ? 8 : 2;  // "  ", " -- ", ";\n"
    return {entries * share * (numbers + separators), entries * share};
  }
  // Returns the edges written.
  template <class Lines>
  static std::uint64_t format(const Lines& lines, const FormatJob&, const GraphFacts&,
                              ChunkOutput& out) {
    EdgeLineSink<kStyle, typename Lines::NumberWriter> sink(out, lines.first);
    lines(sink);
    return sink.written();
  }
};

}  // namespace famgen
