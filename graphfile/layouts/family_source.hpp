// Turns a family (graph.hpp) into a GraphSource: the one place where the families and the
// layouts meet, as templates, so that the sink's calls are inlined into the family's loop. Each
// family's unit (generators/sources/) instantiates this for its family alone; the rare layouts
// and a simple graph's filtered lines reach the family through virtual calls instead
// (virtual_family.hpp), over layouts instantiated once for all families (family_source.cpp).
#pragma once

#include <algorithm>
#include <type_traits>
#include <utility>
#include <vector>

#include "graphfile/layouts/layouts.hpp"
#include "graphfile/layouts/weighted_lines.hpp"
#include "graphfile/relabelling.hpp"
#include "graphfile/simple_graph.hpp"
#include "graphfile/virtual_family.hpp"

namespace famgen {

// Whether the numbers at one position of consecutive lines mostly rise together, as the
// structured families' do, so that a writer that keeps the upper digits of each position pays;
// a family whose lines vary in length (the random geometric graphs) says it is not so.
template <class Family>
constexpr bool positions_rise() {
  if constexpr (requires { Family::kPositionsRise; }) {
    return Family::kPositionsRise;
  } else {
    return true;
  }
}

// The lines first..last of a family as it numbers them.
template <class Family>
struct NaturalLines {
  using NumberWriter =
      std::conditional_t<positions_rise<Family>(), decimal::CachedDecimal, decimal::PlainDecimal>;
  const Family& family;
  Vertex first;
  Vertex last;
  template <class Sink>
  void operator()(Sink& sink) const {
    family.write_lines(first, last, sink);
  }
  template <class Sink>
  void positions(Sink& sink) const {
    family.write_positions(first, last, sink);
  }
  // Inlined, so that a layout's loop over the counts can take them as they come.
  void count_entries(std::uint64_t* degrees) const {
    DegreeCounter counter(degrees);
    family.write_lines(first, last, counter);
  }
  template <class Sink>
  void write_counted(const std::uint64_t*, Sink& sink) const {
    (*this)(sink);
  }
  NaturalLines sub(Vertex from, Vertex to) const { return {family, from, to}; }
};

// Passes every number through π on its way to the sink.
template <class Sink>
class RelabelledSink {
 public:
  RelabelledSink(Sink& sink, const Relabelling& relabelling)
      : sink_(sink), relabelling_(relabelling) {}
  void write_neighbour(Vertex w) { sink_.write_neighbour(relabelling_.forward(w)); }
  void end_vertex_line() { sink_.end_vertex_line(); }
  void write_neighbour_run(Vertex first, Vertex count) {
    for (Vertex v = first; v < first + count; ++v)
      sink_.write_neighbour(map(v));
  }
  void write_list_line(const Vertex* neighbours, int count) {
    Vertex relabelled[kMostListLineEntries];
    relabelling_.forward_all(neighbours, relabelled, count);
    sink_.write_list_line(relabelled, count);
  }
  template <class... Numbers>
  void write_fixed_line(Numbers... numbers) {
    constexpr std::size_t kCount = sizeof...(Numbers);
    const Vertex line[] = {numbers...};
    Vertex relabelled[kCount];
    relabelling_.forward_all(line, relabelled, kCount);
    [&]<std::size_t... k>(std::index_sequence<k...>) {
      sink_.write_fixed_line(relabelled[k]...);
    }
    (std::make_index_sequence<kCount>{});
  }

