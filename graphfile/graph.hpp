// The graph vocabulary: what the generators and the bytes side share. graphfile/ holds three
// parts, each of which may include only the ones above it:
// - this folder's root: vertices, counts, the facts a file states, the family protocol, and the
//   seam (GraphSource, GraphDestination) between a graph and its bytes; it includes nothing of
//   the project but outcome.hpp and relabelling.hpp;
// - layouts/: one file per output layout, everything that layout knows, and the one switch that
//   turns a Format into its layout (layouts.hpp);
// - output/: how a run is cut into sections, jobs and process ranges (plan.hpp), and where the
//   bytes go: files, standard output, memory, MPI-IO; and a graph's arrays in memory (arrays.hpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "graphfile/outcome.hpp"

namespace famgen {

// Vertex numbers and counts are 64-bit, so figures past 2^31 - 1 are written exactly.
using Vertex = std::int64_t;

struct GraphCounts {
  std::int64_t vertices = 0;   // V, as the counts line states it
  std::int64_t edges = 0;      // the edge figure of the METIS counts line, quirks included
  std::int64_t arcs = 0;       // the entries the vertex lines list, all lines together
  std::int64_t loop_arcs = 0;  // of those, the entries that name their own vertex
  // Of the others, the entries that repeat an earlier entry of their line. With loop_arcs, what
  // -simple takes out (simple_graph.hpp); both stay 0 for a family whose lines never list them.
  std::int64_t repeated_arcs = 0;
};

enum class CountsLineEnd {
  kNewline,           // "%d %d\n"
  kSpaceThenNewline,  // "%d %d \n"
};

// The weights a graph's lines carry (weights.hpp): vertex weights for this many constraints
// (METIS's ncon; 0 for none), and edge weights or none.
struct WeightFacts {
  int vertex_constraints = 0;
  bool edges = false;
  bool any() const { return vertex_constraints > 0 || edges; }
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
  // The positions of the vertices: 2 or 3 coordinates each (1 to 8 for a mesh), as integers counted
  // in units of 10^-decimals (0: whole numbers; 6: micro-units, written with six decimals; 9:
  // nano-units, the random points of the unit square and cube).
  int dimension = 2;
  int decimals = 0;
  // Positions that wrap around with this period (in their units) on every axis, a torus's: the
  // length of an edge is then the shorter way round. 0: they do not wrap.
  std::int64_t period = 0;
  // A drawing's units per unit of position: neighbours are drawn about a drawing unit apart,
  // which the points of a unit square are at about this many to 1.
  std::int64_t drawing_scale = 1;
  // Whether the positions lie a drawing unit apart or more (a lattice, a ring), or may come
  // arbitrarily close (points drawn at random), where labelled circles would overlap.
  bool spaced = true;
  WeightFacts weights;  // none but with -vertex-weights or -edge-weights
  // The vertex lines: counts.vertices of them, or none when that is below 1.
  Vertex line_count() const { return counts.vertices > 0 ? counts.vertices : 0; }
};

// The comment template with each "%d" replaced by the next value and "%%" by "%".
std::string comment_line(std::string_view format, std::initializer_list<std::int64_t> values);

// The facts of a family with a METIS heading; the title is the comment line's text.
GraphFacts graph_facts(GraphCounts counts, std::string comment_line, CountsLineEnd counts_line_end);

// A family is a small value type that describes one graph from its sizes:
//   GraphFacts facts() const;
//   template <class Sink> void write_lines(Vertex first, Vertex last, Sink& sink) const;
//   template <class Sink> void write_positions(Vertex first, Vertex last, Sink& sink) const;
// where write_lines drives the sink over the lines of vertices first..last in order (the sink
// calls are listed in layouts/sinks.hpp), and write_positions calls sink.write_point(x, y),
// sink.write_point(x, y, z) or, for any count of coordinates (GraphFacts::dimension),
// sink.write_coordinates(coordinates, count) for each of those vertices in turn. It may also have
//   std::optional<std::string> refusal() const;  // why it cannot be had (figures past 64 bits)
//   std::optional<std::string> prepare();        // builds what its lines read; why not, if not
// Whoever uses a family asks refusal_of() first, and prepare() before it asks for lines.
template <class Family>
std::optional<std::string> refusal_of(const Family& family) {
  if constexpr (requires { family.refusal(); }) return family.refusal();
  return std::nullopt;
}

template <class Family>
std::optional<std::string> prepare(Family& family) {
  if constexpr (requires { family.prepare(); }) return family.prepare();
  return std::nullopt;
}

// Bounds of files no disk could hold stay at the largest value instead of wrapping.
inline std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) {
  return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}
