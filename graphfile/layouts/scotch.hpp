// The Scotch source graph: "0", "n arcs", "1 000" (numbered from 1, no labels or loads), then
// per vertex its degree followed by its neighbours, "%d %d ... %d\n".
#pragma once

#include "graphfile/layouts/sinks.hpp"

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
    return "0\n" + decimal_text(facts.line_count()) + " " + decimal_text(facts.counts.arcs) +
           "\n1 000\n";
  }
  // A degree and each entry, a digit and a separator each.
  static std::uint64_t body_lower_bound(const GraphFacts& facts) {
    return saturating_multiply(2, saturating_add(line_total(facts), arc_total(facts)));
  }
  static double line_bytes(int, const GraphFacts& facts) {
    return (arcs_per_line(facts) + 1) * number_bytes(facts);
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