 private:
  Vertex map(Vertex v) const { return relabelling_.forward(v); }
  Sink& sink_;
  const Relabelling& relabelling_;
};

// Lines first..last of the relabelled graph: line u lists the neighbours of v = π⁻¹(u), each
// written as π(w), in the order the family lists them.
template <class Family>
struct RelabelledLines {
  using NumberWriter = decimal::PlainDecimal;  // numbers in no order
  const Family& family;
  const Relabelling& relabelling;
  Vertex first;
  Vertex last;
  template <class Sink>
  void operator()(Sink& sink) const {
    RelabelledSink<Sink> relabelled(sink, relabelling);
    for (Vertex line = first; line <= last; ++line) {
      const Vertex vertex = relabelling.backward(line);
      family.write_lines(vertex, vertex, relabelled);
    }
  }
  // The positions are not vertex numbers: line u holds the position of π⁻¹(u) as it is.
  template <class Sink>
  void positions(Sink& sink) const {
    for (Vertex line = first; line <= last; ++line) {
      const Vertex vertex = relabelling.backward(line);
      family.write_positions(vertex, vertex, sink);
    }
  }
  // A line's count does not depend on how its entries are numbered: counted unrelabelled.
  void count_entries(std::uint64_t* degrees) const {
    DegreeCounter counter(degrees);
    for (Vertex line = first; line <= last; ++line) {
      const Vertex vertex = relabelling.backward(line);
      family.write_lines(vertex, vertex, counter);
    }
  }
  template <class Sink>
  void write_counted(const std::uint64_t*, Sink& sink) const {
    (*this)(sink);
  }
  RelabelledLines sub(Vertex from, Vertex to) const { return {family, relabelling, from, to}; }
};

// The entries of each of the lines first..last at degrees[0], degrees[1], ...; the lines of
// π⁻¹(first)..π⁻¹(last) when relabelled, whose entries are counted without being relabelled,
// since a line's count does not depend on how its entries are numbered. The degree pass of the
// arrays and of gathered lines: once a batch, so one copy out of line serves them all. (The
// layouts' own counts are inlined into their loops, Lines::count_entries.)
template <class Family>
[[gnu::noinline, gnu::flatten]] void count_line_entries(const Family& family,
                                                        const Relabelling* relabelling,
                                                        Vertex first, Vertex last,
                                                        std::uint64_t* degrees) {
  if (relabelling == nullptr)
    return NaturalLines<Family>{family, first, last}.count_entries(degrees);
  RelabelledLines<Family>{family, *relabelling, first, last}.count_entries(degrees);
}

// Stores the relabelled entries of whole lines one after the other at entries, and each line's
// count at degrees, until a line does not fit in the room left. A line is relabelled once it is
// whole, so that one that does not fit (a star's hub) costs no relabelling.
class LineGatherer {
 public:
  LineGatherer(const Relabelling& relabelling, Vertex* entries, std::uint64_t room,
               std::uint64_t* degrees)
      : relabelling_(relabelling),
        line_(entries),
        next_(entries),
        end_(entries + room),
        degrees_(degrees) {}
  bool full() const { return full_; }
  void write_neighbour(Vertex neighbour) {
    if (next_ == end_) {
      full_ = true;
      return;
    }
    *next_++ = neighbour;
  }
  void end_vertex_line() { end_line(); }
  void write_neighbour_run(Vertex first, Vertex count) {
    if (end_ - next_ < count) {
      full_ = true;
      return;
    }
    for (Vertex k = 0; k < count; ++k)
      next_[k] = first + k;
    next_ += count;
  }
  void write_list_line(const Vertex* neighbours, int count) {
    if (end_ - next_ < count) {
      full_ = true;
      return;
    }
    relabelling_.forward_all(neighbours, next_, count);
    next_ += count;
    *degrees_++ = static_cast<std::uint64_t>(count);
    line_ = next_;
  }
  template <class... Numbers>
  void write_fixed_line(Numbers... numbers) {
    const Vertex line[] = {numbers...};
    write_list_line(line, sizeof...(Numbers));
  }