inline std::uint64_t saturating_multiply(std::uint64_t a, std::uint64_t b) {
  return b != 0 && a > UINT64_MAX / b ? UINT64_MAX : a * b;
}

// The output layouts: those that -format names, in the order of its keywords up to
// kLastKeyword, then those of a run's coordinates, which follow from -format.
enum class Format {
  kMetis,
  kParhip,
  kScotch,
  kMatrixMarket,
  kEdgeList,
  kDot,
  kLastKeyword = kDot,
  kCoordinates,
  kScotchGeometry,
  kLastLayout = kScotchGeometry,
};

// How the vertices are numbered in a run: as the generator numbers them, or relabelled at
// random with this seed.
using RelabelSeed = std::optional<std::uint64_t>;

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

// A list line handed over whole (write_list_line) is short enough for one operation's room: 64
// entries of at most 20 digits, two numbers an entry in the edge layouts. Longer lines go
// through write_neighbour or write_neighbour_run.
inline constexpr int kMostListLineEntries = 64;

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

// One piece of a graph's arrays in memory (output/arrays.hpp): the lines first..last (line
// numbers from 1) in a numbering.
struct ArrayJob {
  const Relabelling* relabelling = nullptr;  // null: vertices keep their numbers
  Vertex first = 1;
  Vertex last = 0;
};

// A graph as the bytes side sees it: its facts and the bytes of any job in any layout.
class GraphSource {
 public:
  virtual ~GraphSource() = default;
  virtual const GraphFacts& facts() const = 0;
  // Writes the job's bytes into out. Returns, for a section whose words count the entries of
  // earlier lines, the entries its own lines list; for a section that writes a share of them
  // (an edge layout's), the entries it writes; 0 for the other sections.
  virtual std::uint64_t format(const FormatJob& job, ChunkOutput& out) const = 0;
};

class VirtualFamily;  // virtual_family.hpp

// A graph as the library's arrays see it (output/arrays.hpp): its facts and the numbers of any
// job. Apart from GraphSource, so that the command line, which writes no arrays, compiles none.
class ArraySource {
 public:
  virtual ~ArraySource() = default;
  virtual const GraphFacts& facts() const = 0;
  // The entries each line of the job lists, at degrees[0], degrees[1], ...
  virtual void count_entries(const ArrayJob& job, std::int32_t* degrees) const = 0;
  virtual void count_entries(const ArrayJob& job, std::int64_t* degrees) const = 0;
  // The entries of the job's lines one after the other, each a vertex numbered from 0.
  virtual void list_entries(const ArrayJob& job, std::int32_t* entries) const = 0;
  virtual void list_entries(const ArrayJob& job, std::int64_t* entries) const = 0;
  // The positions of the job's lines' vertices, GraphFacts::dimension coordinates each, in
  // units (not in units of 10^-decimals).
  virtual void list_positions(const ArrayJob& job, double* coordinates) const = 0;
  // The family's lines and positions in its own numbering, through virtual calls: what the
  // weights are worked out from.
  virtual const VirtualFamily& lines() const = 0;
};

// Where a run's outputs go: files, standard output, memory, or one file from many processes.
class GraphDestination {
 public:
  virtual ~GraphDestination() = default;
  virtual Outcome write(const GraphSource& source) const = 0;
};

// Where a graph's arrays go: memory, in the layout that output/arrays.hpp describes.
class ArrayTarget {
 public:
  virtual ~ArrayTarget() = default;
  virtual Outcome fill(const ArraySource& source) const = 0;
};

struct WeightRequest;  // weights.hpp

// What a family is made for, once it has passed its size checks: written to a destination (as
// its simple graph when simple, -simple; with the weights asked for, if any), or, without one,
// only asked its facts, which builds nothing (not the Sierpinski graph's store either).
struct FamilyUse {
  const GraphDestination* destination = nullptr;
  bool simple = false;
  GraphFacts* facts = nullptr;             // filled when there is no destination
  const WeightRequest* weights = nullptr;  // none when null or when it asks for none
};

// The use that writes a family to destination, which must outlive the call it is handed to.
inline FamilyUse write_to(const GraphDestination& destination, bool simple = false,
                          const WeightRequest* weights = nullptr) {
  return {&destination, simple, nullptr, weights};
}

// The use that asks a family its facts into facts.
inline FamilyUse facts_into(GraphFacts& facts) {
  return {nullptr, false, &facts, nullptr};
}

// A family made for the library's arrays: filled into target.
struct ArrayUse {
  const ArrayTarget* target = nullptr;
  bool simple = false;  // the simple graph's arrays (without self-loops and repeated entries)
};

}  // namespace famgen
