// The square grid family: R rows of W vertices, each joined left, right, above and below;
// "folded" joins opposite corners, "partial" leaves out the horizontal edges of a middle band.
// Drawn on the integer lattice: the vertex in row i, column j at (j, i).
#pragma once

#include <algorithm>

#include "generators/arithmetic.hpp"
#include "graphfile/graph.hpp"

namespace famgen {

// R rows of W vertices.
inline std::optional<GraphCounts> grid_counts(std::int32_t rows, std::int32_t row_length,
                                              bool folded, bool partial) {
  // With both sizes below 2^31, R × W and 2 × R × W stay below 2^63.
  const std::int64_t r = rows;
  const std::int64_t w = row_length;
  const std::int64_t vertices = r * w;
  const std::int64_t band_edges = partial ? (2 * r / 3 - r / 3) * (2 * w / 3 - w / 3) : 0;
  std::int64_t edges = 2 * vertices - r - w - band_edges;
  std::int64_t arcs = saturating_product(2, edges);
  std::int64_t loop_arcs = 0;
  std::int64_t repeated_arcs = 0;
  if (folded) {
    edges += 2;
    // The folds as the corner tests list them: the 1 × 1 grid names itself once, a single row
    // or column lists one fold edge at both ends, any other grid two. In a row or column of
    // two the fold repeats the one grid edge at both ends.
    if (r == 1 && w == 1) {
      arcs += 1;
      loop_arcs = 1;
    } else {
      const std::int64_t fold_arcs = r == 1 || w == 1 ? 2 : 4;
      if (arcs <= INT64_MAX - fold_arcs) arcs += fold_arcs;
      if (r * w == 2) repeated_arcs = 2;
    }
  }
  return GraphCounts{vertices, edges, arcs, loop_arcs, repeated_arcs};
}

// The band: horizontal edges (i, j)-(i, j + 1) with R/3 < i <= 2R/3 and W/3 <= j < 2W/3.
// Seen from the right end of such an edge, the column range is W/3 < j <= 2W/3.
struct Band {
  std::int64_t first_row;  // R/3 + 1
  std::int64_t last_row;   // 2R/3
  std::int64_t low;        // W/3
  std::int64_t high;       // 2W/3
};

inline Band band_of(std::int64_t rows, std::int64_t row_length) {
  return {rows / 3 + 1, 2 * rows / 3, row_length / 3, 2 * row_length / 3};
}

struct Grid {
  std::int64_t rows;
  std::int64_t row_length;
  bool folded;
  bool partial;
  Band band = band_of(rows, row_length);

  GraphFacts facts() const {
    const GraphCounts counts = *grid_counts(static_cast<std::int32_t>(rows),
                                            static_cast<std::int32_t>(row_length), folded, partial);
    return graph_facts(
        counts,
        comment_line("%% %d x %d square grid (%d vertices)\n", {rows, row_length, counts.vertices}),
        CountsLineEnd::kSpaceThenNewline);
  }

  template <class Sink>
  void write_positions(Vertex first, Vertex last, Sink& sink) const {
    auto [i, j] = divide(first - 1, row_length);
    for (Vertex v = first; v <= last; ++v) {
      sink.write_point(j, i);
      if (++j == row_length) {
        j = 0;
        ++i;
      }
    }
  }

  template <class Sink>
  void write_lines(Vertex first, Vertex last, Sink& sink) const {
    auto [i, j] = divide(first - 1, row_length);
    for (Vertex v = first; v <= last; ++i, j = 0) {
      const bool in_band = partial && band.first_row <= i && i <= band.last_row;
      const std::int64_t row_end = std::min(row_length - 1, j + (last - v));
      const bool above = i > 0;
      const bool below = i < rows - 1;
      // The row's first vertex, its inside, its last: the inside, most of the vertices, in a
      // loop of its own with no test of where it is.
      const std::int64_t inside_end = in_band ? -1 : std::min(row_end, row_length - 2);
      if (j == 0) {
        write_line(sink, band, in_band, i, j, v);
        ++j;
        ++v;
      }
      if (above && below) {
        // Four neighbours, a count the compiler sees.
        for (; j <= inside_end; ++j, ++v) {
          const Vertex neighbours[4] = {v - 1, v + 1, v - row_length, v + row_length};
          sink.write_list_line(neighbours, 4);
        }
      } else {
        for (; j <= inside_end; ++j, ++v) {
          Vertex neighbours[3] = {v - 1, v + 1};
          int count = 2;
          if (above) neighbours[count++] = v - row_length;
          if (below) neighbours[count++] = v + row_length;
          sink.write_list_line(neighbours, count);
        }
      }
      for (; j <= row_end; ++j, ++v)
        write_line(sink, band, in_band, i, j, v);
    }
  }

  // The line of vertex v = (i, j), whose row lies in the band or not. Corner folds are tried in
  // the order top-left, bottom-left, top-right, bottom-right; the first that holds adds one
  // neighbour.
  template <class Sink>
  void write_line(Sink& sink, const Band& band, bool in_band, std::int64_t i, std::int64_t j,
                  Vertex v) const {
    const std::int64_t w = row_length;
    Vertex neighbours[5];
    int count = 0;
    if (j > 0 && !(in_band && band.low < j && j <= band.high)) neighbours[count++] = v - 1;
    if (j < w - 1 && !(in_band && band.low <= j && j < band.high)) neighbours[count++] = v + 1;
    if (i > 0) neighbours[count++] = v - w;
    if (i < rows - 1) neighbours[count++] = v + w;
    if (folded && (j == 0 || j == w - 1)) {
      const std::int64_t last_row = rows - 1;
      if (i == 0 && j == 0) {
        neighbours[count++] = rows * w;
      } else if (i == last_row && j == 0) {
        neighbours[count++] = w;
      } else if (i == 0 && j == w - 1) {
        neighbours[count++] = last_row * w + 1;
      } else if (i == last_row && j == w - 1) {
        neighbours[count++] = 1;
      }
    }
    sink.write_list_line(neighbours, count);
  }
};

}  // namespace famgen
