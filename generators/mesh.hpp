// The structured mesh: the points of an N1 × N2 × ... × Nd lattice (d from 1 to 8), the last
// axis varying fastest, so that vertex v stands for the point c with
// v - 1 = c1·N2·...·Nd + c2·N3·...·Nd + ... + cd, and `mesh R,W` is the R × W grid numbered as
// the grid is. The star stencil joins a point to the points one step away along one axis (the
// 5-point and 7-point stencils), the box stencil to every point within one step in every axis
// (the 9-point and 27-point stencils). A periodic axis wraps around.
//
// The mesh is a simple graph at every size: a wrap onto the point itself (an axis of 1) or onto
// a point it already reaches (an axis of 2) adds nothing. Neighbours are listed in ascending
// vertex number. Drawn on the integer lattice, the last axis as x, the one before it as y, then
// z and so on, so that a 2D mesh is drawn as the grid is.
#pragma once

#include <algorithm>
#include <array>
#include <vector>

#include "generators/arithmetic.hpp"
#include "generators/geometry.hpp"
#include "generators/mesh_options.hpp"
#include "graphfile/graph.hpp"

namespace famgen {

// The sizes, stencil and periodic axes of one mesh, checked.
struct MeshShape {
  int dimension = 0;
  std::array<std::int64_t, kMostMeshAxes> sizes{};
  std::array<bool, kMostMeshAxes> periodic{};
  Stencil stencil = Stencil::kStar;
};

// The edges along one axis line of n points: a path, or a cycle when periodic, where a cycle of
// two points has one edge and a cycle of one has none.
inline std::int64_t axis_edges(std::int64_t n, bool periodic) {
  return periodic && n >= 3 ? n : n - 1;
}

// Nothing when the vertex count or the edge count passes the 64-bit range.
inline std::optional<GraphCounts> mesh_counts(const MeshShape& shape) {
  std::int64_t vertices = 1;
  for (int a = 0; a < shape.dimension; ++a) {
    if (__builtin_mul_overflow(vertices, shape.sizes[a], &vertices)) return std::nullopt;
  }
  std::int64_t edges = 0;
  if (shape.stencil == Stencil::kStar) {
    // Along axis a, V / Na lines of Na points each.
    for (int a = 0; a < shape.dimension; ++a) {
      std::int64_t along = 0;
      if (__builtin_mul_overflow(vertices / shape.sizes[a],
                                 axis_edges(shape.sizes[a], shape.periodic[a]), &along) ||
          __builtin_add_overflow(edges, along, &edges)) {
        return std::nullopt;
      }
    }
  } else {
    // The box stencil is the strong product of the axes' paths and cycles: a point and each of
    // its neighbours pick, along every axis, the same point or one of its neighbours there, so
    // the ordered pairs of distinct neighbours number Π(Na + 2Ea) - V. That product is at most
    // 3^8 V, well inside 128 bits.
    Int128 closed_pairs = 1;
    for (int a = 0; a < shape.dimension; ++a)
      closed_pairs *= shape.sizes[a] + 2 * axis_edges(shape.sizes[a], shape.periodic[a]);
    const Int128 box_edges = (closed_pairs - vertices) / 2;
    if (box_edges > INT64_MAX) return std::nullopt;
    edges = static_cast<std::int64_t>(box_edges);
  }
  return GraphCounts{vertices, edges, saturating_product(2, edges), 0};
}

// The number of points a stencil of this dimension spans, its own point included.
inline std::int64_t stencil_points(Stencil stencil, int dimension) {
  std::int64_t points = stencil == Stencil::kStar ? 2 * dimension + 1 : 1;
  if (stencil == Stencil::kBox) {
    for (int a = 0; a < dimension; ++a)
      points *= 3;
  }
  return points;
}

class Mesh {
 public:
  Mesh(const std::vector<std::int32_t>& sizes, Stencil stencil, const PeriodicAxes& periodic) {
    shape_.stencil = stencil;
    if (sizes.empty() || sizes.size() > kMostMeshAxes) {
      why_not_ = "a mesh takes 1 to " + std::to_string(kMostMeshAxes) + " sizes, not " +
                 std::to_string(sizes.size());
      return;
    }
    shape_.dimension = static_cast<int>(sizes.size());
    for (int a = 0; a < shape_.dimension; ++a) {
      shape_.sizes[a] = sizes[static_cast<std::size_t>(a)];
      if (shape_.sizes[a] < 1) why_not_ = "every size of a mesh must be at least 1";
    }
    if (periodic.kind == PeriodicAxes::Kind::kList &&
        periodic.list.size() != static_cast<std::size_t>(shape_.dimension)) {
      why_not_ = "-periodic gives " + std::to_string(periodic.list.size()) +
                 (periodic.list.size() == 1 ? " flag" : " flags") + " for a mesh of " +
                 std::to_string(shape_.dimension) + (shape_.dimension == 1 ? " axis" : " axes");
    }
    for (int a = 0; a < shape_.dimension && why_not_.empty(); ++a) {
      shape_.periodic[a] = periodic.kind == PeriodicAxes::Kind::kAll ||
                           (periodic.kind == PeriodicAxes::Kind::kList &&
                            periodic.list[static_cast<std::size_t>(a)]);
    }
    if (!why_not_.empty()) return;
    counts_ = mesh_counts(shape_);
    if (!counts_) {
      why_not_ = "a mesh of " + sizes_text(" x ") + " has figures that do not fit in 64 bits";
      return;
    }
    std::int64_t stride = 1;
    for (int a = shape_.dimension - 1; a >= 0; --a) {
      strides_[a] = stride;
      stride *= shape_.sizes[a];
    }
    inner_offsets_ = inner_offsets();
  }

