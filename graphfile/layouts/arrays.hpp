// A graph laid out in memory rather than in bytes: the compressed sparse rows of the
// partitioners (xadj, adjncy) and the positions as an array of doubles. The sinks take the same
// calls as the byte layouts' (sinks.hpp) and store numbers where those store text; the degree
// pass that comes first is DegreeCounter's. How the arrays are cut into jobs, allocated and
// filled on threads is output/arrays.hpp's.
#pragma once

#include "graphfile/layouts/sinks.hpp"

namespace famgen {

// Stores each entry, numbered from 0, at the next place of entries. The caller has counted the
// entries first, so there is always room and nothing is checked.
template <class Index>
class EntryArraySink {
 public:
  explicit EntryArraySink(Index* entries) : next_(entries) {}
  void write_neighbour(Vertex neighbour) { *next_++ = static_cast<Index>(neighbour - 1); }
  void end_vertex_line() {}
  void write_neighbour_run(Vertex first, Vertex count) {
    const auto start = static_cast<Index>(first - 1);
    for (Index k = 0; k < static_cast<Index>(count); ++k)
      next_[k] = start + k;
    next_ += count;
  }
  void write_list_line(const Vertex* neighbours, int count) {
    for (int k = 0; k < count; ++k)
      next_[k] = static_cast<Index>(neighbours[k] - 1);
    next_ += count;
  }
  template <class... Numbers>
  void write_fixed_line(Numbers... numbers) {
    ((*next_++ = static_cast<Index>(numbers - 1)), ...);
  }

 private:
  Index* next_;
};

// Stores each vertex's coordinates in units at the next places of coordinates. A coordinate of
// units of 10^-6 is divided by 10^6, which gives the double nearest to its six-decimal text:
// the array holds what a reader of the coordinates file would read.
class PositionArraySink {
 public:
  PositionArraySink(double* coordinates, int decimals) : next_(coordinates) {
    for (int k = 0; k < decimals; ++k)
      scale_ *= 10;
  }
  void write_point(std::int64_t x, std::int64_t y) {
    next_[0] = units(x);
    next_[1] = units(y);
    next_ += 2;
  }
  void write_point(std::int64_t x, std::int64_t y, std::int64_t z) {
    next_[0] = units(x);
    next_[1] = units(y);
    next_[2] = units(z);
    next_ += 3;
  }
  void write_coordinates(const std::int64_t* coordinates, int count) {
    for (int k = 0; k < count; ++k)
      next_[k] = units(coordinates[k]);
    next_ += count;
  }

 private:
  double units(std::int64_t value) const { return static_cast<double>(value) / scale_; }

  double* next_;
  double scale_ = 1;
};

}  // namespace famgen
