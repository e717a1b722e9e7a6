// Random geometric graphs: N points uniform and independent in the unit square (rgg2d) or the
// unit cube (rgg3d), or on the unit torus of that dimension (periodic), two points joined when
// they are closer than the radius R.
//
// Exact: a point is a fixed-point integer on each axis, a count of 10^-9 (kRggUnit units to 1),
// uniform over the grid points of [0, 1); the radius is a count of 10^-18, and two points are
// joined when their squared distance, an integer of 10^-18 units, is below R², compared in
// integers. The same edges on every machine, and the coordinates file prints the points exactly.
//
// Streamed from the vertex number. The unit cube is cut into G^d cells of side at least R (and
// at most about one cell a point), numbered with the first axis slowest: cell (i, j, k) is
// number (i·G + j)·G + k. How many points each cell holds comes from a binary tree over the cell
// numbers: the N points are split between the two halves of the range [0, G^d) by a binomial
// draw whose probability is the first half's share of the volume, and each half again, down to
// single cells; each split is a counter-based draw keyed by the seed and its range. So the
// points before any cell are known from the log2(G^d) splits above it, without the others.
// Vertices are numbered cell by cell in cell order, and within a cell in the order its points
// are drawn (point j of cell c is a counter-based draw keyed by the seed, c and j). A point's
// neighbours lie in the 3^d cells around its own, which are taken in ascending cell number and
// so list the neighbours in ascending vertex number. Memory: the rows of cells that the lines
// being written read, and those the next slab's lines will read again (RggRows).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "generators/rgg_near.hpp"
#include "generators/rgg_shape.hpp"
#include "graphfile/graph.hpp"
#include "graphfile/weights.hpp"

namespace famgen {

// The streams of the points' random numbers, apart from the weights' (weights.hpp).
inline constexpr std::uint64_t kCellSplitStream = 0x7267672d73706c74;  // "rgg-splt"
inline constexpr std::uint64_t kCellPointStream = 0x7267672d706f696e;  // "rgg-poin"

// Entries (twice the edges) past which a graph is refused before its edges are counted: about
// 8 TB of text, and hours of counting.
inline constexpr double kMostRggEntries = 0x1p40;

// Some cells and their points: cells ascending, the points of cells[k] numbered from
// first_vertex[k], their coordinates at coordinates[d·begin[k]] .. coordinates[d·begin[k + 1]].
struct RggPoints {
  std::vector<std::int64_t> cells;
  std::vector<Vertex> first_vertex;
  std::vector<std::size_t> begin;
  std::vector<std::uint32_t> coordinates;  // below 10^9 < 2^32
  void clear() {
    cells.clear();
    first_vertex.clear();
    begin.assign(1, 0);
    coordinates.clear();
  }
};

// The cells a block of lines or points reads, and their points. Kept from block to block, so
// that its memory is reused and the cells it holds that the next block reads again (the rows
// that two blocks of lines share) are not drawn twice.
struct RggBlock : RggPoints {
  std::vector<std::int64_t> wanted;  // the cells asked for, before they are loaded
  std::vector<std::pair<std::int64_t, std::int64_t>> runs;  // stretches of wanted cells
  std::vector<std::int64_t> missing;                        // the wanted cells not held
  RggPoints drawn;                                          // their points
  RggPoints next;  // the wanted cells' points, being gathered
};

// The points of some cells, kept for the positions asked for one vertex at a time (the
// weights' edge lengths), which mostly fall near the one asked before.
struct RggPositionCache {
  RggShape shape;  // of the graph whose cells are held
  bool held = false;
  std::int64_t last_miss = -1;  // the cell of the last vertex that was not held
  RggBlock block;
};

// The lines of a block of consecutive vertices: the entries of line k at
// entries[offsets[k]] .. entries[offsets[k + 1]], ascending (what lies past offsets.back() is
// room, kept from block to block).
struct RggLines {
  std::vector<Vertex> entries;
  std::vector<std::size_t> offsets;
  RggBlock block;
};

class RggCells;

// A row of cells (the cells that differ in the last axis alone, G of them) and their points:
// cell c's points are begin[c] .. begin[c + 1] - 1, numbered from first_vertex[c]; axis a of
// point i at coordinates[a·stride + i], with kNearSpill points of room after the last.
struct RggRow {
  std::vector<Vertex> first_vertex;
  std::vector<std::size_t> begin;
  std::size_t stride = 0;
  std::vector<std::int32_t> coordinates;
};

// Whole rows of cells (the cells that differ in the last axis alone) and their points, shared
// by the threads that write one graph's lines: the rows around a stretch of lines are mostly
// those around the stretches before it, drawn once. Past most_rows, the row used longest ago
// is let go.
class RggRows {
 public:
  explicit RggRows(std::size_t most_rows) : most_rows_(most_rows) {}
  std::shared_ptr<const RggRow> row(std::int64_t index, const RggCells& cells);