  std::optional<std::string> refusal() const {
    if (why_not_.empty()) return std::nullopt;
    return why_not_;
  }

  GraphFacts facts() const {
    const int d = shape_.dimension;
    std::string periodic;
    for (int a = 0; a < d; ++a)
      periodic += std::string(a > 0 ? "," : "") + (shape_.periodic[a] ? "1" : "0");
    const std::string comment =
        "% " + sizes_text(" x ") + " mesh, " + std::to_string(stencil_points(shape_.stencil, d)) +
        "-point " + (shape_.stencil == Stencil::kStar ? "star" : "box") + " stencil, periodic " +
        periodic + " (" + std::to_string(counts_->vertices) + " vertices)\n";
    GraphFacts facts = graph_facts(*counts_, comment, CountsLineEnd::kNewline);
    facts.dimension = d;
    return facts;
  }

  // The point's coordinates from the last axis to the first.
  template <class Sink>
  void write_positions(Vertex first, Vertex last, Sink& sink) const {
    const int d = shape_.dimension;
    Point c = point_of(first);
    for (Vertex v = first; v <= last; ++v) {
      std::int64_t reversed[kMostMeshAxes];
      for (int a = 0; a < d; ++a)
        reversed[a] = c[d - 1 - a];
      sink.write_coordinates(reversed, d);
      step(c);
    }
  }

