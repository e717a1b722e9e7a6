// Turns a family (graph.hpp) into a GraphSource: the one place where the families and the
// layouts meet, as templates, so that the sink's calls are inlined into the family's loop.
#pragma once

#include <type_traits>
#include <utility>

#include "graphfile/layouts/arrays.hpp"
#include "graphfile/layouts/layouts.hpp"
#include "graphfile/relabelling.hpp"
#include "graphfile/simple_graph.hpp"

namespace famgen {

// The lines first..last of a family as it numbers them.
template <class Family>
struct NaturalLines {
  using NumberWriter = decimal::CachedDecimal;  // a position's numbers rise from line to line
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
  RelabelledLines sub(Vertex from, Vertex to) const { return {family, relabelling, from, to}; }
};

// Families whose every line is written at full speed; a simple graph's filtered lines
// (SimpleGraph, -simple at the smallest sizes) are not worth the compile time.
template <class Family>
inline constexpr bool kFlattened = true;
template <class Family>
inline constexpr bool kFlattened<SimpleGraph<Family>> = false;

template <class Family>
class FamilySource final : public GraphSource {
 public:
  explicit FamilySource(Family family) : family_(std::move(family)), facts_(family_.facts()) {}
  // With facts of its own: the family's lines under another graph's facts (its simple graph's).
  FamilySource(Family family, GraphFacts facts)
      : family_(std::move(family)), facts_(std::move(facts)) {}
  const GraphFacts& facts() const override { return facts_; }
  std::uint64_t format(const FormatJob& job, ChunkOutput& out) const override {
    return with_layout(job.format, [&](auto layout) {
      if (job.relabelling != nullptr) {
        return format_lines(layout,
                            RelabelledLines<Family>{family_, *job.relabelling, job.first, job.last},
                            job, out);
      }
      return format_lines(layout, NaturalLines<Family>{family_, job.first, job.last}, job, out);
    });
  }
  void count_entries(const ArrayJob& job, std::int32_t* degrees) const override {
    count_lines(job, degrees);
  }
  void count_entries(const ArrayJob& job, std::int64_t* degrees) const override {
    count_lines(job, degrees);
  }
  void list_entries(const ArrayJob& job, std::int32_t* entries) const override {
    EntryArraySink<std::int32_t> sink(entries);
    fill_arrays(job, sink);
  }
  void list_entries(const ArrayJob& job, std::int64_t* entries) const override {
    EntryArraySink<std::int64_t> sink(entries);
    fill_arrays(job, sink);
  }
  void list_positions(const ArrayJob& job, double* coordinates) const override {
    PositionArraySink sink(coordinates, facts_.decimals);
    fill_arrays(job, sink);
  }

 private:
  template <class Layout, class Lines>
  std::uint64_t format_lines(Layout layout, const Lines& lines, const FormatJob& job,
                             ChunkOutput& out) const {
    if constexpr (kFlattened<Family>) {
      return format_flattened(layout, lines, job, out);
    } else {
      return layout.format(lines, job, facts_, out);
    }
  }

  // One function for each layout and numbering, in which the family's loop, the layout's sink
  // and the number writer are inlined whatever else the translation unit holds: the compiler's
  // budget for inlining is per unit, and the unit that writes the families holds all of them.
  template <class Layout, class Lines>
  [[gnu::noinline, gnu::flatten]] std::uint64_t format_flattened(Layout layout, const Lines& lines,
                                                                 const FormatJob& job,
                                                                 ChunkOutput& out) const {
    return layout.format(lines, job, facts_, out);
  }

  // A line's entry count does not depend on how its entries are numbered: relabelled lines are
  // counted in their order, their entries left as they are.
  template <class Count>
  [[gnu::noinline, gnu::flatten]] void count_lines(const ArrayJob& job, Count* degrees) const {
    DegreeCounter<Count> counter(degrees);
    if (job.relabelling == nullptr) return family_.write_lines(job.first, job.last, counter);
    for (Vertex line = job.first; line <= job.last; ++line) {
      const Vertex vertex = job.relabelling->backward(line);
      family_.write_lines(vertex, vertex, counter);
    }
  }

  template <class Sink>
  void fill_arrays(const ArrayJob& job, Sink& sink) const {
    if (job.relabelling != nullptr) {
      return fill_lines(RelabelledLines<Family>{family_, *job.relabelling, job.first, job.last},
                        sink);
    }
    fill_lines(NaturalLines<Family>{family_, job.first, job.last}, sink);
  }

  // As format_lines: the family's loop and the sink inlined into one function each.
  template <class Lines, class Sink>
  [[gnu::noinline, gnu::flatten]] void fill_lines(const Lines& lines, Sink& sink) const {
    if constexpr (std::is_same_v<Sink, PositionArraySink>) {
      lines.positions(sink);
    } else {
      lines(sink);
    }
  }

  Family family_;
  GraphFacts facts_;
};

// A family written to a destination, unless it refuses or cannot build what its lines read.
template <class Family>
Outcome write_family(Family family, const GraphDestination& destination) {
  if (const std::optional<std::string> why = refusal_of(family)) return refused(*why);
  if (const std::optional<std::string> why = prepare(family)) return refused(*why);
  return destination.write(FamilySource<Family>(std::move(family)));
}

// The same for the family's simple graph (-simple, simple_graph.hpp): its own lines when they
// list no self-loop and no repeated neighbour, else its lines through SimpleGraph.
template <class Family>
Outcome write_simple_family(Family family, const GraphDestination& destination) {
  if (const std::optional<std::string> why = refusal_of(family)) return refused(*why);
  if (const std::optional<std::string> why = prepare(family)) return refused(*why);
  const GraphFacts facts = family.facts();
  if (!lists_loops_or_repeats(facts.counts)) {
    return destination.write(FamilySource<Family>(std::move(family), simple_facts(facts)));
  }
  return destination.write(FamilySource<SimpleGraph<Family>>(SimpleGraph(std::move(family))));
}

// What a generator hands its family to when the family is to be written.
inline auto write_to(const GraphDestination& destination) {
  return [&destination](auto family) { return write_family(std::move(family), destination); };
}

}  // namespace famgen
