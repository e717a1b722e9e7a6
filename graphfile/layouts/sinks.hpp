// What every layout is built from. A layout is a struct of static members, in a file of its own:
//   static constexpr std::string_view kKeyword;  // its -format value, empty for the layouts
//                                                // of coordinates, which follow from -format
//   static int sections(const GraphFacts&);      // parts written one after the other
//   static std::string heading(const GraphFacts&, RelabelSeed);
//   static std::optional<std::string> refusal(const GraphFacts&);  // why it cannot hold the graph
//   static bool carries_weights(int section);    // a weighted graph's section, or the plain one's
//   static std::uint64_t write_weighted(const WeightedLine&, int section, SinkBuffer&);
//   static std::string trailer(const GraphFacts&);             // after the last section
//   static std::uint64_t body_lower_bound(const GraphFacts&);  // bytes past the heading, at least
//   static double line_bytes(int section, const GraphFacts&);  // about, to cut jobs evenly
//   static bool counts_earlier_entries(int section);           // its words need entries_before
//   static WrittenEntries written_entries(int section, const GraphFacts&);
//   static SpreadLine spread_line(int section, const GraphFacts&, Vertex line, double entries);
//   static void rebase(int section, char* begin, char* end, std::uint64_t entries_before);
//   template <class Lines>
//   static std::uint64_t format(const Lines&, const FormatJob&, const GraphFacts&, ChunkOutput&);
// LayoutDefaults gives those of one section that depends on nothing before it, and no trailer.
// Lines (see family_source.hpp) drives a sink over lines first..last, lines.positions(sink) a
// sink of points (points.hpp) over their vertices' positions, lines.count_entries(degrees)
// stores the entries of each line (a batch of at most kDegreeBatch lines),
// lines.write_counted(degrees, sink) drives a sink over such a batch whose counts are known, and
// sub(from, to) is a part.
//
// A generator drives a sink in line order with:
// - write_neighbour(w) for each entry of a list vertex line and end_vertex_line() to end it;
// - write_list_line(neighbours, count), the same for a whole list line of at most
//   kMostListLineEntries entries at once;
// - write_neighbour_run(first, count), the entries first, first + 1, ..., first + count - 1 of a
//   list line at once (the long lines of the star and the complete graphs);
// - write_fixed_line(a[, b[, c[, d]]]) for a whole fixed vertex line of one to four numbers (the
//   families write two to four; their simple graph may have fewer, simple_graph.hpp).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "graphfile/graph.hpp"
#include "graphfile/layouts/decimal.hpp"

