// The adjacency-list graph file: the only code that knows the bytes of the output.
//
// Layout: one comment line, the counts line "V E" (with or without a space before the line
// end), then one line per vertex in vertex order. Every number is written as "%d" writes it.
// Generators call, in order: open_graph_file, write_comment_line, write_counts_line, one vertex
// line per vertex (write_neighbour ... end_vertex_line, or write_fixed_line), close_graph_file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "graphfile/decimal.hpp"

// Vertex numbers and counts are 64-bit, so figures past 2^31 - 1 are written exactly.
using Vertex = std::int64_t;

// Bytes handed to the operating system per write call. 256 KiB keeps the number of calls
// low while staying clear of the slower kernel path that some machines take for 1 MiB and up.
inline constexpr std::size_t kBlockSize = std::size_t{256} * 1024;
// Room past the block for the one operation that crosses the flush mark: a fixed line of four
// 20-digit numbers is under 90 bytes (plus the 8-byte stores of the digit writer), so a single
// operation can never overrun it.
inline constexpr std::size_t kBufferSlack = 4096;

enum class CountsLineEnd {
  kNewline,           // "%d %d\n"
  kSpaceThenNewline,  // "%d %d \n"
};

struct GraphFile {
  std::string name;
  int descriptor = -1;
  std::unique_ptr<char[]> buffer;
  char* cursor = nullptr;      // the next free byte of buffer
  char* flush_mark = nullptr;  // buffer + kBlockSize: a cursor at or past it sends a block out
  // The first failure as one line for standard error; empty while every step has succeeded.
  // After a failure the writer keeps accepting lines but discards them.
  std::string error;
};

// Creates the file, or truncates it when it exists. On failure the returned file carries the
// error and close_graph_file reports -1; generators may stop early by testing graph_file_ok.
GraphFile open_graph_file(const std::string& output_name);

// The comment template with each "%d" replaced by the next value and "%%" by "%".
void write_comment_line(GraphFile& file, std::string_view format,
                        std::initializer_list<std::int64_t> values);
void write_counts_line(GraphFile& file, std::int64_t vertex_count, std::int64_t edge_figure,
                       CountsLineEnd line_end);

// Writes every byte still held, closes the file and returns 0, or -1 when anything since the
// open failed (the open itself, a write, or the close); file.error then says what.
int close_graph_file(GraphFile& file);

// Sends one block to the file and moves what lies past it to the front of the buffer.
void flush_block(GraphFile& file);

inline bool graph_file_ok(const GraphFile& file) {
  return file.error.empty();
}

inline void after_write(GraphFile& file, char* cursor) {
  file.cursor = cursor;
  if (cursor >= file.flush_mark) flush_block(file);
}

// One entry of a list vertex line: "%d ".
inline void write_neighbour(GraphFile& file, Vertex neighbour) {
  char* cursor = decimal::write_signed(file.cursor, neighbour);
  *cursor++ = ' ';
  after_write(file, cursor);
}

// Ends a list vertex line; alone, it writes the empty line of a vertex without neighbours.
inline void end_vertex_line(GraphFile& file) {
  char* cursor = file.cursor;
  *cursor++ = '\n';
  after_write(file, cursor);
}

// Fixed vertex lines: "%d %d\n", "%d %d %d\n", "%d %d %d %d\n".
inline void write_fixed_line(GraphFile& file, Vertex a, Vertex b) {
  char* cursor = decimal::write_signed(file.cursor, a);
  *cursor++ = ' ';
  cursor = decimal::write_signed(cursor, b);
  *cursor++ = '\n';
  after_write(file, cursor);
}

inline void write_fixed_line(GraphFile& file, Vertex a, Vertex b, Vertex c) {
  char* cursor = decimal::write_signed(file.cursor, a);
  *cursor++ = ' ';
  cursor = decimal::write_signed(cursor, b);
  *cursor++ = ' ';
  cursor = decimal::write_signed(cursor, c);
  *cursor++ = '\n';
  after_write(file, cursor);
}

inline void write_fixed_line(GraphFile& file, Vertex a, Vertex b, Vertex c, Vertex d) {
  char* cursor = decimal::write_signed(file.cursor, a);
  *cursor++ = ' ';
  cursor = decimal::write_signed(cursor, b);
  *cursor++ = ' ';
  cursor = decimal::write_signed(cursor, c);
  *cursor++ = ' ';
  cursor = decimal::write_signed(cursor, d);
  *cursor++ = '\n';
  after_write(file, cursor);
}
