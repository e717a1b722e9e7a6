// The Scotch source graph: "0", "n arcs", "1 000" (numbered from 1, no labels or loads), then
// per vertex its degree followed by its neighbours, "%d %d ... %d\n".
#pragma once

#include <algorithm>

#include "graphfile/sinks.hpp"

template <class Writer>
class ScotchSink : public ListLines<ScotchSink<Writer>> {
 public:
  ScotchSink(ChunkOutput& out, const std::uint64_t* degrees) : buffer_(out), degrees_(degrees) {}

  void write_neighbour(Vertex neighbour) {
    char* cursor = buffer_.reserve();
    if (!started_) cursor = start_line(cursor);
    *cursor++ = ' ';
    cursor = decimals_.write(cursor, position_, static_cast<std::uint64_t>(neighbour));
    buffer_.commit(cursor);
    position_ = PositionalDecimals<Writer>::next(position_);
  }

  void end_vertex_line() {
    char* cursor = buffer_.reserve();
    if (!started_) cursor = start_line(cursor);
    *cursor++ = '\n';
    buffer_.commit(cursor);
    position_ = 1;
    started_ = false;
  }

 private:
  char* start_line(char* cursor) {
    started_ = true;
    return decimals_.write(cursor, 0, *degrees_++);
  }

  SinkBuffer buffer_;
  const std::uint64_t* degrees_;         // of the current line, then the lines after it
  PositionalDecimals<Writer> decimals_;  // position 0 writes the degrees, 1 on the neighbours
  unsigned position_ = 1;                // of the next neighbour on the current line
  bool started_ = false;                 // the current line's degree is written
};

template <class Lines>
std::uint64_t format_scotch(const Lines& lines, ChunkOutput& out) {
  std::uint64_t degrees[kDegreeBatch];
  for (Vertex batch = lines.first; batch <= lines.last; batch += kDegreeBatch) {
    const auto part = lines.sub(batch, std::min(lines.last, batch + kDegreeBatch - 1));
    DegreeCounter counter(degrees);
    part(counter);
    ScotchSink<typename Lines::NumberWriter> sink(out, degrees);
    part(sink);
  }
  return 0;
}