 private:
  void end_line() {
    if (full_) return;
    for (Vertex* part = line_; part < next_; part += kMostListLineEntries) {
      const auto count =
          static_cast<int>(std::min<std::ptrdiff_t>(next_ - part, kMostListLineEntries));
      relabelling_.forward_all(part, part, count);
    }
    *degrees_++ = static_cast<std::uint64_t>(next_ - line_);
    line_ = next_;
  }
  const Relabelling& relabelling_;
  Vertex* line_;  // the current line's first entry
  Vertex* next_;
  Vertex* end_;
  std::uint64_t* degrees_;
  bool full_ = false;
};

// The relabelled lines first..last, gathered one after the other at entries (room entries) with
// their counts at degrees, up to the first line that does not fit; returns how many lines fit.
template <class Family>
[[gnu::noinline, gnu::flatten]] Vertex gather_relabelled_lines(const Family& family,
                                                               const Relabelling& relabelling,
                                                               Vertex first, Vertex last,
                                                               Vertex* entries, std::uint64_t room,
                                                               std::uint64_t* degrees) {
  LineGatherer gatherer(relabelling, entries, room, degrees);
  for (Vertex line = first; line <= last; ++line) {
    const Vertex vertex = relabelling.backward(line);
    family.write_lines(vertex, vertex, gatherer);
    if (gatherer.full()) return line - first;
  }
  return last - first + 1;
}

// A family's relabelled lines, counted and gathered a batch at a time by one function of the
// family's own each (count_line_entries, gather_relabelled_lines).
class GatheringFamily {
 public:
  virtual void count_relabelled(const Relabelling& relabelling, Vertex first, Vertex last,
                                std::uint64_t* degrees) const = 0;
  virtual Vertex gather_relabelled(const Relabelling& relabelling, Vertex first, Vertex last,
                                   Vertex* entries, std::uint64_t room,
                                   std::uint64_t* degrees) const = 0;

 protected:
  ~GatheringFamily() = default;
};

// What gathered lines keep between a batch's count and its writing (Scotch counts a batch of
// lines, then writes it): the buffer, and which lines it holds.
struct Gathering {
  std::vector<Vertex> buffer;
  Vertex first = 0;  // the lines held: first, first + 1, ..., first + held - 1
  Vertex held = 0;
};

// Relabelled lines first..last gathered into a buffer a batch at a time and written from there:
// for the layouts whose relabelled lines are not worth a copy of each family's loop (Scotch,
// Matrix Market, the edge list), whose lines are the same bytes whether a family hands them
// over as fixed lines, whole list lines or entry by entry. The relabelling is most of their
// cost; gathering adds a store and a load an entry, and gives a batch's counts on the way. A
// line of more entries than the buffer holds is written through virtual calls instead (a
// star's hub).
struct GatheredLines {
  using NumberWriter = decimal::PlainDecimal;   // numbers in no order
  static constexpr std::uint64_t kRoom = 8192;  // entries, 64 KiB
  const GatheringFamily& family;
  const VirtualFamily& calls;
  const Relabelling& relabelling;
  Gathering& gathering;
  Vertex first;
  Vertex last;

  template <class Sink>
  void operator()(Sink& sink) const {
    std::uint64_t degrees[kDegreeBatch];
    for (Vertex line = first; line <= last;) {
      const Vertex held = gather(line, std::min(last, line + kDegreeBatch - 1), degrees);
      if (held == 0) {
        write_alone(line, sink);
        ++line;
        continue;
      }
      write_held(degrees, sink);
      line += held;
    }
  }
  // The lines that fit are gathered on the way, for write_counted to write without listing
  // them again.
  void count_entries(std::uint64_t* degrees) const {
    const Vertex held = gather(first, last, degrees);
    if (first + held <= last) {
      family.count_relabelled(relabelling, first + held, last, degrees + held);
    }
  }
  template <class Sink>
  void write_counted(const std::uint64_t* degrees, Sink& sink) const {
    Vertex line = first;
    if (gathering.first == first && gathering.held > 0) {
      line += gathering.held;
      write_held(degrees, sink);
    }
    if (line <= last) sub(line, last)(sink);
  }
  GatheredLines sub(Vertex from, Vertex to) const {
    return {family, calls, relabelling, gathering, from, to};
  }

