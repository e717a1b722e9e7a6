// A family's lines and positions behind virtual calls, for what is not worth an instantiation of
// every layout for every family: the Graphviz drawing, the positions, and a simple graph's
// filtered lines (simple_graph.hpp). A family's unit instantiates its lines once for
// VirtualLineSink and its positions once for PositionList; the layouts are instantiated over
// VirtualFamily once, for all families (layouts/family_source.hpp). A call per line, or per batch
// of positions, costs little next to the bytes it writes.
#pragma once

#include <algorithm>
#include <cstdint>

#include "graphfile/graph.hpp"

namespace famgen {

// The calls of a sink of lines (layouts/sinks.hpp), each a virtual call.
class VirtualLineSink {
 public:
  virtual void write_neighbour(Vertex neighbour) = 0;
  virtual void write_neighbour_run(Vertex first, Vertex count) = 0;
  virtual void end_vertex_line() = 0;
  virtual void write_list_line(const Vertex* neighbours, int count) = 0;
  // A fixed line of count numbers, 1 to 4.
  virtual void write_fixed_numbers(const Vertex* numbers, int count) = 0;

  template <class... Numbers>
  void write_fixed_line(Numbers... numbers) {
    static_assert(sizeof...(Numbers) >= 1 && sizeof...(Numbers) <= 4);
    const Vertex line[] = {numbers...};
    write_fixed_numbers(line, sizeof...(Numbers));
  }

 protected:
  ~VirtualLineSink() = default;
};

template <class Sink>
class VirtualLineSinkOf final : public VirtualLineSink {
 public:
  explicit VirtualLineSinkOf(Sink& sink) : sink_(sink) {}
  void write_neighbour(Vertex neighbour) override { sink_.write_neighbour(neighbour); }
  void write_neighbour_run(Vertex first, Vertex count) override {
    sink_.write_neighbour_run(first, count);
  }
  void end_vertex_line() override { sink_.end_vertex_line(); }
  void write_list_line(const Vertex* neighbours, int count) override {
    sink_.write_list_line(neighbours, count);
  }
  void write_fixed_numbers(const Vertex* numbers, int count) override {
    switch (count) {
      case 1:
        return sink_.write_fixed_line(numbers[0]);
      case 2:
        return sink_.write_fixed_line(numbers[0], numbers[1]);
      case 3:
        return sink_.write_fixed_line(numbers[0], numbers[1], numbers[2]);
      default:
        return sink_.write_fixed_line(numbers[0], numbers[1], numbers[2], numbers[3]);
    }
  }

 private:
  Sink& sink_;
};

// Stores the positions a family hands over one after the other at coordinates, each point's
// coordinates as the family gives them (GraphFacts::dimension of them).
class PositionList {
 public:
  explicit PositionList(std::int64_t* coordinates) : next_(coordinates) {}
  void write_point(std::int64_t x, std::int64_t y) {
    next_[0] = x;
    next_[1] = y;
    next_ += 2;
  }
  void write_point(std::int64_t x, std::int64_t y, std::int64_t z) {
    next_[0] = x;
    next_[1] = y;
    next_[2] = z;
    next_ += 3;
  }
  void write_coordinates(const std::int64_t* coordinates, int count) {
    for (int k = 0; k < count; ++k)
      next_[k] = coordinates[k];
    next_ += count;
  }

 private:
  std::int64_t* next_;
};

// A family's lines and positions (graph.hpp), through virtual calls: its lines a call each, its
// positions a call for a batch of them.
class VirtualFamily {
 public:
  virtual void write_lines(Vertex first, Vertex last, VirtualLineSink& sink) const = 0;
  // The positions of first..last one after the other at coordinates (PositionList), which has
  // room for them.
  virtual void list_positions(Vertex first, Vertex last, std::int64_t* coordinates) const = 0;

 protected:
  ~VirtualFamily() = default;
};

// A VirtualFamily as a family of the protocol (graph.hpp), for the templates that take one: its
// lines into any sink, through a VirtualLineSinkOf that sink, and its positions a batch at a
// time, handed to the sink point by point (dimension coordinates each).
class FamilyThroughCalls {
 public:
  FamilyThroughCalls(const VirtualFamily& family, int dimension)
      : family_(family), dimension_(dimension) {}
  template <class Sink>
  void write_lines(Vertex first, Vertex last, Sink& sink) const {
    VirtualLineSinkOf<Sink> calls(sink);
    family_.write_lines(first, last, calls);
  }
  template <class Sink>
  void write_positions(Vertex first, Vertex last, Sink& sink) const {
    constexpr Vertex kBatch = 512;
    std::int64_t coordinates[kBatch * kMostDimensions];
    for (Vertex batch = first; batch <= last; batch += kBatch) {
      const Vertex batch_last = std::min(last, batch + kBatch - 1);
      family_.list_positions(batch, batch_last, coordinates);
      const std::int64_t* point = coordinates;
      const Vertex count = batch_last - batch + 1;
      if (dimension_ == 2) {
        for (Vertex k = 0; k < count; ++k, point += 2)
          sink.write_point(point[0], point[1]);
      } else if (dimension_ == 3) {
        for (Vertex k = 0; k < count; ++k, point += 3)
          sink.write_point(point[0], point[1], point[2]);
      } else {
        for (Vertex k = 0; k < count; ++k, point += dimension_)
          sink.write_coordinates(point, dimension_);
      }
    }
  }

 private:
  static constexpr int kMostDimensions = 8;  // a mesh's axes at most
  const VirtualFamily& family_;
  int dimension_;
};

}  // namespace famgen
