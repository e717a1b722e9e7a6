// The Scotch source graph: "0", "n arcs", "1 000" (numbered from 1, no labels or loads), then
// per vertex its degree followed by its neighbours, "%d %d ... %d\n". A weighted graph's flags
// say which loads it carries ("010" edge loads, "001" vertex loads, "011" both), and each line
// is then its vertex load, its degree, and each neighbour after its edge load. One load a
// vertex: more constraints have no place.
#pragma once

#include "graphfile/layouts/sinks.hpp"
#include "graphfile/layouts/weighted_line.hpp"

namespace famgen {

template <class Writer>
class ScotchSink : public EntryLines<ScotchSink<Writer>, Writer> {
 public:
  ScotchSink(ChunkOutput& out, const std::uint64_t* degrees) : buffer_(out), degrees_(degrees) {}
  SinkBuffer& buffer() { return buffer_; }
  char* start_line(char* cursor) { return decimals_.write(cursor, 0, *degrees_++); }
  char* entry(char* cursor, unsigned position, Vertex neighbour) {
    *cursor++ = ' ';
    return decimals_.write(cursor, position, static_cast<std::uint64_t>(neighbour));
  }
  char* end_line(char* cursor) {
    *cursor++ = '\n';
    return cursor;
  }

 private:
  SinkBuffer buffer_;
  const std::uint64_t* degrees_;         // of the current line, then the lines after it
  PositionalDecimals<Writer> decimals_;  // position 0 writes the degrees
};

struct ScotchLayout : LayoutDefaults {
  static constexpr std::string_view kKeyword = "scotch";

  static std::string heading(const GraphFacts& facts, RelabelSeed) {
    const WeightFacts& weights = facts.weights;
    return "0\n" + decimal_text(facts.line_count()) + " " + decimal_text(facts.counts.arcs) +
           "\n1 0" + (weights.edges ? "1" : "0") + (weights.vertex_constraints > 0 ? "1" : "0") +
           "\n";
  }
  static std::optional<std::string> refusal(const GraphFacts& facts) {
    if (facts.weights.vertex_constraints <= 1) return std::nullopt;
    return "Scotch's graph holds one vertex load a vertex, not " +
           std::to_string(facts.weights.vertex_constraints) + " (give -vertex-weights one model)";
  }
  static std::uint64_t write_weighted(const WeightedLine& line, int, SinkBuffer& buffer) {
    std::uint64_t head[2];
    int heads = 0;
    if (line.constraints > 0) head[heads++] = static_cast<std::uint64_t>(line.vertex_weights[0]);
    head[heads++] = static_cast<std::uint64_t>(line.count);
    write_token_line<true>(head, heads, line, buffer);
    return 0;
  }
  // A degree and each entry, a digit and a separator each.
  static std::uint64_t body_lower_bound(const GraphFacts& facts) {
    return saturating_multiply(
        2,
        saturating_add(line_total(facts), saturating_add(arc_total(facts), weight_total(facts))));
  }
  static double line_bytes(int, const GraphFacts& facts) {
    return (arcs_per_line(facts) + 1) * number_bytes(facts) + weight_bytes(facts);
  }
  // The degree, then each entry.
  static SpreadLine spread_line(int, const GraphFacts& facts, Vertex, double entries) {
    return {(entries + 1) * (average_digits(1, line_total(facts)) + 1), entries};
  }
  // Each batch of lines twice: once to count the degrees that start the lines, then written.
  template <class Lines>
  static std::uint64_t format(const Lines& lines, const FormatJob&, const GraphFacts&,
                              ChunkOutput& out) {
    std::uint64_t degrees[kDegreeBatch];
    for (Vertex batch = lines.first; batch <= lines.last; batch += kDegreeBatch) {
      const auto part = lines.sub(batch, std::min(lines.last, batch + kDegreeBatch - 1));
      part.count_entries(degrees);
      ScotchSink<typename Lines::NumberWriter> sink(out, degrees);
      part.write_counted(degrees, sink);
    }
    return 0;
  }
};

}  // namespace famgen