 private:
  // Lines from..to, at most kDegreeBatch, into the buffer with their counts at degrees, up to
  // the first that does not fit; returns how many fit.
  Vertex gather(Vertex from, Vertex to, std::uint64_t* degrees) const {
    if (gathering.buffer.size() < kRoom) gathering.buffer.resize(kRoom);
    gathering.first = from;
    gathering.held =
        family.gather_relabelled(relabelling, from, to, gathering.buffer.data(), kRoom, degrees);
    return gathering.held;
  }
  // The lines held, line k with degrees[k] entries.
  template <class Sink>
  void write_held(const std::uint64_t* degrees, Sink& sink) const {
    const Vertex* entries = gathering.buffer.data();
    for (Vertex k = 0; k < gathering.held; ++k) {
      const auto count = static_cast<int>(degrees[k]);
      if (count <= kMostListLineEntries) {
        sink.write_list_line(entries, count);
      } else {
        sink.write_neighbours(entries, count);
        sink.end_vertex_line();
      }
      entries += count;
    }
    gathering.held = 0;
  }
  // A line longer than the buffer.
  template <class Sink>
  void write_alone(Vertex line, Sink& sink) const {
    const FamilyThroughCalls through(calls, 0);  // lines alone
    RelabelledLines<FamilyThroughCalls>{through, relabelling, line, line}(sink);
  }
};

// Where the relabelled lines of Scotch, Matrix Market and the edge list are written from.
template <class Family, class Layout>
inline constexpr bool kGatheredWhenRelabelled =
    !std::is_same_v<Family, FamilyThroughCalls> &&
    (std::is_same_v<Layout, ScotchLayout> || std::is_same_v<Layout, MatrixMarketLayout> ||
     std::is_same_v<Layout, EdgeListLayout>);

// A relabelled job's bytes in one of those layouts, from a family's gathered lines.
std::uint64_t format_gathered(const GatheringFamily& family, const VirtualFamily& calls,
                              const GraphFacts& facts, const FormatJob& job, ChunkOutput& out);

// The layouts that reach a family through virtual calls rather than an instantiation for every
// family: Graphviz's drawings, which are for graphs small enough to look at, and the positions,
// whose numbers cost several times the call that brings them.
template <class Layout>
inline constexpr bool kWrittenThroughCalls =
    std::is_same_v<Layout, DotLayout> || std::is_same_v<Layout, CoordinatesLayout> ||
    std::is_same_v<Layout, ScotchGeometryLayout>;

// The layouts of the vertices' positions.
template <class Layout>
inline constexpr bool kListsPositions =
    std::is_same_v<Layout, CoordinatesLayout> || std::is_same_v<Layout, ScotchGeometryLayout>;

// A job's bytes for a family reached through virtual calls.
std::uint64_t format_through_calls(const VirtualFamily& family, const GraphFacts& facts,
                                   const FormatJob& job, ChunkOutput& out);

// A family reached through virtual calls, with these facts, written to destination.
Outcome write_through_calls(const VirtualFamily& family, const GraphFacts& facts,
                            const GraphDestination& destination);

// The simple graph of a family whose lines list self-loops or repeated neighbours, written to
// destination: its lines through SimpleLines, in any layout, through virtual calls; with the
// weights asked for, when any.
Outcome write_simple_graph(const VirtualFamily& family, const GraphFacts& family_facts,
                           const GraphDestination& destination,
                           const WeightRequest* weights = nullptr);

template <class Family>
class FamilySource final : public GraphSource, public VirtualFamily, public GatheringFamily {
 public:
  explicit FamilySource(Family family) : family_(std::move(family)), facts_(family_.facts()) {}
  // With facts of its own: the family's lines under another graph's facts (its simple graph's).
  FamilySource(Family family, GraphFacts facts)
      : family_(std::move(family)), facts_(std::move(facts)) {}
  const GraphFacts& facts() const override { return facts_; }
  std::uint64_t format(const FormatJob& job, ChunkOutput& out) const override {
    return with_layout(job.format, [&](auto layout) -> std::uint64_t {
      if constexpr (!std::is_same_v<Family, FamilyThroughCalls> &&
                    kWrittenThroughCalls<decltype(layout)>) {
        return format_through_calls(*this, facts_, job, out);
      } else if (job.relabelling != nullptr) {
        if constexpr (kGatheredWhenRelabelled<Family, decltype(layout)>) {
          return format_gathered(*this, *this, facts_, job, out);
        } else {
          return format_lines(
              layout, RelabelledLines<Family>{family_, *job.relabelling, job.first, job.last}, job,
              out);
        }
      }
      return format_lines(layout, NaturalLines<Family>{family_, job.first, job.last}, job, out);
    });
  }
  void write_lines(Vertex first, Vertex last, VirtualLineSink& sink) const override {
    family_.write_lines(first, last, sink);
  }
  void list_positions(Vertex first, Vertex last, std::int64_t* coordinates) const override {
    PositionList list(coordinates);
    family_.write_positions(first, last, list);
  }
  void count_relabelled(const Relabelling& relabelling, Vertex first, Vertex last,
                        std::uint64_t* degrees) const override {
    count_line_entries(family_, &relabelling, first, last, degrees);
  }
  Vertex gather_relabelled(const Relabelling& relabelling, Vertex first, Vertex last,
                           Vertex* entries, std::uint64_t room,
                           std::uint64_t* degrees) const override {
    return gather_relabelled_lines(family_, relabelling, first, last, entries, room, degrees);
  }