  // Row by row, a row being the points that differ in the last axis alone. A point inside the
  // mesh along every axis lists its neighbours at the same offsets as every other such point;
  // the points on a face, and every point of a mesh too small to have an inside, are worked
  // out one by one.
  template <class Sink>
  void write_lines(Vertex first, Vertex last, Sink& sink) const {
    const int d = shape_.dimension;
    const std::int64_t row_length = shape_.sizes[d - 1];
    Point c = point_of(first);
    Vertex v = first;
    // Room for a line of the box stencil past three axes, which is too long to hand over whole.
    std::vector<Vertex> long_line;
    if (stencil_points(shape_.stencil, d) - 1 > kMostListLineEntries)
      long_line.resize(static_cast<std::size_t>(stencil_points(shape_.stencil, d) - 1));
    while (v <= last) {
      bool row_inside = !inner_offsets_.empty();
      for (int a = 0; a + 1 < d; ++a)
        row_inside = row_inside && c[a] >= 1 && c[a] <= shape_.sizes[a] - 2;
      const std::int64_t row_end = std::min(row_length - 1, c[d - 1] + (last - v));
      std::int64_t& j = c[d - 1];
      while (j <= row_end) {
        if (row_inside && j >= 1 && j <= row_length - 2) {
          const std::int64_t inside_end = std::min(row_end, row_length - 2);
          write_inner_lines(v, v + (inside_end - j), sink);
          v += inside_end - j + 1;
          j = inside_end + 1;
        } else {
          write_line(c, v, long_line.empty() ? nullptr : long_line.data(), sink);
          ++j;
          ++v;
        }
      }
      step_row(c);
    }
  }

 private:
  using Point = std::array<std::int64_t, kMostMeshAxes>;

  std::string sizes_text(const char* between) const {
    std::string text;
    for (int a = 0; a < shape_.dimension; ++a)
      text += (a > 0 ? between : "") + std::to_string(shape_.sizes[a]);
    return text;
  }

  Point point_of(Vertex v) const {
    Point c{};
    std::int64_t index = v - 1;
    for (int a = shape_.dimension - 1; a >= 0; --a) {
      const auto [quotient, remainder] = divide(index, shape_.sizes[a]);
      c[a] = remainder;
      index = quotient;
    }
    return c;
  }

  // The next point in vertex order.
  void step(Point& c) const {
    for (int a = shape_.dimension - 1; a >= 0; --a) {
      if (++c[a] < shape_.sizes[a]) return;
      c[a] = 0;
    }
  }
  // The first point of the next row (the last axis has run past its end).
  void step_row(Point& c) const {
    const int d = shape_.dimension;
    c[d - 1] = 0;
    for (int a = d - 2; a >= 0; --a) {
      if (++c[a] < shape_.sizes[a]) return;
      c[a] = 0;
    }
  }

  // The coordinates axis a reaches from x: x itself and one step each way, wrapped when the
  // axis is periodic, without repeats, ascending. Returns how many, and where x is among them.
  int axis_reach(int a, std::int64_t x, std::int64_t reach[3], int& own) const {
    const std::int64_t n = shape_.sizes[a];
    if (n >= 3) {
      // The three points are distinct; a wrap from the last point to 0 comes first, one from 0
      // to the last point comes last.
      const bool wraps = shape_.periodic[a];
      int count = 0;
      if (x == n - 1 && wraps) reach[count++] = 0;
      if (x > 0) reach[count++] = x - 1;
      own = count;
      reach[count++] = x;
      if (x < n - 1) reach[count++] = x + 1;
      if (x == 0 && wraps) reach[count++] = n - 1;
      return count;
    }
    const std::int64_t below = x > 0 ? x - 1 : shape_.periodic[a] ? n - 1 : -1;
    const std::int64_t above = x < n - 1 ? x + 1 : shape_.periodic[a] ? 0 : -1;
    int count = 0;
    for (const std::int64_t y : {below, x, above}) {
      if (y < 0) continue;
      int at = count;
      while (at > 0 && reach[at - 1] > y)
        --at;
      if (at > 0 && reach[at - 1] == y) continue;
      std::copy_backward(reach + at, reach + count, reach + count + 1);
      reach[at] = y;
      ++count;
    }
    own = static_cast<int>(std::find(reach, reach + count, x) - reach);
    return count;
  }

  // The line of the point c, vertex v, gathered in long_line when the stencil's lines may be
  // too long to hand over whole.
  template <class Sink>
  void write_line(const Point& c, Vertex v, Vertex* long_line, Sink& sink) const {
    Vertex short_line[kMostListLineEntries];
    Vertex* line = long_line != nullptr ? long_line : short_line;
    const int count = neighbours_of(c, v, line);
    if (count <= kMostListLineEntries) {
      sink.write_list_line(line, count);
      return;
    }
    for (int k = 0; k < count; ++k)
      sink.write_neighbour(line[k]);
    sink.end_vertex_line();
  }

