// The METIS adjacency text: line k lists the neighbours of vertex k. A list vertex line writes
// each neighbour with "%d " and then "\n"; a fixed vertex line is "%d %d\n", "%d %d %d\n" or
// "%d %d %d %d\n", with no space before its end. A weighted graph's counts line adds METIS's fmt
// ("1" edge weights, "10" vertex weights, "11" both) and ncon when above 1, and each line lists
// its vertex weights, then each neighbour followed by its edge weight, between single spaces.
#pragma once

#include "graphfile/layouts/sinks.hpp"
#include "graphfile/layouts/weighted_line.hpp"

namespace famgen {

template <class Writer>
class MetisSink {
 public:
  static constexpr Vertex kRunBatch = 16;  // 16 numbers of 20 digits fit an operation's room

  explicit MetisSink(ChunkOutput& out) : buffer_(out) {}

  void write_neighbour(Vertex neighbour) {
    char* cursor = buffer_.reserve();
    cursor = decimals_.write(cursor, position_, static_cast<std::uint64_t>(neighbour));
    *cursor++ = ' ';
    buffer_.commit(cursor);
    position_ = PositionalDecimals<Writer>::next(position_);
  }

  // A run of rising numbers goes through one writer, held in a local copy so that it stays in
  // registers (a store through the buffer might otherwise change it), with one room check for
  // every kRunBatch numbers.
  void write_neighbour_run(Vertex first, Vertex count) {
    Writer writer = decimals_.writer(position_);
    const Vertex end = first + count;
    for (Vertex v = first; v < end;) {
      char* cursor = buffer_.reserve();
      const Vertex batch_end = end - v > kRunBatch ? v + kRunBatch : end;
      for (; v < batch_end; ++v) {
        cursor = writer.write(cursor, static_cast<std::uint64_t>(v));
        *cursor++ = ' ';
      }
      buffer_.commit(cursor);
    }
    decimals_.writer(position_) = writer;
    position_ = PositionalDecimals<Writer>::next(position_);
  }

  void end_vertex_line() {
    char* cursor = buffer_.reserve();
    *cursor++ = '\n';
    buffer_.commit(cursor);
    position_ = 0;
  }

  // One room check and fixed positions for the whole line, where write_neighbour pays for
  // both on every entry.
  void write_list_line(const Vertex* neighbours, int count) {
    char* cursor = buffer_.reserve();
    for (int k = 0; k < count; ++k) {
      cursor = number(cursor, static_cast<unsigned>(k), neighbours[k], ' ');
    }
    *cursor++ = '\n';
    buffer_.commit(cursor);
  }

  // Each number with a space after it, the last space then made the line end.
  template <class... Numbers>
  void write_fixed_line(Numbers... numbers) {
    char* cursor = buffer_.reserve();
    unsigned position = 0;
    ((cursor = number(cursor, position++, numbers, ' ')), ...);
    cursor[-1] = '\n';
    buffer_.commit(cursor);
  }

 private:
  char* number(char* cursor, unsigned position, Vertex value, char separator) {
    cursor = decimals_.write(cursor, position, static_cast<std::uint64_t>(value));
    *cursor++ = separator;
    return cursor;
  }

  SinkBuffer buffer_;
  PositionalDecimals<Writer> decimals_;
  unsigned position_ = 0;  // of the next entry on the current list line
};

struct MetisLayout : LayoutDefaults {
  static constexpr std::string_view kKeyword = "metis";

  // The comment and counts lines as the family gives them; none for "completegraph".
  static std::string heading(const GraphFacts& facts, RelabelSeed seed) {
    if (!facts.has_heading) return {};
    std::string heading = facts.comment_line;
    if (seed && !heading.empty() && heading.back() == '\n') {
      heading.insert(heading.size() - 1, relabel_note(seed));
    }
    heading += decimal_text(facts.counts.vertices) + " " + decimal_text(facts.counts.edges);
    const WeightFacts& weights = facts.weights;
    if (weights.any()) {
      heading += weights.vertex_constraints > 0 ? (weights.edges ? " 11" : " 10") : " 1";
      if (weights.vertex_constraints > 1) {
        heading += ' ';
        heading += decimal_text(weights.vertex_constraints);
      }
    }
    heading += facts.counts_line_end == CountsLineEnd::kSpaceThenNewline ? " \n" : "\n";
    return heading;
  }
  // A digit and a separator an entry, a vertex weight and an edge weight.
  static std::uint64_t body_lower_bound(const GraphFacts& facts) {
    return saturating_multiply(2, saturating_add(arc_total(facts), weight_total(facts)));
  }
  static double line_bytes(int, const GraphFacts& facts) {
    return arcs_per_line(facts) * number_bytes(facts) + 1 + weight_bytes(facts);
  }
  static std::uint64_t write_weighted(const WeightedLine& line, int, SinkBuffer& buffer) {
    std::uint64_t head[kMostWeightsALine];
    for (int c = 0; c < line.constraints; ++c)
      head[c] = static_cast<std::uint64_t>(line.vertex_weights[c]);
    write_token_line<false>(head, line.constraints, line, buffer);
    return 0;
  }
  template <class Lines>
  static std::uint64_t format(const Lines& lines, const FormatJob&, const GraphFacts&,
                              ChunkOutput& out) {
    MetisSink<typename Lines::NumberWriter> sink(out);
    lines(sink);
    return 0;
  }
};

}  // namespace famgen
