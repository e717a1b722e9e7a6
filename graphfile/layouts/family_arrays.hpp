// Turns a family (graph.hpp) into an ArraySource: the library's arrays of a family, its loop with
// the array sinks inlined into it, as family_source.hpp does for the bytes. Each family's arrays
// unit (generators/sources/FAMILY_arrays.cpp) instantiates this for its family alone, and only
// the library holds those units.
#pragma once

#include <algorithm>
#include <type_traits>
#include <utility>

#include "graphfile/layouts/arrays.hpp"
#include "graphfile/layouts/family_source.hpp"

namespace famgen {

template <class Family>
class FamilyArrays final : public ArraySource, public VirtualFamily {
 public:
  explicit FamilyArrays(Family family) : family_(std::move(family)), facts_(family_.facts()) {}
  // With facts of its own: the family's lines under another graph's facts (its simple graph's).
  FamilyArrays(Family family, GraphFacts facts)
      : family_(std::move(family)), facts_(std::move(facts)) {}
  const GraphFacts& facts() const override { return facts_; }
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
  const VirtualFamily& lines() const override { return *this; }
  void write_lines(Vertex first, Vertex last, VirtualLineSink& sink) const override {
    family_.write_lines(first, last, sink);
  }
  void list_positions(Vertex first, Vertex last, std::int64_t* coordinates) const override {
    PositionList list(coordinates);
    family_.write_positions(first, last, list);
  }

 private:
  template <class Count>
  void count_lines(const ArrayJob& job, Count* degrees) const {
    std::uint64_t counted[kDegreeBatch];
    for (Vertex batch = job.first; batch <= job.last; batch += kDegreeBatch) {
      const Vertex batch_last = std::min(job.last, batch + kDegreeBatch - 1);
      count_line_entries(family_, job.relabelling, batch, batch_last, counted);
      for (Vertex line = batch; line <= batch_last; ++line)
        *degrees++ = static_cast<Count>(counted[line - batch]);
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

  // One function for each array and numbering, which holds the family's loop with the sink
  // inlined into it.
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

// The arrays of the simple graph of a family whose lines list self-loops or repeated
// neighbours: its lines through SimpleLines (simple_graph.hpp), through virtual calls, filled
// into target. Instantiated once for all families (simple_arrays.cpp).
Outcome fill_simple_arrays(const VirtualFamily& family, const GraphFacts& family_facts,
                           const ArrayTarget& target);

// What a generator does with the family it made for the library's arrays: refused when it cannot
// be had or cannot build what its lines read, otherwise filled into the target; as its simple
// graph when asked, which is the family's own lines when they list no self-loop and no repeated
// neighbour.
template <class Family>
Outcome use_family(Family family, const ArrayUse& use) {
  if (const std::optional<std::string> why = refusal_of(family)) return refused(*why);
  if (const std::optional<std::string> why = prepare(family)) return refused(*why);
  if (!use.simple) return use.target->fill(FamilyArrays<Family>(std::move(family)));
  const GraphFacts facts = family.facts();
  if (!lists_loops_or_repeats(facts.counts)) {
    return use.target->fill(FamilyArrays<Family>(std::move(family), simple_facts(facts)));
  }
  const FamilyArrays<Family> arrays(std::move(family), facts);
  return fill_simple_arrays(arrays.lines(), facts, *use.target);
}

}  // namespace famgen
