#include "generators/rgg.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <iterator>
#include <numbers>
#include <optional>
#include <thread>

#include "generators/binomial.hpp"

namespace famgen {

namespace {

// A block of lines covers four slabs of cells (the cells that share the first axis's cell) at
// least, so that the slabs on either side it also reads add half its cells again; and at most
// 2^18 cells (about a million points, a few MiB of coordinates).
constexpr std::int64_t kMostBlockCells = std::int64_t{1} << 18;
constexpr std::int64_t kBlockSlabs = 4;

// Stretches of lines at least this long read whole rows of cells (RggRows).
constexpr Vertex kLinesByRows = 256;

// Graphs below this many points are counted on one thread: a thread costs more than they do.
constexpr std::int64_t kPointsCountedAlone = std::int64_t{1} << 18;

// The largest g with g^d <= n.
std::int64_t integer_root(std::int64_t n, int d) {
  if (n < 2) return 1;
  auto g = static_cast<std::int64_t>(std::pow(static_cast<double>(n), 1.0 / d));
  const auto power = [d](std::int64_t x) {
    Int128 p = 1;
    for (int k = 0; k < d; ++k)
      p *= x;
    return p;
  };
  while (g > 1 && power(g) > n)
    --g;
  while (power(g + 1) <= n)
    ++g;
  return std::max<std::int64_t>(g, 1);
}

// The place of cell among the block's cells, which hold it.
inline std::size_t index_in(const RggBlock& block, std::int64_t cell) {
  return static_cast<std::size_t>(std::lower_bound(block.cells.begin(), block.cells.end(), cell) -
                                  block.cells.begin());
}

// x, rounded to the nearest double as the conversion of a 128-bit integer rounds it; a volume of
// the plane fits in 64 bits, whose conversion is one instruction rather than a call.
inline double to_double(UInt128 x) {
  if (x >> 64 == 0) return static_cast<double>(static_cast<std::uint64_t>(x));
  return static_cast<double>(x);
}

// Cells at least as wide as the radius, rounded up to grid units, so that points two cells
// apart along an axis (more than a cell's width) are never joined; and no more cells than
// points.
std::int64_t cells_along(const RggShape& shape) {
  const std::int64_t reach = (shape.radius + kRggUnit - 1) / kRggUnit;
  const std::int64_t grid = reach > 0 ? kRggUnit / reach : kRggUnit;
  return std::max<std::int64_t>(1, std::min(grid, integer_root(shape.points, shape.dimension)));
}

}  // namespace

std::int64_t default_rgg_radius(int dimension, std::int64_t points) {
  // One point has no pair to join (ln 1 = 0); fewer is no graph, and has no logarithm.
  if (points < 2) return 1;
  const auto n = static_cast<double>(points);
  const double radius = 0.55 * std::pow(std::log(n) / n, 1.0 / dimension);
  const std::int64_t nano = std::llround(radius * static_cast<double>(kRggUnit));
  return std::max<std::int64_t>(1, nano * (kRadiusUnit / kRggUnit));
}

std::optional<std::int64_t> read_radius(std::string_view value) {
  std::int64_t whole = 0;
  std::int64_t fraction = 0;
  int decimals = 0;
  bool point = false;
  bool digits = false;
  for (const char c : value) {
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (c < '0' || c > '9') return std::nullopt;
    digits = true;
    if (!point) {
      whole = std::min<std::int64_t>(whole * 10 + (c - '0'), 10);  // past 1 is refused anyway
    } else if (decimals < 18) {
      fraction = fraction * 10 + (c - '0');
      ++decimals;
    } else if (c != '0') {
      return std::nullopt;  // not held exactly in 18 decimals
    }
  }
  for (; decimals < 18; ++decimals)
    fraction *= 10;
  const std::int64_t radius = whole >= 2 ? kRadiusUnit + 1 : whole * kRadiusUnit + fraction;
  if (!digits || radius < 1 || radius > kRadiusUnit) return std::nullopt;
  return radius;
}

std::string radius_text(std::int64_t radius) {
  std::string text = std::to_string(radius / kRadiusUnit);
  std::string fraction = std::to_string(radius % kRadiusUnit);
  fraction.insert(0, 18 - fraction.size(), '0');
  while (!fraction.empty() && fraction.back() == '0')
    fraction.pop_back();
  return fraction.empty() ? text : text + "." + fraction;
}

RggCells::RggCells(const RggShape& shape)
    : shape_(shape),
      split_key_(stream_key(shape.seed, kCellSplitStream)),
      point_key_(stream_key(shape.seed, kCellPointStream)),
      narrow_width_(kRggUnit / std::max<std::int64_t>(1, cells_along(shape))),
      narrow_draw_(0, narrow_width_ - 1),
      wide_draw_(0, narrow_width_) {
  grid_ = cells_along(shape);
  boundaries_.resize(static_cast<std::size_t>(grid_) + 1);
  for (std::int64_t i = 0; i <= grid_; ++i)
    boundaries_[static_cast<std::size_t>(i)] = i * kRggUnit / grid_;  // below 2^63: i <= G <= 10^9
  cell_count_ = 1;
  for (int a = 0; a < shape.dimension; ++a)
    cell_count_ *= grid_;
  block_cells_ =
      std::clamp<std::int64_t>(kBlockSlabs * (cell_count_ / grid_), 256, kMostBlockCells);
  // d² < R²/10^18 in integers is d² < ⌈R²/10^18⌉.
  const UInt128 square = static_cast<UInt128>(shape.radius) * static_cast<UInt128>(shape.radius);
  const auto unit = static_cast<UInt128>(kRadiusUnit);
  threshold_ = static_cast<std::uint64_t>((square + unit - 1) / unit);
  // Steps along each axis of -1, 0 and 1, the first axis's the largest: ascending.
  inner_count_ = 1;
  for (int a = 0; a < shape.dimension; ++a) {
    for (int k = 0; k < inner_count_; ++k) {
      inner_steps_[k + inner_count_] = inner_steps_[k] * grid_;
      inner_steps_[k + 2 * inner_count_] = inner_steps_[k] * grid_ + 1;
      inner_steps_[k] = inner_steps_[k] * grid_ - 1;
    }
    inner_count_ *= 3;
  }
  std::sort(inner_steps_, inner_steps_ + inner_count_);
  // The nodes of the top levels, those that split a range of cells in two.
  const int levels =
      std::min<int>(kMemorisedLevels, std::bit_width(static_cast<std::uint64_t>(cell_count_)));
  top_splits_.assign((std::size_t{1} << levels) - 1, 0);
  memorise(0, 0, cell_count_, shape_.points);
}

// Cell i of G spans the grid points boundary(i) .. boundary(i + 1) - 1 along an axis; the
// widths differ by at most one.
std::int64_t RggCells::boundary(std::int64_t i) const {
  return boundaries_[static_cast<std::size_t>(i)];
}

void RggCells::cell_axes(std::int64_t cell, std::int64_t* axes) const {
  for (int a = shape_.dimension - 1; a >= 0; --a) {
    axes[a] = cell % grid_;
    cell /= grid_;
  }
}

// The grid points of the cells before cell, in cell order: the whole slabs of the first axis
// before it, then within its slab the whole rows before it, and so on. From the last axis
// out: the volume before the cell within its row is boundary(k); within its slab, the rows
// before (boundary(j) whole rows of 10^9) and that, times the row's width along j; and so on.
UInt128 RggCells::volume_before(std::int64_t cell) const {
  const int d = shape_.dimension;
  if (cell >= cell_count_) {
    UInt128 all = 1;
    for (int a = 0; a < d; ++a)
      all *= static_cast<UInt128>(kRggUnit);
    return all;
  }
  std::int64_t axes[3] = {};
  cell_axes(cell, axes);
  UInt128 volume = static_cast<UInt128>(boundary(axes[d - 1]));
  UInt128 whole = static_cast<UInt128>(kRggUnit);  // the extent of the axes after a
  for (int a = d - 2; a >= 0; --a) {
    const auto width = static_cast<std::uint64_t>(boundary(axes[a] + 1) - boundary(axes[a]));
    volume = static_cast<UInt128>(boundary(axes[a])) * whole + volume * width;
    whole *= static_cast<UInt128>(kRggUnit);
  }
  return volume;
}

// Of points in the cells low .. high - 1, those in the first half, low .. mid - 1: binomial
// with the first half's share of the volume.
std::int64_t RggCells::split(std::int64_t low, std::int64_t high, std::int64_t points,
                             std::int64_t node) const {
  if (node < static_cast<std::int64_t>(top_splits_.size()))
    return top_splits_[static_cast<std::size_t>(node)];
  const std::int64_t mid = low + (high - low) / 2;
  return split(low, high, points, node, volume_before(low), volume_before(mid),
               volume_before(high));
}

std::int64_t RggCells::split(std::int64_t low, std::int64_t high, std::int64_t points,
                             std::int64_t node, const UInt128& before_low,
                             const UInt128& before_mid, const UInt128& before_high) const {
  if (node < static_cast<std::int64_t>(top_splits_.size()))
    return top_splits_[static_cast<std::size_t>(node)];
  const double share = to_double(before_mid - before_low) / to_double(before_high - before_low);
  WordStream words(split_key_, static_cast<std::uint64_t>(low), static_cast<std::uint64_t>(high));
  return binomial_variate(points, share, words);
}

void RggCells::memorise(std::int64_t node, std::int64_t low, std::int64_t high,
                        std::int64_t points) {
  if (node >= static_cast<std::int64_t>(top_splits_.size()) || high - low <= 1) return;
  const std::int64_t mid = low + (high - low) / 2;
  const std::int64_t left = split(low, high, points, kDeepNode);
  top_splits_[static_cast<std::size_t>(node)] = left;
  memorise(2 * node + 1, low, mid, left);
  memorise(2 * node + 2, mid, high, points - left);
}

std::int64_t RggCells::locate(Vertex v, Vertex& cell_first) const {
  std::int64_t low = 0;
  std::int64_t high = cell_count_;
  std::int64_t points = shape_.points;
  std::int64_t node = 0;
  Vertex first = 1;
  while (high - low > 1) {
    const std::int64_t mid = low + (high - low) / 2;
    const std::int64_t left = split(low, high, points, node);
    const bool second = v >= first + left;
    node = child(node, second);
    if (!second) {
      high = mid;
      points = left;
    } else {
      low = mid;
      first += left;
      points -= left;
    }
  }
  cell_first = first;
  return low;
}

int RggCells::steps_along(std::int64_t x, std::int64_t* reach) const {
  int count = 0;
  for (std::int64_t step = -1; step <= 1; ++step) {
    std::int64_t y = x + step;
    if (y < 0 || y >= grid_) {
      if (!shape_.periodic) continue;
      y = (y + grid_) % grid_;
    }
    // Into its place among those so far, unless it is one of them.
    int at = count;
    while (at > 0 && reach[at - 1] > y)
      --at;
    if (at > 0 && reach[at - 1] == y) continue;
    for (int k = count; k > at; --k)
      reach[k] = reach[k - 1];
    reach[at] = y;
    ++count;
  }
  return count;
}

int RggCells::neighbour_cells(std::int64_t cell, std::int64_t* around) const {
  const int d = shape_.dimension;
  std::int64_t axes[3];
  cell_axes(cell, axes);
  // Along each axis the cells one step either way, wrapped on the torus, without repeats (a
  // torus of one or two cells a side), ascending; their products in order are ascending.
  std::int64_t reach[3][3];
  int counts[3];
  for (int a = 0; a < d; ++a)
    counts[a] = steps_along(axes[a], reach[a]);
  int found = 0;
  int pick[3] = {};
  for (;;) {
    std::int64_t number = 0;
    for (int a = 0; a < d; ++a)
      number = number * grid_ + reach[a][pick[a]];
    around[found++] = number;
    int a = d - 1;
    while (a >= 0 && ++pick[a] == counts[a])
      pick[a--] = 0;
    if (a < 0) break;
  }
  return found;
}

void RggCells::step_around(std::int64_t cell, const RggBlock& block, Around& around) const {
  std::int64_t axes[3];
  cell_axes(cell, axes);
  bool inner = grid_ >= 3;
  for (int a = 0; a < shape_.dimension; ++a)
    inner = inner && axes[a] >= 1 && axes[a] <= grid_ - 2;
  std::int64_t* cells = around.cells;
  int count = inner_count_;
  if (inner) {
    for (int k = 0; k < count; ++k)
      cells[k] = cell + inner_steps_[k];
  } else {
    count = neighbour_cells(cell, cells);
  }
  // Along a row, each cell around the next cell mostly follows the one around this cell.
  const std::size_t held = block.cells.size();
  for (int k = 0; k < count; ++k) {
    std::size_t& place = around.places[k];
    const bool follows =
        count == around.count && place + 1 < held && block.cells[place + 1] == cells[k];
    place = follows ? place + 1 : index_in(block, cells[k]);
    if (cells[k] == cell) around.own = k;
  }
  around.count = count;
}

void RggCells::walk(std::int64_t node, std::int64_t low, std::int64_t high, std::int64_t points,
                    Vertex first, const UInt128& before_low, const UInt128& before_high,
                    const std::int64_t* cells_begin, const std::int64_t* cells_end,
                    RggPoints& into) const {
  if (cells_begin == cells_end) return;
  if (high - low > 1) {
    const std::int64_t mid = low + (high - low) / 2;
    const UInt128 before_mid = volume_before(mid);
    const std::int64_t left = split(low, high, points, node, before_low, before_mid, before_high);
    const std::int64_t* middle = std::lower_bound(cells_begin, cells_end, mid);
    walk(child(node, false), low, mid, left, first, before_low, before_mid, cells_begin, middle,
         into);
    walk(child(node, true), mid, high, points - left, first + left, before_mid, before_high, middle,
         cells_end, into);
    return;
  }
  // The cell low, of points points: each coordinate uniform over the cell's grid points.
  const int d = shape_.dimension;
  std::int64_t axes[3];
  cell_axes(low, axes);
  std::int64_t origin[3];
  const UniformDraw* draws[3];
  for (int a = 0; a < d; ++a) {
    origin[a] = boundary(axes[a]);
    draws[a] = boundary(axes[a] + 1) - origin[a] == narrow_width_ ? &narrow_draw_ : &wide_draw_;
  }
  into.cells.push_back(low);
  into.first_vertex.push_back(first);
  const std::size_t start = into.coordinates.size();
  into.coordinates.resize(start + static_cast<std::size_t>(points * d));
  std::uint32_t* coordinate = into.coordinates.data() + start;
  for (std::int64_t j = 0; j < points; ++j) {
    for (int a = 0; a < d; ++a) {
      const auto counter = static_cast<std::uint64_t>(j * d + a);
      const std::int64_t x =
          origin[a] + (*draws[a])(point_key_, static_cast<std::uint64_t>(low), counter);
      *coordinate++ = static_cast<std::uint32_t>(x);
    }
  }
  into.begin.push_back(into.coordinates.size() / static_cast<std::size_t>(d));
}

void RggCells::load(RggBlock& block) const {
  // The wanted cells that the block does not hold yet, drawn.
  block.missing.clear();
  std::set_difference(block.wanted.begin(), block.wanted.end(), block.cells.begin(),
                      block.cells.end(), std::back_inserter(block.missing));
  RggPoints& drawn = block.missing.size() == block.wanted.size() ? block.next : block.drawn;
  drawn.clear();
  const std::int64_t* missing = block.missing.data();
  walk(0, 0, cell_count_, shape_.points, 1, 0, volume_before(cell_count_), missing,
       missing + block.missing.size(), drawn);
  if (&drawn != &block.next) {
    // The held cells and the drawn ones, merged in cell order.
    const auto d = static_cast<std::size_t>(shape_.dimension);
    RggPoints& next = block.next;
    next.clear();
    std::size_t held = 0;
    std::size_t fresh = 0;
    for (const std::int64_t cell : block.wanted) {
      const bool is_fresh = fresh < drawn.cells.size() && drawn.cells[fresh] == cell;
      const RggPoints& from = is_fresh ? drawn : block;
      std::size_t& k = is_fresh ? fresh : held;
      while (!is_fresh && block.cells[k] != cell)
        ++k;
      next.cells.push_back(cell);
      next.first_vertex.push_back(from.first_vertex[k]);
      next.coordinates.insert(
          next.coordinates.end(),
          from.coordinates.begin() + static_cast<std::ptrdiff_t>(d * from.begin[k]),
          from.coordinates.begin() + static_cast<std::ptrdiff_t>(d * from.begin[k + 1]));
      next.begin.push_back(next.coordinates.size() / d);
      ++k;
    }
  }
  std::swap(static_cast<RggPoints&>(block), block.next);
}

// Row by row (a row: the cells that differ in the last axis alone): a stretch of the block's
// cells on a row reaches, on each row around it, the same stretch one cell longer at each end,
// wrapped on the torus. Those stretches, merged, are the cells wanted.
void RggCells::load_around(std::int64_t first_cell, std::int64_t last_cell, RggBlock& block) const {
  std::vector<std::pair<std::int64_t, std::int64_t>>& runs = block.runs;
  runs.clear();
  std::int64_t around[27];
  for (std::int64_t cell = first_cell; cell <= last_cell;) {
    const std::int64_t row = cell / grid_;
    const std::int64_t low = cell - row * grid_ - 1;
    const std::int64_t high = std::min(last_cell - row * grid_, grid_ - 1) + 1;
    const int count = neighbour_cells(cell, around);
    for (int k = 0; k < count; ++k) {
      const std::int64_t start = around[k] / grid_ * grid_;  // the row's first cell
      if (k > 0 && start == around[k - 1] / grid_ * grid_) continue;
      runs.emplace_back(start + std::max<std::int64_t>(low, 0), start + std::min(high, grid_ - 1));
      if (shape_.periodic && low < 0) runs.emplace_back(start + grid_ - 1, start + grid_ - 1);
      if (shape_.periodic && high > grid_ - 1) runs.emplace_back(start, start);
    }
    cell = row * grid_ + high;  // the next row's first cell, or past last_cell
    if (high <= grid_ - 1) break;
  }
  std::sort(runs.begin(), runs.end());
  block.wanted.clear();
  for (const auto& [from, to] : runs) {
    std::int64_t cell = block.wanted.empty() ? from : std::max(from, block.wanted.back() + 1);
    for (; cell <= to; ++cell)
      block.wanted.push_back(cell);
  }
  load(block);
}

void RggCells::load_row(std::int64_t row, RggRow& into) const {
  std::vector<std::int64_t> cells(static_cast<std::size_t>(grid_));
  for (std::int64_t j = 0; j < grid_; ++j)
    cells[static_cast<std::size_t>(j)] = row * grid_ + j;
  RggPoints points;
  points.clear();
  walk(0, 0, cell_count_, shape_.points, 1, 0, volume_before(cell_count_), cells.data(),
       cells.data() + cells.size(), points);
  // Axis by axis, for the loops that take four points at a time.
  const auto d = static_cast<std::size_t>(shape_.dimension);
  const std::size_t count = points.begin.back();
  into.first_vertex = std::move(points.first_vertex);
  into.begin = std::move(points.begin);
  into.stride = count + kNearSpill;
  into.coordinates.assign(d * into.stride, 0);
  for (std::size_t i = 0; i < count; ++i) {
    for (std::size_t a = 0; a < d; ++a)
      into.coordinates[a * into.stride + i] =
          static_cast<std::int32_t>(points.coordinates[d * i + a]);
  }
}

std::size_t RggCells::rows_kept() const {
  // The rows of three slabs, where the rows that the next slab's jobs read again lie; and
  // about 2^18 points more, for the rows that the jobs of the threads share now.
  const std::int64_t rows_per_slab = cell_count_ / grid_ / grid_;
  const std::int64_t points_per_row =
      std::max<std::int64_t>(1, shape_.points / (cell_count_ / grid_));
  return static_cast<std::size_t>(
      3 * rows_per_slab + std::max<std::int64_t>(16, (std::int64_t{1} << 18) / points_per_row));
}

std::int64_t RggCells::block_end(std::int64_t first_cell, Vertex first, Vertex last) const {
  if (last == first) return first_cell;  // a relabelled file's single line
  Vertex last_first = 0;
  const std::int64_t last_cell = locate(last, last_first);
  return std::min(last_cell, first_cell + block_cells_ - 1);
}

namespace {

// A point whose neighbours are sought, held in registers: whether q is closer than the radius
// is whether their squared distance is below threshold.
template <int kDimension, bool kPeriodic>
struct Centre {
  std::int64_t x[kDimension];
  explicit Centre(const std::uint32_t* p) {
    for (int a = 0; a < kDimension; ++a)
      x[a] = p[a];
  }
  bool near(const std::uint32_t* q, std::uint64_t threshold) const {
    std::uint64_t squared = 0;
    for (int a = 0; a < kDimension; ++a)
      squared += squared_gap<kPeriodic>(x[a], q[a]);
    return squared < threshold;
  }
  // The points from q to end (d coordinates each, numbered from w) that are near, into out;
  // returns how many. Each is written, and kept only if near: no branch to mispredict.
  std::size_t keep_near(const std::uint32_t* q, const std::uint32_t* end, Vertex w,
                        std::uint64_t threshold, Vertex* out) const {
    std::size_t kept = 0;
    for (; q != end; q += kDimension, ++w) {
      out[kept] = w;
      kept += near(q, threshold);
    }
    return kept;
  }
};

// Room in entries past the used ones for lines lines of up to candidates entries each: the
// entries are written past the end of those kept and kept only where a point is near.
inline void make_room(std::vector<Vertex>& entries, std::size_t used, Vertex lines,
                      std::size_t candidates) {
  if (lines <= 0) return;
  const std::size_t needed = used + static_cast<std::size_t>(lines) * candidates;
  if (entries.size() < needed) entries.resize(std::max(2 * entries.size(), needed));
}

// The points of cells that follow one another both in number and in the block, in one run:
// consecutive vertices at consecutive places.
struct PointRun {
  const std::uint32_t* begin;
  const std::uint32_t* end;
  Vertex first;
};

// The runs of the cells around[0 .. count - 1], ascending, held at places near[0 .. count - 1]
// of the block: along a row, the cells around a cell are consecutive, so 3^(d-1) runs at most.
template <int kDimension>
inline int point_runs(const RggBlock& block, const std::int64_t* around, const std::size_t* near,
                      int count, PointRun* runs) {
  int found = 0;
  for (int k = 0; k < count; ++k) {
    const std::size_t at = near[k];
    const std::uint32_t* end = &block.coordinates[kDimension * block.begin[at + 1]];
    if (k > 0 && around[k] == around[k - 1] + 1 && at == near[k - 1] + 1) {
      runs[found - 1].end = end;
    } else {
      runs[found++] = {&block.coordinates[kDimension * block.begin[at]], end,
                       block.first_vertex[at]};
    }
  }
  return found;
}

}  // namespace

template <int kDimension, bool kPeriodic>
Vertex RggCells::fill_lines_in(Vertex first, Vertex last, RggLines& lines) const {
  constexpr int d = kDimension;
  Vertex cell_first = 0;
  const std::int64_t first_cell = locate(first, cell_first);
  const std::int64_t last_cell = block_end(first_cell, first, last);
  RggBlock& block = lines.block;
  load_around(first_cell, last_cell, block);
  // The entries are written past the end of those so far and kept only where a point is near,
  // with no branch to mispredict: the vector holds room for every point of the cells around.
  std::vector<Vertex>& entries = lines.entries;
  std::size_t used = 0;
  lines.offsets.assign(1, 0);
  Vertex end = first - 1;
  Around around;
  PointRun runs[27];
  for (std::int64_t cell = first_cell; cell <= last_cell; ++cell) {
    step_around(cell, block, around);
    const int run_count = point_runs<d>(block, around.cells, around.places, around.count, runs);
    std::size_t candidates = 0;
    for (int r = 0; r < run_count; ++r)
      candidates += static_cast<std::size_t>(runs[r].end - runs[r].begin) / d;
    const std::size_t own = around.places[around.own];
    const Vertex cell_start = block.first_vertex[own];
    const auto cell_points = static_cast<Vertex>(block.begin[own + 1] - block.begin[own]);
    const Vertex from = std::max(first, cell_start);
    const Vertex to = std::min(last + 1, cell_start + cell_points);
    make_room(entries, used, to - from, candidates);
    const std::uint64_t threshold = threshold_;
    for (Vertex v = from; v < to; ++v) {
      const std::uint32_t* p =
          &block.coordinates[d * (block.begin[own] + static_cast<std::size_t>(v - cell_start))];
      const Centre<d, kPeriodic> centre(p);
      Vertex* out = entries.data() + used;
      std::size_t kept = 0;
      for (int r = 0; r < run_count; ++r) {
        const PointRun& run = runs[r];
        if (p >= run.begin && p < run.end) {  // the point's own run: all but the point
          kept += centre.keep_near(run.begin, p, run.first, threshold, out + kept);
          kept += centre.keep_near(p + d, run.end, v + 1, threshold, out + kept);
        } else {
          kept += centre.keep_near(run.begin, run.end, run.first, threshold, out + kept);
        }
      }
      used += kept;
      lines.offsets.push_back(used);
      end = v;
    }
  }
  return end;
}

// The runs of the cells along[0 .. along_count - 1] of a row: consecutive cells in one.
inline int row_runs(const RggRow& row, const std::int64_t* along, int along_count, NearRun* runs) {
  int found = 0;
  for (int k = 0; k < along_count; ++k) {
    const auto c = static_cast<std::size_t>(along[k]);
    if (k > 0 && along[k] == along[k - 1] + 1) {
      runs[found - 1].end = row.begin[c + 1];
    } else {
      runs[found++] = {row.coordinates.data(), row.stride, row.begin[c], row.begin[c + 1],
                       row.first_vertex[c]};
    }
  }
  return found;
}

template <int kDimension, bool kPeriodic>
Vertex RggCells::fill_rows_in(Vertex first, Vertex last, RggLines& lines, RggRows& rows) const {
  Vertex cell_first = 0;
  const std::int64_t first_cell = locate(first, cell_first);
  const std::int64_t last_cell = block_end(first_cell, first, last);
  const NearSearch& search = near_search(kDimension, kPeriodic);
  std::vector<Vertex>& entries = lines.entries;
  std::size_t used = 0;
  lines.offsets.assign(1, 0);
  Vertex end = first - 1;
  // The rows around the cell's row, ascending, and which of them is its own.
  std::shared_ptr<const RggRow> near_rows[9];
  int row_count = 0;
  int own_row = 0;
  std::int64_t current_row = -1;
  // The runs of the cells around; the point's own run is cut in two around the point, at
  // runs[own_run] and runs[own_run + 1].
  NearRun runs[19];
  const std::uint64_t threshold = threshold_;
  for (std::int64_t cell = first_cell; cell <= last_cell; ++cell) {
    const std::int64_t row = cell / grid_;
    const std::int64_t j = cell - row * grid_;
    if (row != current_row) {
      std::int64_t around[27];
      const int count = neighbour_cells(row * grid_, around);
      row_count = 0;
      std::int64_t previous = -1;
      for (int k = 0; k < count; ++k) {
        const std::int64_t near_row = around[k] / grid_;
        if (near_row == previous) continue;
        previous = near_row;
        if (near_row == row) own_row = row_count;
        near_rows[row_count++] = rows.row(near_row, *this);
      }
      current_row = row;
    }
    std::int64_t along[3];
    const int along_count = steps_along(j, along);
    const RggRow& mine = *near_rows[own_row];
    const auto own = static_cast<std::size_t>(j);
    int run_count = 0;
    int own_run = 0;
    std::size_t candidates = kNearSpill;
    for (int r = 0; r < row_count; ++r) {
      const int added = row_runs(*near_rows[r], along, along_count, runs + run_count);
      for (int k = run_count; k < run_count + added; ++k) {
        candidates += runs[k].end - runs[k].first;
        if (r == own_row && runs[k].first <= mine.begin[own] && mine.begin[own] < runs[k].end)
          own_run = k;
      }
      run_count += added;
    }
    for (int k = run_count; k > own_run + 1; --k)
      runs[k] = runs[k - 1];
    const NearRun whole = runs[own_run];
    ++run_count;
    const Vertex cell_start = mine.first_vertex[own];
    const auto cell_points = static_cast<Vertex>(mine.begin[own + 1] - mine.begin[own]);
    const Vertex from = std::max(first, cell_start);
    const Vertex to = std::min(last + 1, cell_start + cell_points);
    make_room(entries, used, to - from, candidates);
    for (Vertex v = from; v < to; ++v) {
      const std::size_t i = mine.begin[own] + static_cast<std::size_t>(v - cell_start);
      std::int32_t p[3];
      for (int a = 0; a < kDimension; ++a)
        p[a] = mine.coordinates[static_cast<std::size_t>(a) * mine.stride + i];
      // All of its own run but the point.
      runs[own_run].end = i;
      runs[own_run + 1] = whole;
      runs[own_run + 1].first = i + 1;
      runs[own_run + 1].vertex = v + 1;
      used += search.keep(p, runs, run_count, threshold, entries.data() + used);
      lines.offsets.push_back(used);
      end = v;
    }
  }
  return end;
}

Vertex RggCells::fill_lines(Vertex first, Vertex last, RggLines& lines, RggRows& rows) const {
  // A short stretch (a relabelled file's single lines) reads only the cells around its own;
  // a longer one whole rows, which the stretches after it read again.
  if (last - first < kLinesByRows) {
    if (shape_.dimension == 2) {
      return shape_.periodic ? fill_lines_in<2, true>(first, last, lines)
                             : fill_lines_in<2, false>(first, last, lines);
    }
    return shape_.periodic ? fill_lines_in<3, true>(first, last, lines)
                           : fill_lines_in<3, false>(first, last, lines);
  }
  if (shape_.dimension == 2) {
    return shape_.periodic ? fill_rows_in<2, true>(first, last, lines, rows)
                           : fill_rows_in<2, false>(first, last, lines, rows);
  }
  return shape_.periodic ? fill_rows_in<3, true>(first, last, lines, rows)
                         : fill_rows_in<3, false>(first, last, lines, rows);
}

std::shared_ptr<const RggRow> RggRows::row(std::int64_t index, const RggCells& cells) {
  {
    const std::lock_guard lock(mutex_);
    const auto found = held_.find(index);
    if (found != held_.end()) {
      found->second.used = ++clock_;
      return found->second.points;
    }
  }
  auto fresh = std::make_shared<RggRow>();
  cells.load_row(index, *fresh);
  const std::lock_guard lock(mutex_);
  const auto [place, added] = held_.try_emplace(index, Held{fresh, ++clock_});
  if (!added) {  // drawn meanwhile by another thread
    place->second.used = clock_;
    return place->second.points;
  }
  if (held_.size() > most_rows_) {
    // The quarter used longest ago let go at once, so that a row drawn costs no scan.
    std::vector<std::uint64_t> uses;
    uses.reserve(held_.size());
    for (const auto& [_, held] : held_)
      uses.push_back(held.used);
    const auto cut = uses.begin() + static_cast<std::ptrdiff_t>(held_.size() / 4);
    std::nth_element(uses.begin(), cut, uses.end());
    std::erase_if(held_, [oldest = *cut](const auto& entry) { return entry.second.used < oldest; });
  }
  return fresh;
}

Vertex RggCells::fill_points(Vertex first, Vertex last, RggBlock& block,
                             std::vector<std::int64_t>& coordinates) const {
  Vertex cell_first = 0;
  const std::int64_t first_cell = locate(first, cell_first);
  const std::int64_t last_cell = block_end(first_cell, first, last);
  block.wanted.clear();
  for (std::int64_t cell = first_cell; cell <= last_cell; ++cell)
    block.wanted.push_back(cell);
  load(block);
  const auto d = static_cast<std::size_t>(shape_.dimension);
  // The block's points start with the first cell's first vertex.
  const Vertex block_points = static_cast<Vertex>(block.begin.back());
  const Vertex end = std::min(last, cell_first + block_points - 1);
  const auto skip = static_cast<std::size_t>(first - cell_first) * d;
  const auto count = static_cast<std::size_t>(end - first + 1) * d;
  coordinates.assign(block.coordinates.begin() + static_cast<std::ptrdiff_t>(skip),
                     block.coordinates.begin() + static_cast<std::ptrdiff_t>(skip + count));
  return end;
}

// A vertex that is not held loads its cell and the cells around it, where the neighbours whose
// positions come next lie; and when the last vertex that was not held lay within four slabs
// (vertices in order, the weights of a file's lines), the next block of cells with theirs.
void RggCells::position_of(Vertex v, RggPositionCache& cache, std::int64_t* coordinates) const {
  const RggShape& shape = cache.shape;
  bool same = shape.dimension == shape_.dimension && shape.points == shape_.points &&
              shape.radius == shape_.radius && shape.periodic == shape_.periodic &&
              shape.seed == shape_.seed;
  RggBlock& block = cache.block;
  const auto held = [&]() -> std::optional<std::size_t> {
    if (!same || !cache.held) return std::nullopt;
    const auto after = std::upper_bound(block.first_vertex.begin(), block.first_vertex.end(), v);
    if (after == block.first_vertex.begin()) return std::nullopt;
    const auto k = static_cast<std::size_t>(after - block.first_vertex.begin()) - 1;
    if (v >= block.first_vertex[k] + static_cast<Vertex>(block.begin[k + 1] - block.begin[k]))
      return std::nullopt;
    return block.begin[k] + static_cast<std::size_t>(v - block.first_vertex[k]);
  };
  std::optional<std::size_t> at = held();
  if (!at) {
    if (!same) block.clear();  // another graph's cells, which the load would otherwise keep
    Vertex cell_first = 0;
    const std::int64_t cell = locate(v, cell_first);
    const std::int64_t slab = cell_count_ / grid_;
    const bool near = same && cache.last_miss >= 0 && std::abs(cell - cache.last_miss) <= 4 * slab;
    load_around(cell, near ? std::min(cell_count_ - 1, cell + block_cells_ - 1) : cell, block);
    cache.shape = shape_;
    cache.held = true;
    cache.last_miss = cell;
    same = true;
    at = held();
  }
  const auto d = static_cast<std::size_t>(shape_.dimension);
  for (std::size_t a = 0; a < d; ++a)
    coordinates[a] = block.coordinates[d * *at + a];
}

// Each pair once: from the lower of its two cells, or within a cell from its first point. A
// cell's pairs with the cells after it lie in its own row, from it on, and in the rows after
// its own among those around it.
template <int kDimension, bool kPeriodic>
std::int64_t RggCells::count_rows(std::int64_t first_row, std::int64_t end_row,
                                  RggRows& rows) const {
  const NearSearch& search = near_search(kDimension, kPeriodic);
  const std::uint64_t threshold = threshold_;
  std::int64_t pairs = 0;
  for (std::int64_t row = first_row; row < end_row; ++row) {
    // The rows around from this one on, this one first.
    std::shared_ptr<const RggRow> later[9];
    int row_count = 0;
    std::int64_t around[27];
    const int count = neighbour_cells(row * grid_, around);
    std::int64_t previous = -1;
    for (int k = 0; k < count; ++k) {
      const std::int64_t near_row = around[k] / grid_;
      if (near_row == previous || near_row < row) continue;
      previous = near_row;
      later[row_count++] = rows.row(near_row, *this);
    }
    const RggRow& mine = *later[0];
    NearRun runs[18];
    for (std::int64_t j = 0; j < grid_; ++j) {
      std::int64_t along[3];
      const int along_count = steps_along(j, along);
      // In its own row, the cells from this one on; this one first.
      int start = 0;
      while (along[start] < j)
        ++start;
      int run_count = row_runs(mine, along + start, along_count - start, runs);
      for (int r = 1; r < row_count; ++r)
        run_count += row_runs(*later[r], along, along_count, runs + run_count);
      const auto own = static_cast<std::size_t>(j);
      for (std::size_t i = mine.begin[own]; i < mine.begin[own + 1]; ++i) {
        std::int32_t p[3];
        for (int a = 0; a < kDimension; ++a)
          p[a] = mine.coordinates[static_cast<std::size_t>(a) * mine.stride + i];
        runs[0].first = i + 1;  // the points after it in its own cell
        pairs += search.count(p, runs, run_count, threshold);
      }
    }
  }
  return pairs;
}

std::int64_t RggCells::count_entries(int threads) const {
  if (shape_.points < kPointsCountedAlone) threads = 1;
  threads = static_cast<int>(
      std::max<std::int64_t>(1, std::min<std::int64_t>(threads, cell_count_ / grid_)));
  std::vector<std::int64_t> totals(static_cast<std::size_t>(threads), 0);
  // Each thread counts from the rows of its part of the cells, drawn once or nearly: a row
  // is read again by the rows of the next slab.
  const std::int64_t row_total = cell_count_ / grid_;
  const auto count = [&](int part) {
    const std::int64_t first = row_total * part / threads;
    const std::int64_t end = row_total * (part + 1) / threads;
    RggRows rows(rows_kept());
    std::int64_t pairs = 0;
    if (shape_.dimension == 2) {
      pairs = shape_.periodic ? count_rows<2, true>(first, end, rows)
                              : count_rows<2, false>(first, end, rows);
    } else {
      pairs = shape_.periodic ? count_rows<3, true>(first, end, rows)
                              : count_rows<3, false>(first, end, rows);
    }
    totals[static_cast<std::size_t>(part)] = 2 * pairs;
  };
  std::vector<std::thread> workers;
  for (int part = 1; part < threads; ++part)
    workers.emplace_back(count, part);
  count(0);
  for (std::thread& worker : workers)
    worker.join();
  std::int64_t entries = 0;
  for (const std::int64_t total : totals)
    entries += total;
  return entries;
}

std::unique_ptr<RggLines> RggLinesPool::borrow() {
  const std::lock_guard lock(mutex_);
  if (free_.empty()) return std::make_unique<RggLines>();
  std::unique_ptr<RggLines> lines = std::move(free_.back());
  free_.pop_back();
  return lines;
}

void RggLinesPool::give_back(std::unique_ptr<RggLines> lines) {
  const std::lock_guard lock(mutex_);
  free_.push_back(std::move(lines));
}

RandomGeometricGraph::RandomGeometricGraph(const RggShape& shape,
                                           std::optional<std::int32_t> threads)
    : cells_(shape), rows_(std::make_shared<RggRows>(cells_.rows_kept())) {
  const std::string name = shape.dimension == 2 ? "rgg2d" : "rgg3d";
  if (shape.points < 1) {
    why_not_ = name + " takes at least one point";
    return;
  }
  if (shape.radius < 1 || shape.radius > kRadiusUnit) {
    why_not_ = name + " takes a radius above 0 and at most 1, not " + radius_text(shape.radius);
    return;
  }
  // The expected entries, N(N - 1) times the volume of a ball of radius R (at most 1), bound
  // the work of counting them; a graph past kMostRggEntries is refused before it starts.
  const double r = static_cast<double>(shape.radius) / static_cast<double>(kRadiusUnit);
  const double ball =
      shape.dimension == 2 ? std::numbers::pi * r * r : 4.0 / 3.0 * std::numbers::pi * r * r * r;
  const auto n = static_cast<double>(shape.points);
  const double expected = n * (n - 1) * std::min(1.0, ball);
  if (expected > kMostRggEntries) {
    why_not_ = name + " of " + std::to_string(shape.points) + " points and radius " +
               radius_text(shape.radius) + " would list about " +
               std::to_string(static_cast<std::int64_t>(expected)) +
               " entries, more than famgen writes (2^40)";
    return;
  }
  int counting = threads.value_or(1);
  if (counting < 1) counting = static_cast<int>(std::thread::hardware_concurrency());
  entries_ = cells_.count_entries(std::max(1, counting));
}

GraphFacts RandomGeometricGraph::facts() const {
  const RggShape& shape = cells_.shape();
  const std::string comment =
      "% " + std::to_string(shape.dimension) +
      "D random geometric graph: " + std::to_string(shape.points) + " points in the unit " +
      (shape.periodic         ? "torus"
       : shape.dimension == 2 ? "square"
                              : "cube") +
      ", radius " + radius_text(shape.radius) + ", seed " + std::to_string(shape.seed) + "\n";
  GraphFacts facts = graph_facts(GraphCounts{shape.points, entries_ / 2, entries_, 0, 0}, comment,
                                 CountsLineEnd::kNewline);
  facts.dimension = shape.dimension;
  facts.decimals = kRggDecimals;
  if (shape.periodic) facts.period = kRggUnit;
  facts.spaced = false;
  // About one point to a drawing unit along each axis.
  facts.drawing_scale = std::max<std::int64_t>(
      1, std::llround(std::pow(static_cast<double>(shape.points), 1.0 / shape.dimension)));
  return facts;
}

}  // namespace famgen