  // The neighbours of the point c, vertex v, in ascending order, into line; returns how many.
  // Along the star stencil those below v come first axis first (a step back along an earlier
  // axis lowers the number more), those above it last axis first. Along the box stencil the
  // choices of every axis, taken in vertex order with the first axis slowest, are ascending
  // already. Out of line: the points on a face are few, and one copy serves every sink.
  [[gnu::noinline]] int neighbours_of(const Point& c, Vertex v, Vertex* line) const {
    const int d = shape_.dimension;
    std::int64_t reach[kMostMeshAxes][3];
    int counts[kMostMeshAxes];
    int own[kMostMeshAxes];
    for (int a = 0; a < d; ++a)
      counts[a] = axis_reach(a, c[a], reach[a], own[a]);
    int count = 0;
    if (shape_.stencil == Stencil::kStar) {
      for (int a = 0; a < d; ++a) {
        for (int k = 0; k < own[a]; ++k)
          line[count++] = v + (reach[a][k] - c[a]) * strides_[a];
      }
      for (int a = d - 1; a >= 0; --a) {
        for (int k = own[a] + 1; k < counts[a]; ++k)
          line[count++] = v + (reach[a][k] - c[a]) * strides_[a];
      }
    } else {
      int pick[kMostMeshAxes] = {};
      for (;;) {
        Vertex w = v;
        bool itself = true;
        for (int a = 0; a < d; ++a) {
          w += (reach[a][pick[a]] - c[a]) * strides_[a];
          itself = itself && pick[a] == own[a];
        }
        if (!itself) line[count++] = w;
        int a = d - 1;
        while (a >= 0 && ++pick[a] == counts[a])
          pick[a--] = 0;
        if (a < 0) break;
      }
    }
    return count;
  }

  // The offsets of an inside point's neighbours, ascending; none when the mesh has no inside
  // point or its lines are too long to hand over whole.
  std::vector<Vertex> inner_offsets() const {
    const int d = shape_.dimension;
    for (int a = 0; a < d; ++a) {
      if (shape_.sizes[a] < 3) return {};
    }
    if (stencil_points(shape_.stencil, d) - 1 > kMostListLineEntries) return {};
    std::vector<Vertex> offsets;
    if (shape_.stencil == Stencil::kStar) {
      for (int a = 0; a < d; ++a) {
        offsets.push_back(-strides_[a]);
        offsets.push_back(strides_[a]);
      }
    } else {
      for (std::int64_t choice = 0; choice < stencil_points(Stencil::kBox, d); ++choice) {
        Vertex offset = 0;
        std::int64_t digits = choice;
        for (int a = d - 1; a >= 0; --a, digits /= 3)
          offset += (digits % 3 - 1) * strides_[a];
        if (offset != 0) offsets.push_back(offset);
      }
    }
    std::sort(offsets.begin(), offsets.end());
    return offsets;
  }

  // The lines of the inside points v..last, which lie on one row.
  template <class Sink>
  void write_inner_lines(Vertex v, Vertex last, Sink& sink) const {
    const int count = static_cast<int>(inner_offsets_.size());
    Vertex offsets[kMostListLineEntries];
    std::copy(inner_offsets_.begin(), inner_offsets_.end(), offsets);
    Vertex line[kMostListLineEntries];
    for (; v <= last; ++v) {
      for (int k = 0; k < count; ++k)
        line[k] = v + offsets[k];
      sink.write_list_line(line, count);
    }
  }

  MeshShape shape_;
  std::string why_not_;
  std::optional<GraphCounts> counts_;
  std::array<std::int64_t, kMostMeshAxes> strides_{};  // vertex numbers per step along an axis
  std::vector<Vertex> inner_offsets_;
};

}  // namespace famgen
