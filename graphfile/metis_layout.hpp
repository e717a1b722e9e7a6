// The METIS adjacency text: line k lists the neighbours of vertex k. A list vertex line writes
// each neighbour with "%d " and then "\n"; a fixed vertex line is "%d %d\n", "%d %d %d\n" or
// "%d %d %d %d\n", with no space before its end.
#pragma once

#include "graphfile/sinks.hpp"

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

  void write_fixed_line(Vertex a, Vertex b) {
    char* cursor = buffer_.reserve();
    cursor = number(cursor, 0, a, ' ');
    cursor = number(cursor, 1, b, '\n');
    buffer_.commit(cursor);
  }

  void write_fixed_line(Vertex a, Vertex b, Vertex c) {
    char* cursor = buffer_.reserve();
    cursor = number(cursor, 0, a, ' ');
    cursor = number(cursor, 1, b, ' ');
    cursor = number(cursor, 2, c, '\n');
    buffer_.commit(cursor);
  }

  void write_fixed_line(Vertex a, Vertex b, Vertex c, Vertex d) {
    char* cursor = buffer_.reserve();
    cursor = number(cursor, 0, a, ' ');
    cursor = number(cursor, 1, b, ' ');
    cursor = number(cursor, 2, c, ' ');
    cursor = number(cursor, 3, d, '\n');
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

template <class Lines>
std::uint64_t format_metis(const Lines& lines, ChunkOutput& out) {
  MetisSink<typename Lines::NumberWriter> sink(out);
  lines(sink);
  return 0;
}
