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
  bool first = true;
  for (int h = 0; h < head_count; ++h) {
    if (!first) *cursor++ = ' ';
    first = false;
    cursor = write_weight(cursor, head[h]);
  }
  if (line.digits->rising) {
    write_token_entries<kWeightFirst, true>(line, cursor, first, buffer);
  } else {
    write_token_entries<kWeightFirst, false>(line, cursor, first, buffer);
  }
  *cursor++ = '\n';
  buffer.commit(cursor);
}

}  // namespace famgen
