// Turns a family's line rule into a GraphSource. A family is a small value type with
//   GraphFacts facts() const;
//   template <class Sink> void write_lines(Vertex first, Vertex last, Sink& sink) const;
// where write_lines drives the sink over the lines of vertices first..last in order. This is
// the one place where the families and the layouts meet, as templates, so that the sink's calls
// are inlined into the family's loop.
#pragma once

#include <utility>

#include "graphfile/layouts.hpp"
#include "graphfile/relabelling.hpp"

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
  void write_fixed_line(Vertex a, Vertex b) {
    const Vertex numbers[] = {a, b};
    Vertex relabelled[2];
    relabelling_.forward_all(numbers, relabelled, 2);
    sink_.write_fixed_line(relabelled[0], relabelled[1]);
  }
  void write_fixed_line(Vertex a, Vertex b, Vertex c) {
    const Vertex numbers[] = {a, b, c};
    Vertex relabelled[3];
    relabelling_.forward_all(numbers, relabelled, 3);
    sink_.write_fixed_line(relabelled[0], relabelled[1], relabelled[2]);
  }
  void write_fixed_line(Vertex a, Vertex b, Vertex c, Vertex d) {
    const Vertex numbers[] = {a, b, c, d};
    Vertex relabelled[4];
    relabelling_.forward_all(numbers, relabelled, 4);
    sink_.write_fixed_line(relabelled[0], relabelled[1], relabelled[2], relabelled[3]);
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
  RelabelledLines sub(Vertex from, Vertex to) const { return {family, relabelling, from, to}; }
};

template <class Family>
class FamilySource final : public GraphSource {
 public:
  explicit FamilySource(Family family) : family_(std::move(family)), facts_(family_.facts()) {}
  const GraphFacts& facts() const override { return facts_; }
  std::uint64_t format(const FormatJob& job, ChunkOutput& out) const override {
    if (job.relabelling != nullptr) {
      const RelabelledLines<Family> lines{family_, *job.relabelling, job.first, job.last};
      return format_layout(job, lines, facts_, out);
    }
    const NaturalLines<Family> lines{family_, job.first, job.last};
    return format_layout(job, lines, facts_, out);
  }

 private:
  Family family_;
  GraphFacts facts_;
};

// What a generator ends with: its family handed to the destination.
template <class Family>
Outcome write_family(Family family, const GraphDestination& destination) {
  const FamilySource<Family> source(std::move(family));
  return destination.write(source);
}
