// The seam between the generators and the bytes. A generator describes its graph as a
// GraphSource (its facts, and the lines of any range of vertices in any layout) and hands it to
// a GraphDestination, which decides where and how the bytes go: one file on one or many
// threads, or one file from many processes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// Vertex numbers and counts are 64-bit, so figures past 2^31 - 1 are written exactly.
using Vertex = std::int64_t;

// What a run hands back to main, the one place that prints and picks the exit status.
struct Outcome {
  int status = 0;       // the exit status; -1 (seen as 255) when the file failed
  std::string message;  // for standard output: the message of a failed size check
  std::string error;    // for standard error: why the run failed
};

// Exit status of a run refused before any file is touched (sizes too large, no memory, no room
// on the disk, an unknown layout).
inline constexpr int kStatusRefused = 1;

inline Outcome refused(const std::string& why) {
  return {kStatusRefused, {}, "famgen: " + why};
}

struct GraphCounts {
  std::int64_t vertices = 0;   // V, as the counts line states it
  std::int64_t edges = 0;      // the edge figure of the METIS counts line, quirks included
  std::int64_t arcs = 0;       // the entries the vertex lines list, all lines together
  std::int64_t loop_arcs = 0;  // of those, the entries that name their own vertex
};

enum class CountsLineEnd {
  kNewline,           // "%d %d\n"
  kSpaceThenNewline,  // "%d %d \n"
};

// What a layout needs to know of a graph besides its lines.
struct GraphFacts {
  GraphCounts counts;
  // The METIS heading: the comment line as the family's template gives it (with its "% " and
  // line end) and the counts line's end. No heading at all for "completegraph".
  bool has_heading = true;
  std::string comment_line;
  CountsLineEnd counts_line_end = CountsLineEnd::kNewline;
  // Names the graph in the comment lines of the other layouts.
  std::string title;
  // The vertex lines: counts.vertices of them, or none when that is below 1.
  Vertex line_count() const { return counts.vertices > 0 ? counts.vertices : 0; }
};

// The comment template with each "%d" replaced by the next value and "%%" by "%".
std::string comment_line(std::string_view format, std::initializer_list<std::int64_t> values);

// The facts of a family with a METIS heading; the title is the comment line's text.
GraphFacts graph_facts(GraphCounts counts, std::string comment_line, CountsLineEnd counts_line_end);

// The output layouts, in the order of the -format keywords.
enum class Format { kMetis, kParhip, kScotch, kMatrixMarket, kEdgeList };

// Where a layout's sink puts its bytes. A sink stores at cursor and, once cursor has reached
// limit, calls make_room() before its next operation; past limit there is always room for one
// operation (kOperationRoom bytes: a whole line of up to 64 numbers in any layout, with the
// 16-byte stores of the number writer). make_room() hands the bytes on and moves cursor and limit.
class ChunkOutput {
 public:
  char* cursor = nullptr;
  char* limit = nullptr;
  virtual void make_room() = 0;

 protected:
  ~ChunkOutput() = default;
};

inline constexpr std::size_t kOperationRoom = 4096;

class Relabelling;

// One piece of a layout's output: the lines first..last (line numbers from 1) of one section of
// the layout. Sections are the parts of a layout written one after the other (ParHIP: the
// offsets, then the neighbour entries; every text layout has one).
struct FormatJob {
  Format format = Format::kMetis;
  const Relabelling* relabelling = nullptr;  // null: vertices keep their numbers
  int section = 0;
  Vertex first = 1;
  Vertex last = 0;
  // For sections whose words count what earlier lines listed (ParHIP's offsets): the entries
  // listed before line first. 0 where the section has no use for it.
  std::uint64_t entries_before = 0;
};

class GraphSource {
 public:
  virtual ~GraphSource() = default;
  virtual const GraphFacts& facts() const = 0;
  // Writes the job's bytes into out. Returns, for a section whose words count the entries of
  // earlier lines, the entries its own lines list; 0 for the other sections.
  virtual std::uint64_t format(const FormatJob& job, ChunkOutput& out) const = 0;
};

class GraphDestination {
 public:
  virtual ~GraphDestination() = default;
  virtual Outcome write(const GraphSource& source) const = 0;
};