 private:
  struct Held {
    std::shared_ptr<const RggRow> points;
    std::uint64_t used;
  };
  std::mutex mutex_;
  std::map<std::int64_t, Held> held_;
  std::uint64_t clock_ = 0;
  std::size_t most_rows_;
};

// The cells, their counts and their points: everything the lines and positions read.
class RggCells {
 public:
  explicit RggCells(const RggShape& shape);

  const RggShape& shape() const { return shape_; }
  std::int64_t cells_per_axis() const { return grid_; }

  // The lines of the vertices from first up to the end of a block of cells or last, whichever
  // comes first, into lines; returns the last vertex whose line it holds (first at least).
  Vertex fill_lines(Vertex first, Vertex last, RggLines& lines, RggRows& rows) const;

  // The cells of row row (cell numbers row·G .. row·G + G - 1) and their points, into into.
  void load_row(std::int64_t row, RggRow& into) const;
  // How many rows an RggRows of this graph keeps.
  std::size_t rows_kept() const;

  // The points of the vertices from first up to the end of a block of cells or last, whichever
  // comes first: d coordinates each, one vertex after the other; returns the last vertex.
  Vertex fill_points(Vertex first, Vertex last, RggBlock& block,
                     std::vector<std::int64_t>& coordinates) const;

  // The coordinates of vertex v, from the cache when it holds them.
  void position_of(Vertex v, RggPositionCache& cache, std::int64_t* coordinates) const;

  // Twice the edges: every entry of every line, counted on up to threads threads.
  std::int64_t count_entries(int threads) const;

 private:
  std::int64_t boundary(std::int64_t i) const;  // the first grid point of cell i along an axis
  void cell_axes(std::int64_t cell, std::int64_t* axes) const;
  UInt128 volume_before(std::int64_t cell) const;
  // Of the points in the cells low .. high - 1, node node of the tree (numbered from the root,
  // 0, the children of k being 2k + 1 and 2k + 2; kDeepNode below the memo), those in the first
  // half.
  std::int64_t split(std::int64_t low, std::int64_t high, std::int64_t points,
                     std::int64_t node) const;
  // The same, given the volumes before low, mid and high.
  std::int64_t split(std::int64_t low, std::int64_t high, std::int64_t points, std::int64_t node,
                     const UInt128& before_low, const UInt128& before_mid,
                     const UInt128& before_high) const;
  std::int64_t child(std::int64_t node, bool second) const {
    return node < static_cast<std::int64_t>(top_splits_.size()) ? 2 * node + 1 + second : kDeepNode;
  }
  void memorise(std::int64_t node, std::int64_t low, std::int64_t high, std::int64_t points);
  // The cell that holds vertex v, and the first vertex of that cell.
  std::int64_t locate(Vertex v, Vertex& cell_first) const;
  // The cells around cell, its own included, ascending; returns how many (at most 27).
  int neighbour_cells(std::int64_t cell, std::int64_t* around) const;
  // The positions one step either way of x along an axis, and x, as neighbour_cells takes
  // them; returns how many (at most 3).
  int steps_along(std::int64_t x, std::int64_t* reach) const;
  // The cells around cell and their places in block, which holds them; cells taken in
  // ascending order, each after the one before, find their places from the last ones.
  struct Around {
    std::int64_t cells[27];
    std::size_t places[27];
    int count = 0;
    int own = 0;  // cells[own] is the cell itself
  };
  void step_around(std::int64_t cell, const RggBlock& block, Around& around) const;
  // The counts and points of the cells block.wanted (ascending, distinct): those it holds
  // already kept, the others drawn in one walk of the tree.
  void load(RggBlock& block) const;
  void walk(std::int64_t node, std::int64_t low, std::int64_t high, std::int64_t points,
            Vertex first, const UInt128& before_low, const UInt128& before_high,
            const std::int64_t* cells_begin, const std::int64_t* cells_end, RggPoints& into) const;
  // The cells first_cell .. last_cell and those around them, loaded.
  void load_around(std::int64_t first_cell, std::int64_t last_cell, RggBlock& block) const;
  // The last cell of the block that starts with first_cell, the cell of first, and ends at the
  // cell of last.
  std::int64_t block_end(std::int64_t first_cell, Vertex first, Vertex last) const;
  template <int kDimension, bool kPeriodic>
  Vertex fill_lines_in(Vertex first, Vertex last, RggLines& lines) const;
  template <int kDimension, bool kPeriodic>
  Vertex fill_rows_in(Vertex first, Vertex last, RggLines& lines, RggRows& rows) const;
  // The pairs of points within the radius, one of them in the rows first_row .. end_row - 1.
  template <int kDimension, bool kPeriodic>
  std::int64_t count_rows(std::int64_t first_row, std::int64_t end_row, RggRows& rows) const;