namespace famgen {

// For the space guard, which estimates a file from a sample of its lines: the entries whose
// bytes a section's lines hold, all lines together. kNone where a line holds its vertex's own
// value (positions, offsets); kEvery where the lines write every entry they list (counted then
// as ParHIP's offsets count them); kCounted where they write a share of them (the edge layouts),
// which format() returns for each job.
struct WrittenEntries {
  enum class Kind { kNone, kEvery, kCounted };
  Kind kind = Kind::kEvery;
  double total = 0;
};

// About the bytes and the written entries of a line that lists entries neighbours numbered all
// over 1..V (a star's hub), which the space guard reckons instead of formatting.
struct SpreadLine {
  double bytes = 0;
  double written = 0;
};

// The average number of digits of first, first + 1, ..., last.
inline double average_digits(std::uint64_t first, std::uint64_t last) {
  if (last < first) return 1;
  double digits = 0;
  std::uint64_t low = 1;  // the least number of d digits (0 counts among those of 1)
  for (int d = 1; d <= 20; ++d) {
    const std::uint64_t high = d == 20 ? UINT64_MAX : low * 10 - 1;
    const std::uint64_t from = std::max(first, d == 1 ? 0 : low);
    const std::uint64_t to = std::min(last, high);
    if (from <= to) digits += static_cast<double>(d) * static_cast<double>(to - from + 1);
    if (high >= last) break;
    low *= 10;
  }
  return digits / static_cast<double>(last - first + 1);
}

struct LayoutDefaults {
  // The sections of this graph's output: more than one where a layout writes its parts one
  // after the other (ParHIP's offsets, entries and weights).
  static int sections(const GraphFacts&) { return 1; }
  // Whether a weighted graph's lines of this section carry weights (write_weighted); the
  // sections that carry none are the unweighted graph's.
  static bool carries_weights(int) { return true; }
  static std::optional<std::string> refusal(const GraphFacts&) { return std::nullopt; }
  static std::string trailer(const GraphFacts&) { return {}; }
  static bool counts_earlier_entries(int) { return false; }
  static WrittenEntries written_entries(int, const GraphFacts& facts) {
    return {WrittenEntries::Kind::kEvery,
            static_cast<double>(std::max<std::int64_t>(0, facts.counts.arcs))};
  }
  // Each entry's number and separator, and the line end.
  static SpreadLine spread_line(int, const GraphFacts& facts, Vertex, double entries) {
    const auto vertices = static_cast<std::uint64_t>(std::max<Vertex>(1, facts.line_count()));
    return {entries * (average_digits(1, vertices) + 1) + 1, entries};
  }
  static void rebase(int, char*, char*, std::uint64_t) {}
};

// For headings: "%d" text, the relabelling note of the comment lines, binary words.
inline std::string decimal_text(std::int64_t value) {
  char digits[32];
  return std::string(digits, decimal::write_signed(digits, value));
}

inline std::string relabel_note(RelabelSeed seed) {
  if (!seed) return {};
  char digits[32];
  return ", relabelled at random with seed " +
         std::string(digits, decimal::write_unsigned(digits, *seed));
}

// Stores a short text (at most 8 bytes, with the 8-byte store the room allows) and returns its
// end.
template <std::size_t kSize>
inline char* append(char* cursor, const char (&text)[kSize]) {
  static_assert(kSize - 1 <= 8);
  std::memcpy(cursor, text, kSize - 1);
  return cursor + kSize - 1;
}

inline void append_word(std::string& bytes, std::uint64_t word) {
  for (int byte = 0; byte < 8; ++byte)
    bytes += static_cast<char>(word >> (8 * byte) & 0xff);
}

// The lines and entries a layout writes, never negative.
inline std::uint64_t line_total(const GraphFacts& facts) {
  return static_cast<std::uint64_t>(facts.line_count());
}
inline std::uint64_t arc_total(const GraphFacts& facts) {
  return static_cast<std::uint64_t>(std::max<std::int64_t>(0, facts.counts.arcs));
}

// The average entries of a line, and the bytes of a vertex number with its separator at most.
inline double arcs_per_line(const GraphFacts& facts) {
  return static_cast<double>(facts.counts.arcs) /
         static_cast<double>(std::max<Vertex>(1, facts.line_count()));
}
// The weights a graph's lines carry, all lines together, and about their bytes on a line (a
// few digits and a separator each), for the bounds and estimates of the text layouts.
inline std::uint64_t weight_total(const GraphFacts& facts) {
  const auto vertex = saturating_multiply(
      line_total(facts), static_cast<std::uint64_t>(facts.weights.vertex_constraints));
  return saturating_add(vertex, facts.weights.edges ? arc_total(facts) : 0);
}
inline double weight_bytes(const GraphFacts& facts) {
  constexpr double kBytesPerWeight = 3;
  return kBytesPerWeight *
         (facts.weights.vertex_constraints + (facts.weights.edges ? arcs_per_line(facts) : 0));
}
inline double number_bytes(const GraphFacts& facts) {
  double digits = 1;
  for (std::uint64_t value = line_total(facts); value >= 10; value /= 10)
    ++digits;
  return digits + 1;
}

// The cursor and limit of a ChunkOutput, held in the sink while a job runs and handed back when
// the sink is done or the output must make room.
class SinkBuffer {
 public:
  explicit SinkBuffer(ChunkOutput& out) : out_(out), cursor_(out.cursor), limit_(out.limit) {}
  ~SinkBuffer() { out_.cursor = cursor_; }
  SinkBuffer(const SinkBuffer&) = delete;
  SinkBuffer& operator=(const SinkBuffer&) = delete;

  // Where the next operation (at most kOperationRoom bytes) may store.
  char* reserve() {
    if (cursor_ >= limit_) [[unlikely]]
      make_room();
    return cursor_;
  }
  void commit(char* end) { cursor_ = end; }

  void put_word(std::uint64_t word) {  // little-endian, as the binary layouts want
    static_assert(std::endian::native == std::endian::little);
    char* cursor = reserve();
    std::memcpy(cursor, &word, 8);
    commit(cursor + 8);
  }

 private:
  void make_room() {
    out_.cursor = cursor_;
    out_.make_room();
    cursor_ = out_.cursor;
    limit_ = out_.limit;
  }

