// What the layouts that carry weights are handed, a line at a time, by the weighted graph's
// source (weighted_lines.hpp): the line's vertex weights, entries and edge weights, all of them
// known before its first byte, since several layouts write a line's weights before its entries
// or a line's degree before both. Each layout writes such a line in its own file
// (write_weighted), beside its unweighted sink.
#pragma once

#include <algorithm>
#include <cstring>

#include "graphfile/layouts/decimal.hpp"
#include "graphfile/layouts/sinks.hpp"

namespace famgen {

inline constexpr int kMostWeightsALine = 8;  // vertex weights: METIS's ncon, at most

// What a job's weighted lines keep from line to line to write their numbers faster: in the
// family's own numbering the entry at a position of a line rises from line to line, so each
// position keeps the digits of its block of 10^4 (decimal::CachedDecimal); relabelled entries
// are in no order and are written afresh.
struct LineDigits {
  static constexpr std::int64_t kPositions = 32;
  bool rising = true;
  decimal::CachedDecimal entries[kPositions];
};

struct WeightedLine {
  Vertex line = 1;                               // its number in the file's numbering, from 1
  const std::int64_t* vertex_weights = nullptr;  // GraphFacts::weights.vertex_constraints
  int constraints = 0;
  const Vertex* entries = nullptr;             // in the file's numbering, from 1
  const std::int64_t* edge_weights = nullptr;  // one an entry; null without edge weights
  std::int64_t count = 0;
  LineDigits* digits = nullptr;  // the job's
};

// A weight or a head's number: mostly below 10^4, one table load then.
inline char* write_weight(char* out, std::uint64_t value) {
  if (value >= 10000) [[unlikely]]
    return decimal::write_unsigned(out, value);
  const unsigned length = decimal::kFourDigits.length[value];
  const std::uint32_t text = decimal::kFourDigits.text[value] >> (8 * (4 - length));
  std::memcpy(out, &text, 4);
  return out + length;
}

// Writes a text line of a weighted graph: the numbers of head, then each entry with its edge
// weight (the weight first when kWeightFirst, or the entry alone without edge weights), between
// single spaces, and a line end. Room is checked every few entries however long the line is;
// the cursor is the function's own, so that the compiler keeps it in a register.
// The entries of a line and their weights, each number after a space (the line's first number
// is written before them). kWeights: the line has edge weights; kRising: its entries are in the
// family's own numbering.
template <bool kWeightFirst, bool kWeights, bool kRising>
inline char* write_token_entries(const WeightedLine& line, char* cursor, SinkBuffer& buffer,
                                 std::int64_t from) {
  constexpr std::int64_t kEntriesPerCheck = 32;  // two numbers of 21 bytes at most an entry
  const Vertex* const entries = line.entries;
  const std::int64_t* const weights = line.edge_weights;
  decimal::CachedDecimal* const digits = line.digits->entries;
  const std::int64_t count = line.count;
  for (std::int64_t k = from; k < count; ++k) {
    if (k % kEntriesPerCheck == kEntriesPerCheck - 1) [[unlikely]] {
      buffer.commit(cursor);
      cursor = buffer.reserve();
    }
    if (kWeights && kWeightFirst) {
      *cursor++ = ' ';
      cursor = write_weight(cursor, static_cast<std::uint64_t>(weights[k]));
    }
    *cursor++ = ' ';
    const auto value = static_cast<std::uint64_t>(entries[k]);
    if constexpr (kRising) {
      cursor =
          digits[k < LineDigits::kPositions ? k : LineDigits::kPositions - 1].write(cursor, value);
    } else {
      cursor = decimal::write_unsigned(cursor, value);
    }
    if (kWeights && !kWeightFirst) {
      *cursor++ = ' ';
      cursor = write_weight(cursor, static_cast<std::uint64_t>(weights[k]));
    }
  }
  return cursor;
}

template <bool kWeightFirst, bool kWeights>
inline char* write_token_entries(const WeightedLine& line, char* cursor, SinkBuffer& buffer,
                                 std::int64_t from) {
  return line.digits->rising
             ? write_token_entries<kWeightFirst, kWeights, true>(line, cursor, buffer, from)
             : write_token_entries<kWeightFirst, kWeights, false>(line, cursor, buffer, from);
}

// Writes a text line of a weighted graph: the numbers of head, then each entry with its edge
// weight (the weight first when kWeightFirst, or the entry alone without edge weights), between
// single spaces, and a line end. Room is checked every few entries however long the line is;
// the cursor is the function's own, so that the compiler keeps it in a register.
template <bool kWeightFirst, bool kRising>
inline void write_token_entries(const WeightedLine& line, char*& cursor, bool& first,
                                SinkBuffer& buffer) {
  constexpr std::int64_t kEntriesPerCheck = 32;  // two numbers of 21 bytes at most an entry
  const Vertex* const entries = line.entries;
  const std::int64_t* const weights = line.edge_weights;
  decimal::CachedDecimal* const digits = line.digits->entries;
  const auto entry = [&](std::int64_t k) {
    if (!first) *cursor++ = ' ';
    first = false;
    const auto value = static_cast<std::uint64_t>(entries[k]);
    if constexpr (kRising) {
      cursor = digits[std::min(k, LineDigits::kPositions - 1)].write(cursor, value);
    } else {
      cursor = decimal::write_unsigned(cursor, value);
    }
  };
  const auto weight = [&](std::int64_t k) {
    if (!first) *cursor++ = ' ';
    first = false;
    cursor = write_weight(cursor, static_cast<std::uint64_t>(weights[k]));
  };
  for (std::int64_t k = 0; k < line.count; ++k) {
    if (k % kEntriesPerCheck == kEntriesPerCheck - 1) [[unlikely]] {
      buffer.commit(cursor);
      cursor = buffer.reserve();
    }
    if (weights == nullptr) {
      entry(k);
    } else if (kWeightFirst) {
      weight(k);
      entry(k);
    } else {
      entry(k);
      weight(k);
    }
  }
}

// Writes a text line of a weighted graph: the numbers of head, then each entry with its edge
// weight (the weight first when kWeightFirst, or the entry alone without edge weights), between
// single spaces, and a line end. Room is checked every few entries however long the line is;
// the cursor is the function's own, so that the compiler keeps it in a register.
template <bool kWeightFirst>
inline void write_token_line(const std::uint64_t* head, int head_count, const WeightedLine& line,
                             SinkBuffer& buffer) {
  char* cursor = buffer.reserve();
  std::int64_t from = 0;  // the first entry after a space
  if (head_count > 0) {
    cursor = write_weight(cursor, head[0]);
    for (int h = 1; h < head_count; ++h) {
      *cursor++ = ' ';
      cursor = write_weight(cursor, head[h]);
    }
  } else if (line.count > 0) {  // the first entry leads the line: the others follow it
    const WeightedLine first{line.line,         nullptr, 0,          line.entries,
                             line.edge_weights, 1,       line.digits};
    char* const start = cursor;
    if (line.edge_weights != nullptr) {
      cursor = write_token_entries<kWeightFirst, true>(first, cursor, buffer, 0);
    } else {
      cursor = write_token_entries<kWeightFirst, false>(first, cursor, buffer, 0);
    }
    std::memmove(start, start + 1, static_cast<std::size_t>(cursor - start - 1));
    --cursor;
    from = 1;
  }
  if (line.edge_weights != nullptr) {
    cursor = write_token_entries<kWeightFirst, true>(line, cursor, buffer, from);
  } else {
    cursor = write_token_entries<kWeightFirst, false>(line, cursor, buffer, from);
  }
  *cursor++ = '\n';
  buffer.commit(cursor);
}

}  // namespace famgen
