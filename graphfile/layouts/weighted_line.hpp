// What the layouts that carry weights are handed, a line at a time, by the weighted graph's
// source (weighted_lines.hpp): the line's vertex weights, entries and edge weights, all of them
// known before its first byte, since several layouts write a line's weights before its entries
// or a line's degree before both. Each layout writes such a line in its own file
// (write_weighted), beside its unweighted sink.
#pragma once

#include "graphfile/layouts/sinks.hpp"

namespace famgen {

struct WeightedLine {
  Vertex line = 1;                               // its number in the file's numbering, from 1
  const std::int64_t* vertex_weights = nullptr;  // GraphFacts::weights.vertex_constraints
  int constraints = 0;
  const Vertex* entries = nullptr;             // in the file's numbering, from 1
  const std::int64_t* edge_weights = nullptr;  // one an entry; null without edge weights
  std::int64_t count = 0;
};

// Numbers between single spaces, a line end after the last: a room check for every few entries
// of a line, however long it is.
class TokenLine {
 public:
  static constexpr std::int64_t kEntriesPerCheck = 32;  // two numbers and more an entry

  explicit TokenLine(SinkBuffer& buffer) : buffer_(buffer), cursor_(buffer.reserve()) {}
  TokenLine(const TokenLine&) = delete;
  TokenLine& operator=(const TokenLine&) = delete;

  void number(std::uint64_t value) {
    if (!first_) *cursor_++ = ' ';
    first_ = false;
    cursor_ = decimal::write_unsigned(cursor_, value);
  }
  // Before each entry of a line.
  void before_entry() {
    if (--until_check_ == 0) [[unlikely]] {
      until_check_ = kEntriesPerCheck;
      buffer_.commit(cursor_);
      cursor_ = buffer_.reserve();
    }
  }
  template <std::size_t kSize>
  void text(const char (&text)[kSize]) {
    cursor_ = append(cursor_, text);
  }
  void end() {
    *cursor_++ = '\n';
    buffer_.commit(cursor_);
  }

 private:
  SinkBuffer& buffer_;
  char* cursor_;
  bool first_ = true;
  std::int64_t until_check_ = kEntriesPerCheck + 1;  // the first entry's room was reserved
};

}  // namespace famgen