  ChunkOutput& out_;
  char* cursor_;
  char* limit_;
};

// Counts the entries of each line into degrees[0], degrees[1], ...: what a layout needs to
// know of a line before it writes the line (Scotch's degree, ParHIP's offsets), and the degree
// pass of a graph's arrays (count_line_entries, family_source.hpp).
class DegreeCounter {
 public:
  explicit DegreeCounter(std::uint64_t* degrees) : degrees_(degrees) {}
  void write_neighbour(Vertex) { ++entries_; }
  void write_neighbour_run(Vertex, Vertex count) { entries_ += static_cast<std::uint64_t>(count); }
  void end_vertex_line() {
    *degrees_++ = entries_;
    entries_ = 0;
  }
  void write_list_line(const Vertex*, int count) {
    *degrees_++ = static_cast<std::uint64_t>(count);
  }
  template <class... Numbers>
  void write_fixed_line(Numbers...) {
    *degrees_++ = sizeof...(Numbers);
  }

 private:
  std::uint64_t* degrees_;
  std::uint64_t entries_ = 0;
};

// The decimal writers of one line's positions: entry k of a line goes through writer k, the
// entries past the last writer through the last one, where a long line's rising numbers keep
// it in one block of 10^4. Writer is decimal::CachedDecimal for numbers that rise from line to
// line, decimal::PlainDecimal for relabelled ones.
template <class Writer>
class PositionalDecimals {
 public:
  // Position 0 and the entries of a whole line (write_list_line) each have their own.
  static constexpr unsigned kPositions = kMostListLineEntries + 1;
  char* write(char* out, unsigned position, std::uint64_t value) {
    return writers_[position].write(out, value);
  }
  static unsigned next(unsigned position) { return position + (position < kPositions - 1); }
  Writer& writer(unsigned position) { return writers_[position]; }

 private:
  Writer writers_[kPositions];
};

// For layouts that write every entry the same way whatever the kind of its line. Derived
// provides, each storing at most its share of one operation's room:
//   char* start_line(char* cursor);  // before a line's first entry, or its end when it has none
//   char* entry(char* cursor, unsigned position, Vertex neighbour);
//   char* end_line(char* cursor);
//   SinkBuffer& buffer();
// Entries take positions from 1 (position 0 is the line's own figure, where the layout writes
// one). A line handed over whole costs one room check.
template <class Derived, class Writer>
class EntryLines {
 public:
  void write_neighbour(Vertex neighbour) {
    char* cursor = self().buffer().reserve();
    if (!started_) {
      cursor = self().start_line(cursor);
      started_ = true;
    }
    cursor = self().entry(cursor, position_, neighbour);
    self().buffer().commit(cursor);
    position_ = PositionalDecimals<Writer>::next(position_);
  }
  void end_vertex_line() {
    char* cursor = self().buffer().reserve();
    if (!started_) cursor = self().start_line(cursor);
    cursor = self().end_line(cursor);
    self().buffer().commit(cursor);
    started_ = false;
    position_ = 1;
  }
  void write_list_line(const Vertex* neighbours, int count) {
    char* cursor = self().start_line(self().buffer().reserve());
    for (int k = 0; k < count; ++k)
      cursor = self().entry(cursor, static_cast<unsigned>(k) + 1, neighbours[k]);
    self().buffer().commit(self().end_line(cursor));
  }
  template <class... Numbers>
  void write_fixed_line(Numbers... numbers) {
    const Vertex line[] = {numbers...};
    self().write_list_line(line, sizeof...(Numbers));
  }
  void write_neighbour_run(Vertex first, Vertex count) {
    for (Vertex v = first; v < first + count; ++v)
      write_neighbour(v);
  }
  // Entries of the current line, any number of them, with a room check for every
  // kMostListLineEntries where write_neighbour pays for one on every entry.
  void write_neighbours(const Vertex* neighbours, std::int64_t count) {
    while (count > 0) {
      const std::int64_t batch = std::min<std::int64_t>(count, kMostListLineEntries);
      char* cursor = self().buffer().reserve();
      if (!started_) {
        cursor = self().start_line(cursor);
        started_ = true;
      }
      for (std::int64_t k = 0; k < batch; ++k) {
        cursor = self().entry(cursor, position_, neighbours[k]);
        position_ = PositionalDecimals<Writer>::next(position_);
      }
      self().buffer().commit(cursor);
      neighbours += batch;
      count -= batch;
    }
  }

 private:
  Derived& self() { return static_cast<Derived&>(*this); }
  unsigned position_ = 1;  // of the current line's next entry
  bool started_ = false;   // the current line has begun
};

// Lines are processed in batches of this many when a layout needs their degrees first: small
// enough for the degrees to stay in the cache and on the stack.
inline constexpr Vertex kDegreeBatch = 1024;

}  // namespace famgen
