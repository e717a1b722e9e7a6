// A family's graph with its self-loops and repeated neighbours taken out (-simple): each edge
// once, no vertex on its own line, the true edge count and heading lines for every family, as
// METIS's tools and most partitioners require. Which entries a family lists on its own line or
// twice is that family's knowledge, stated by its counts (loop_arcs, repeated_arcs); a family
// that lists neither at its sizes needs nothing here: its lines are written as they are, with
// the facts of its simple graph. The comment line and the title say what the file holds.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "graphfile/graph.hpp"
#include "graphfile/virtual_family.hpp"

namespace famgen {

inline constexpr std::string_view kSimpleNote = ", simple graph";

// The facts of a family's simple graph, from the family's own.
inline GraphFacts simple_facts(GraphFacts facts) {
  GraphCounts& counts = facts.counts;
  counts.vertices = facts.line_count();
  // Entries saturated at the 64-bit limit belong to files no disk could hold, which the space
  // guard refuses: their figures stay as they are.
  if (counts.arcs != INT64_MAX) {
    counts.arcs -= counts.loop_arcs + counts.repeated_arcs;
    counts.edges = counts.arcs / 2;
  }
  counts.loop_arcs = 0;
  counts.repeated_arcs = 0;
  if (!facts.has_heading) {
    facts.has_heading = true;
    facts.comment_line = "% " + facts.title + "\n";
  }
  const bool line_end = !facts.comment_line.empty() && facts.comment_line.back() == '\n';
  facts.comment_line.insert(facts.comment_line.size() - (line_end ? 1 : 0), kSimpleNote);
  facts.title += kSimpleNote;
  return facts;
}

// Passes lines on to sink without the entries that name the line's own vertex or repeat an
// earlier entry of the line, each line in the form it came in (a fixed line with the entries
// it keeps, an empty line when it keeps none). The lines of the families that list such entries
// are short: each entry is looked for among those kept before it.
class SimpleLineFilter final : public VirtualLineSink {
 public:
  SimpleLineFilter(VirtualLineSink& sink, Vertex first_line) : sink_(sink), line_(first_line) {}

  void write_neighbour(Vertex neighbour) override { keep(neighbour); }
  void write_neighbour_run(Vertex first, Vertex count) override {
    for (Vertex v = first; v < first + count; ++v)
      keep(v);
  }
  void end_vertex_line() override { pass_list_line(); }
  void write_list_line(const Vertex* neighbours, int count) override {
    for (int k = 0; k < count; ++k)
      keep(neighbours[k]);
    pass_list_line();
  }
  void write_fixed_numbers(const Vertex* numbers, int count) override {
    static_assert(kInline >= 4);
    for (int k = 0; k < count; ++k)
      keep(numbers[k]);
    if (count_ == 0) {
      sink_.end_vertex_line();
    } else {
      sink_.write_fixed_numbers(inline_, count_);
    }
    next_line();
  }

 private:
  static constexpr int kInline = 8;  // entries kept without the heap

  void keep(Vertex neighbour) {
    if (neighbour == line_) return;
    if (count_ >= kInline) [[unlikely]] {
      keep_spilled(neighbour);
      return;
    }
    for (int k = 0; k < count_; ++k) {
      if (inline_[k] == neighbour) return;
    }
    inline_[count_++] = neighbour;
  }

  void keep_spilled(Vertex neighbour) {
    if (std::find(inline_, inline_ + kInline, neighbour) != inline_ + kInline ||
        std::find(spilled_.begin(), spilled_.end(), neighbour) != spilled_.end()) {
      return;
    }
    spilled_.push_back(neighbour);
    ++count_;
  }

  void pass_list_line() {
    if (count_ <= kInline) {
      sink_.write_list_line(inline_, count_);
    } else {
      for (const Vertex neighbour : inline_)
        sink_.write_neighbour(neighbour);
      for (const Vertex neighbour : spilled_)
        sink_.write_neighbour(neighbour);
      sink_.end_vertex_line();
    }
    next_line();
  }

  void next_line() {
    count_ = 0;
    spilled_.clear();
    ++line_;
  }

  VirtualLineSink& sink_;
  Vertex line_;  // the vertex whose line is being passed on
  Vertex inline_[kInline];
  std::vector<Vertex> spilled_;  // the kept entries past kInline
  int count_ = 0;
};

// The lines of a family (its VirtualFamily) whose lines list self-loops or repeated neighbours, as
// its simple graph's: through SimpleLineFilter, positions as they are. Made from a family already
// asked for its refusal and prepared.
class SimpleLines final : public VirtualFamily {
 public:
  explicit SimpleLines(const VirtualFamily& family) : family_(family) {}
  void write_lines(Vertex first, Vertex last, VirtualLineSink& sink) const override {
    SimpleLineFilter filter(sink, first);
    family_.write_lines(first, last, filter);
  }
  void list_positions(Vertex first, Vertex last, std::int64_t* coordinates) const override {
    family_.list_positions(first, last, coordinates);
  }

 private:
  const VirtualFamily& family_;
};

// Whether a family's lines must go through SimpleLines for its simple graph; otherwise its lines
// are its simple graph's already, and only its facts change.
inline bool lists_loops_or_repeats(const GraphCounts& counts) {
  return counts.loop_arcs != 0 || counts.repeated_arcs != 0;
}

}  // namespace famgen
