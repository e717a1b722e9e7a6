// The ParHIP binary graph, little-endian 64-bit words: the heading (version 3, n, m = the
// adjacency entries), then section 0, the n + 1 offsets, each the byte position in the file
// where a vertex's entries start, then section 1, the entries themselves, vertex ids from 0.
//
// Weights follow the entries, as the weighted extension of the layout that KaGen and KaMinPar
// read and write defines it: the version word is a bit field, from the lowest bit "no edge
// weights", "no vertex weights", then 32-bit edge ids, vertex ids, vertex weights and edge
// weights (all 0 here: 64-bit words throughout), so that 3 is the unweighted layout ParHIP
// itself reads; after the entries, one signed word a vertex (its weight), then one an entry
// (its edge weight), each part present only when its bit says so. The offsets stay those of the
// entries. One vertex weight a vertex: more constraints have no place.
#pragma once

#include "graphfile/layouts/sinks.hpp"
#include "graphfile/layouts/weighted_line.hpp"

namespace famgen {

inline constexpr std::uint64_t kParhipVersion = 3;  // no weights, 64-bit ids
inline constexpr std::uint64_t kParhipNoEdgeWeights = 1;
inline constexpr std::uint64_t kParhipNoVertexWeights = 2;
inline constexpr std::uint64_t kParhipHeadingWords = 3;

// The parts of a weighted graph's file after its offsets (section 0) and entries (section 1).
enum class ParhipPart { kOffsets, kEntries, kVertexWeights, kEdgeWeights };
inline ParhipPart parhip_part(int section, const GraphFacts& facts) {
  if (section <= 1) return static_cast<ParhipPart>(section);
  if (section == 2 && facts.weights.vertex_constraints > 0) return ParhipPart::kVertexWeights;
  return ParhipPart::kEdgeWeights;
}

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
  // The offsets, then the entries, then the weights of the vertices and of the entries.
  static int sections(const GraphFacts& facts) {
    return 2 + (facts.weights.vertex_constraints > 0 ? 1 : 0) + (facts.weights.edges ? 1 : 0);
  }
  static std::optional<std::string> refusal(const GraphFacts& facts) {
    // The offsets are byte positions in 64-bit words: the last, one past the last entry, must
    // be one. (A multiple of 8 never reaches 2^64 - 1 exactly: that value means it overflowed.)
    const std::uint64_t entries_end = saturating_multiply(
        8, saturating_add(kParhipHeadingWords + 1, saturating_add(line_total(facts),
                                                                   arc_total(facts))));
    if (entries_end == UINT64_MAX) {
      return "the ParHIP offsets of this graph pass the 64-bit byte positions its layout holds";
    }
    if (facts.weights.vertex_constraints <= 1) return std::nullopt;
    return "ParHIP's binary layout holds one vertex weight a vertex, not " +
           std::to_string(facts.weights.vertex_constraints) + " (give -vertex-weights one model)";
  }
  static bool carries_weights(int section) { return section >= 2; }
  static std::uint64_t write_weighted(const WeightedLine& line, int section, SinkBuffer& buffer) {
    if (section == 2 && line.constraints > 0) {
      buffer.put_word(static_cast<std::uint64_t>(line.vertex_weights[0]));
      return 0;
    }
    for (std::int64_t k = 0; k < line.count; ++k)
      buffer.put_word(static_cast<std::uint64_t>(line.edge_weights[k]));
    return 0;
  }

  static std::string heading(const GraphFacts& facts, RelabelSeed) {
    std::string heading;
    std::uint64_t version = kParhipVersion;
    if (facts.weights.edges) version &= ~kParhipNoEdgeWeights;
    if (facts.weights.vertex_constraints > 0) version &= ~kParhipNoVertexWeights;
    append_word(heading, version);
    append_word(heading, line_total(facts));
    append_word(heading, static_cast<std::uint64_t>(facts.counts.arcs));
    return heading;
  }
  // Exactly: a word an offset, an entry and a weight.
  static std::uint64_t body_lower_bound(const GraphFacts& facts) {
    return saturating_multiply(
        8, saturating_add(line_total(facts) + 1,
                          saturating_add(arc_total(facts), weight_total(facts))));
  }
  static double line_bytes(int section, const GraphFacts& facts) {
    switch (parhip_part(section, facts)) {
      case ParhipPart::kOffsets:
      case ParhipPart::kVertexWeights:
        return 8;
      case ParhipPart::kEntries:
      case ParhipPart::kEdgeWeights:
        break;
    }
    return 8 * arcs_per_line(facts);
  }
  static bool counts_earlier_entries(int section) { return section == 0; }
  static WrittenEntries written_entries(int section, const GraphFacts& facts) {
    const ParhipPart part = parhip_part(section, facts);
    if (part == ParhipPart::kOffsets || part == ParhipPart::kVertexWeights) {
      return {WrittenEntries::Kind::kNone, 0};
    }
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