  RggShape shape_;
  std::int64_t grid_ = 1;                 // G, cells along an axis
  std::vector<std::int64_t> boundaries_;  // boundary(i) for i = 0 .. G
  std::int64_t cell_count_ = 1;           // G^d
  std::int64_t block_cells_ = 1;          // cells a block covers at most
  // The cells around a cell away from every side, as steps from its number, ascending.
  std::int64_t inner_steps_[27] = {};
  int inner_count_ = 0;
  std::uint64_t threshold_ = 0;  // joined when the squared distance, in grid units, is below
  std::uint64_t split_key_ = 0;
  // The splits of the tree's top levels, worked out once: every walk from the root passes them.
  static constexpr std::int64_t kDeepNode = INT64_MAX;
  static constexpr int kMemorisedLevels = 18;
  std::vector<std::int64_t> top_splits_;
  std::uint64_t point_key_ = 0;
  // A cell's width along an axis is narrow_width_ or one more: a coordinate within it is drawn
  // by one of these two.
  std::int64_t narrow_width_ = 1;
  UniformDraw narrow_draw_;
  UniformDraw wide_draw_;
};

// Blocks of lines kept from one call to the next, lent to one caller at a time: the next job
// of lines mostly reads rows of cells that the last one read, whichever thread writes it. The
// last one given back is lent first.
class RggLinesPool {
 public:
  std::unique_ptr<RggLines> borrow();
  void give_back(std::unique_ptr<RggLines> lines);

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<RggLines>> free_;
};

class RandomGeometricGraph {
 public:
  // The edges are counted on threads: absent, one; 0 or less, one per core.
  explicit RandomGeometricGraph(const RggShape& shape,
                                std::optional<std::int32_t> threads = std::nullopt);

  std::optional<std::string> refusal() const {
    if (why_not_.empty()) return std::nullopt;
    return why_not_;
  }

  GraphFacts facts() const;

  // A line's k-th neighbour lies in any of the rows of cells around it, as the lines' lengths
  // vary: the k-th neighbours of consecutive lines do not rise together.
  static constexpr bool kPositionsRise = false;

  template <class Sink>
  void write_positions(Vertex first, Vertex last, Sink& sink) const {
    if (first == last) {
      thread_local RggPositionCache cache;
      std::int64_t point[3];
      cells_.position_of(first, cache, point);
      if (cells_.shape().dimension == 2) return sink.write_point(point[0], point[1]);
      return sink.write_point(point[0], point[1], point[2]);
    }
    RggBlock block;
    std::vector<std::int64_t> coordinates;
    const int d = cells_.shape().dimension;
    for (Vertex v = first; v <= last;) {
      const Vertex end = cells_.fill_points(v, last, block, coordinates);
      for (const std::int64_t* point = coordinates.data(); v <= end; ++v, point += d) {
        if (d == 2) {
          sink.write_point(point[0], point[1]);
        } else {
          sink.write_point(point[0], point[1], point[2]);
        }
      }
    }
  }

  // A block of cells' lines at a time, worked out out of line (rgg.cpp) and handed over here.
  template <class Sink>
  void write_lines(Vertex first, Vertex last, Sink& sink) const {
    struct Borrowed {
      RggLinesPool& pool;
      std::unique_ptr<RggLines> lines = pool.borrow();
      ~Borrowed() { pool.give_back(std::move(lines)); }
    } borrowed{*pool_};
    RggLines& lines = *borrowed.lines;
    for (Vertex v = first; v <= last;) {
      const Vertex end = cells_.fill_lines(v, last, lines, *rows_);
      const Vertex* entries = lines.entries.data();
      for (std::size_t k = 0; v <= end; ++k, ++v) {
        const auto count = static_cast<std::int64_t>(lines.offsets[k + 1] - lines.offsets[k]);
        if (count <= kMostListLineEntries) {
          sink.write_list_line(entries, static_cast<int>(count));
        } else {
          for (std::int64_t e = 0; e < count; ++e)
            sink.write_neighbour(entries[e]);
          sink.end_vertex_line();
        }
        entries += count;
      }
    }
  }

 private:
  RggCells cells_;
  std::shared_ptr<RggLinesPool> pool_ = std::make_shared<RggLinesPool>();
  std::shared_ptr<RggRows> rows_;
  std::string why_not_;
  std::int64_t entries_ = 0;
};

}  // namespace famgen
