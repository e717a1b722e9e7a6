// The ParHIP binary graph, little-endian 64-bit words: the heading (version 3, n, m = the
// adjacency entries), then section 0, the n + 1 offsets, each the byte position in the file
// where a vertex's entries start, then section 1, the entries themselves, vertex ids from 0.
#pragma once

#include "graphfile/layouts/sinks.hpp"

namespace famgen {

inline constexpr std::uint64_t kParhipVersion = 3;  // no weights, 64-bit ids
inline constexpr std::uint64_t kParhipHeadingWords = 3;

// The byte position of the first entry: after the heading and the n + 1 offsets.
inline std::uint64_t parhip_entries_start(std::uint64_t vertex_count) {
  return 8 * (kParhipHeadingWords + vertex_count + 1);
}

class ParhipEntrySink : public EntryLines<ParhipEntrySink, decimal::PlainDecimal> {
 public:
  explicit ParhipEntrySink(ChunkOutput& out) : buffer_(out) {}
  SinkBuffer& buffer() { return buffer_; }
  char* start_line(char* cursor) { return cursor; }
  char* entry(char* cursor, unsigned, Vertex neighbour) {
    const auto id = static_cast<std::uint64_t>(neighbour - 1);
    std::memcpy(cursor, &id, 8);
    ++entries_;
    return cursor + 8;
  }
  char* end_line(char* cursor) { return cursor; }
  std::uint64_t entries() const { return entries_; }

 private:
  SinkBuffer buffer_;
  std::uint64_t entries_ = 0;
};

// Section 0 for lines first..last: the offset of each line's entries, and after line n the
// offset one past the last entry. entries_before counts the entries of the lines before first.
template <class Lines>
std::uint64_t format_parhip_offsets(const Lines& lines, std::uint64_t vertex_count,
                                    std::uint64_t entries_before, ChunkOutput& out) {
  SinkBuffer buffer(out);
  const std::uint64_t start = parhip_entries_start(vertex_count);
  std::uint64_t entries = 0;
  std::uint64_t degrees[kDegreeBatch];
  for (Vertex batch = lines.first; batch <= lines.last; batch += kDegreeBatch) {
    const Vertex batch_last = std::min(lines.last, batch + kDegreeBatch - 1);
    lines.sub(batch, batch_last).count_entries(degrees);
    for (Vertex line = batch; line <= batch_last; ++line) {
      buffer.put_word(start + 8 * (entries_before + entries));
      entries += degrees[line - batch];
    }
  }
  if (static_cast<std::uint64_t>(lines.last) == vertex_count) {
    buffer.put_word(start + 8 * (entries_before + entries));
  }
  return entries;
}

// Moves offsets formatted with entries_before = 0 to their place once the entries of the lines
// before them are known: every word of [begin, end) grows by 8 × entries_before.
inline void rebase_parhip_offsets(char* begin, char* end, std::uint64_t entries_before) {
  for (char* word = begin; word + 8 <= end; word += 8) {
    std::uint64_t offset;
    std::memcpy(&offset, word, 8);
    offset += 8 * entries_before;
    std::memcpy(word, &offset, 8);
  }
}

template <class Lines>
std::uint64_t format_parhip_entries(const Lines& lines, ChunkOutput& out) {
  ParhipEntrySink sink(out);
  lines(sink);
  return sink.entries();
}

struct ParhipLayout : LayoutDefaults {
  static constexpr std::string_view kKeyword = "parhip";
  static constexpr int kSections = 2;  // the offsets, then the entries

  static std::string heading(const GraphFacts& facts, RelabelSeed) {
    std::string heading;
    append_word(heading, kParhipVersion);
    append_word(heading, line_total(facts));
    append_word(heading, static_cast<std::uint64_t>(facts.counts.arcs));
    return heading;
  }
  // Exactly: a word an offset and an entry.
  static std::uint64_t body_lower_bound(const GraphFacts& facts) {
    return saturating_multiply(8, saturating_add(line_total(facts) + 1, arc_total(facts)));
  }
  static double line_bytes(int section, const GraphFacts& facts) {
    return section == 0 ? 8 : 8 * arcs_per_line(facts);
  }
  static bool counts_earlier_entries(int section) { return section == 0; }
  static WrittenEntries written_entries(int section, const GraphFacts& facts) {
    if (section == 0) return {WrittenEntries::Kind::kNone, 0};
    return LayoutDefaults::written_entries(section, facts);
  }
  static SpreadLine spread_line(int, const GraphFacts&, Vertex, double entries) {
    return {8 * entries, entries};
  }
  static void rebase(int section, char* begin, char* end, std::uint64_t entries_before) {
    if (section == 0) rebase_parhip_offsets(begin, end, entries_before);
  }
  template <class Lines>
  static std::uint64_t format(const Lines& lines, const FormatJob& job, const GraphFacts& facts,
                              ChunkOutput& out) {
    if (job.section == 0) {
      return format_parhip_offsets(lines, line_total(facts), job.entries_before, out);
    }
    return format_parhip_entries(lines, out);
  }
};

}  // namespace famgen