 private:
  // One function for each layout and numbering, which holds the family's loop with the layout's
  // sink and number writer inlined into it (the sinks' per-entry calls are always inlined).
  template <class Layout, class Lines>
  [[gnu::noinline, gnu::flatten]] std::uint64_t format_lines(Layout layout, const Lines& lines,
                                                             const FormatJob& job,
                                                             ChunkOutput& out) const {
    return layout.format(lines, job, facts_, out);
  }
  // Over virtual calls, only the positions' layouts are flattened: their numbers are most of
  // their cost, and inlined they take a sixth fewer instructions. The other layouts' lines pay
  // a call an entry whatever surrounds it (a simple graph's lines, a star's hub, a drawing):
  // flattened, they saved at most 3% of a simple graph's instructions and none of a drawing's,
  // for a second of this unit's compile time.
  template <class Layout, class Lines>
  std::uint64_t format_lines(Layout layout, const Lines& lines, const FormatJob& job,
                             ChunkOutput& out) const
      requires(std::is_same_v<Family, FamilyThroughCalls> && !kListsPositions<Layout>) {
    return layout.format(lines, job, facts_, out);
  }

  Family family_;
  GraphFacts facts_;
};

// What a generator does with the family it made (generators/generators.hpp): refused when it
// cannot be had (figures past 64 bits); its facts, when that is all the use asks; otherwise,
// once it has built what its lines read, written to the destination. A simple graph (-simple) is
// the family's own lines when they list no self-loop and no repeated neighbour, else its lines
// through SimpleLines (simple_graph.hpp). Weighted lines go through write_weighted
// (weighted_lines.hpp), which the family's own source serves with the sections that carry no
// weights. Each family's unit instantiates this once.
template <class Family>
Outcome use_family(Family family, const FamilyUse& use) {
  if (const std::optional<std::string> why = refusal_of(family)) return refused(*why);
  if (use.destination == nullptr) {
    if (use.facts != nullptr) *use.facts = family.facts();
    return {};
  }
  if (const std::optional<std::string> why = prepare(family)) return refused(*why);
  const WeightRequest* weights =
      use.weights != nullptr && use.weights->any() ? use.weights : nullptr;
  const auto write = [&](const FamilySource<Family>& source) {
    if (weights == nullptr) return use.destination->write(source);
    return write_weighted(source, source, *weights, *use.destination);
  };
  if (!use.simple) return write(FamilySource<Family>(std::move(family)));
  const GraphFacts facts = family.facts();
  if (!lists_loops_or_repeats(facts.counts)) {
    return write(FamilySource<Family>(std::move(family), simple_facts(facts)));
  }
  const FamilySource<Family> source(std::move(family), facts);
  return write_simple_graph(source, facts, *use.destination, weights);
}

}  // namespace famgen
