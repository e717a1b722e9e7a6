#include "generators/rgg.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <thread>

#include "generators/binomial.hpp"

namespace famgen {

namespace {

// Cells a block of lines covers at most: the points around them stay a few hundred KiB.
constexpr std::int64_t kBlockCells = 256;

// Graphs below this many points are counted on one thread: a thread costs more than they do.
constexpr std::int64_t kPointsCountedAlone = std::int64_t{1} << 18;

// The largest g with g^d <= n.
std::int64_t integer_root(std::int64_t n, int d) {
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

}  // namespace

std::int64_t default_rgg_radius(int dimension, std::int64_t points) {
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
      point_key_(stream_key(shape.seed, kCellPointStream)) {
  // Cells at least as wide as the radius, rounded up to grid units, so that points two cells
  // apart along an axis (more than a cell's width) are never joined; and no more cells than
  // points.
  const std::int64_t reach = (shape.radius + kRggUnit - 1) / kRggUnit;
  grid_ = reach > 0 ? kRggUnit / reach : kRggUnit;
  grid_ = std::max<std::int64_t>(1, std::min(grid_, integer_root(shape.points, shape.dimension)));
  cell_count_ = 1;
  for (int a = 0; a < shape.dimension; ++a)
    cell_count_ *= grid_;
  // d² < R²/10^18 in integers is d² < ⌈R²/10^18⌉.
  const UInt128 square = static_cast<UInt128>(shape.radius) * static_cast<UInt128>(shape.radius);
  const auto unit = static_cast<UInt128>(kRadiusUnit);
  threshold_ = static_cast<std::uint64_t>((square + unit - 1) / unit);
}

// Cell i of G spans the grid points boundary(i) .. boundary(i + 1) - 1 along an axis; the
// widths differ by at most one.
std::int64_t RggCells::boundary(std::int64_t i) const {
  return static_cast<std::int64_t>(static_cast<Int128>(i) * kRggUnit / grid_);
}

void RggCells::cell_axes(std::int64_t cell, std::int64_t* axes) const {
  for (int a = shape_.dimension - 1; a >= 0; --a) {
    axes[a] = cell % grid_;
    cell /= grid_;
  }
}

// The grid points of the cells before cell, in cell order: the whole slabs of the first axis
// before it, then within its slab the whole rows before it, and so on.
UInt128 RggCells::volume_before(std::int64_t cell) const {
  const int d = shape_.dimension;
  if (cell >= cell_count_) {
    UInt128 all = 1;
    for (int a = 0; a < d; ++a)
      all *= static_cast<UInt128>(kRggUnit);
    return all;
  }
  std::int64_t axes[3];
  cell_axes(cell, axes);
  UInt128 volume = 0;
  UInt128 across = 1;  // the widths of the axes before a, of the cell's own slab, row, ...
  for (int a = 0; a < d; ++a) {
    UInt128 rest = 1;  // the whole extent of the axes after a
    for (int b = a + 1; b < d; ++b)
      rest *= static_cast<UInt128>(kRggUnit);
    volume += across * static_cast<UInt128>(boundary(axes[a])) * rest;
    across *= static_cast<UInt128>(boundary(axes[a] + 1) - boundary(axes[a]));
  }
  return volume;
}

// Of points in the cells low .. high - 1, those in the first half, low .. mid - 1: binomial
// with the first half's share of the volume.
std::int64_t RggCells::split(std::int64_t low, std::int64_t high, std::int64_t points) const {
  const std::int64_t mid = low + (high - low) / 2;
  const UInt128 start = volume_before(low);
  const auto share = static_cast<double>(volume_before(mid) - start) /
                     static_cast<double>(volume_before(high) - start);
  WordStream words(split_key_, static_cast<std::uint64_t>(low), static_cast<std::uint64_t>(high));
  return binomial_variate(points, share, words);
}

std::int64_t RggCells::locate(Vertex v, Vertex& cell_first) const {
  std::int64_t low = 0;
  std::int64_t high = cell_count_;
  std::int64_t points = shape_.points;
  Vertex first = 1;
  while (high - low > 1) {
    const std::int64_t mid = low + (high - low) / 2;
    const std::int64_t left = split(low, high, points);
    if (v < first + left) {
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

int RggCells::neighbour_cells(std::int64_t cell, std::int64_t* around) const {
  const int d = shape_.dimension;
  std::int64_t axes[3];
  cell_axes(cell, axes);
  // Along each axis the cells one step either way, wrapped on the torus, without repeats (a
  // torus of one or two cells a side), ascending; their products in order are ascending.
  std::int64_t reach[3][3];
  int counts[3];
  for (int a = 0; a < d; ++a) {
    int count = 0;
    for (std::int64_t step = -1; step <= 1; ++step) {
      std::int64_t x = axes[a] + step;
      if (x < 0 || x >= grid_) {
        if (!shape_.periodic) continue;
        x = (x + grid_) % grid_;
      }
      // Into its place among those so far, unless it is one of them.
      int at = count;
      while (at > 0 && reach[a][at - 1] > x)
        --at;
      if (at > 0 && reach[a][at - 1] == x) continue;
      for (int k = count; k > at; --k)
        reach[a][k] = reach[a][k - 1];
      reach[a][at] = x;
      ++count;
    }
    counts[a] = count;
  }
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

void RggCells::walk(std::int64_t low, std::int64_t high, std::int64_t points, Vertex first,
                    const std::int64_t* cells_begin, const std::int64_t* cells_end,
                    LoadedCells& loaded) const {
  if (cells_begin == cells_end) return;
  if (high - low > 1) {
    const std::int64_t mid = low + (high - low) / 2;
    const std::int64_t left = split(low, high, points);
    const std::int64_t* middle = std::lower_bound(cells_begin, cells_end, mid);
    walk(low, mid, left, first, cells_begin, middle, loaded);
    walk(mid, high, points - left, first + left, middle, cells_end, loaded);
    return;
  }
  // The cell low, of points points: each coordinate uniform over the cell's grid points.
  const int d = shape_.dimension;
  std::int64_t axes[3];
  cell_axes(low, axes);
  std::int64_t origin[3];
  std::int64_t width[3];
  for (int a = 0; a < d; ++a) {
    origin[a] = boundary(axes[a]);
    width[a] = boundary(axes[a] + 1) - origin[a];
  }
  loaded.cells.push_back(low);
  loaded.first_vertex.push_back(first);
  for (std::int64_t j = 0; j < points; ++j) {
    for (int a = 0; a < d; ++a) {
      const UniformDraw draw(0, width[a] - 1);
      const auto counter = static_cast<std::uint64_t>(j * d + a);
      loaded.coordinates.push_back(origin[a] +
                                   draw(point_key_, static_cast<std::uint64_t>(low), counter));
    }
  }
  loaded.begin.push_back(loaded.coordinates.size() / static_cast<std::size_t>(d));
}

void RggCells::load(const std::vector<std::int64_t>& cells, LoadedCells& loaded) const {
  loaded.cells.clear();
  loaded.first_vertex.clear();
  loaded.coordinates.clear();
  loaded.begin.assign(1, 0);
  walk(0, cell_count_, shape_.points, 1, cells.data(), cells.data() + cells.size(), loaded);
}

std::int64_t RggCells::block_end(std::int64_t first_cell, Vertex last) const {
  Vertex last_first = 0;
  const std::int64_t last_cell = locate(last, last_first);
  return std::min(last_cell, first_cell + kBlockCells - 1);
}

Vertex RggCells::fill_lines(Vertex first, Vertex last, RggLines& lines) const {
  Vertex cell_first = 0;
  const std::int64_t first_cell = locate(first, cell_first);
  const std::int64_t last_cell = block_end(first_cell, last);
  // The cells of the block and those around them.
  std::vector<std::int64_t> needed;
  std::int64_t around[27];
  for (std::int64_t cell = first_cell; cell <= last_cell; ++cell) {
    const int count = neighbour_cells(cell, around);
    needed.insert(needed.end(), around, around + count);
  }
  std::sort(needed.begin(), needed.end());
  needed.erase(std::unique(needed.begin(), needed.end()), needed.end());
  LoadedCells loaded;
  load(needed, loaded);

  const int d = shape_.dimension;
  const bool periodic = shape_.periodic;
  const auto index_of = [&](std::int64_t cell) {
    return static_cast<std::size_t>(
        std::lower_bound(loaded.cells.begin(), loaded.cells.end(), cell) - loaded.cells.begin());
  };
  lines.entries.clear();
  lines.offsets.assign(1, 0);
  Vertex end = first - 1;
  for (std::int64_t cell = first_cell; cell <= last_cell; ++cell) {
    const std::size_t own = index_of(cell);
    const int count = neighbour_cells(cell, around);
    std::size_t near[27];
    for (int k = 0; k < count; ++k)
      near[k] = index_of(around[k]);
    const Vertex cell_start = loaded.first_vertex[own];
    const Vertex cell_end =
        cell_start + static_cast<Vertex>(loaded.begin[own + 1] - loaded.begin[own]);
    const Vertex from = std::max(first, cell_start);
    const Vertex to = std::min(last + 1, cell_end);
    for (Vertex v = from; v < to; ++v) {
      const std::int64_t* p = &loaded.coordinates[d * (loaded.begin[own] + (v - cell_start))];
      for (int k = 0; k < count; ++k) {
        const std::size_t at = near[k];
        const std::int64_t* q = &loaded.coordinates[d * loaded.begin[at]];
        const Vertex w0 = loaded.first_vertex[at];
        const auto points = static_cast<Vertex>(loaded.begin[at + 1] - loaded.begin[at]);
        for (Vertex j = 0; j < points; ++j, q += d) {
          std::uint64_t squared = 0;
          for (int a = 0; a < d; ++a) {
            auto gap = static_cast<std::uint64_t>(p[a] > q[a] ? p[a] - q[a] : q[a] - p[a]);
            if (periodic) gap = std::min(gap, static_cast<std::uint64_t>(kRggUnit) - gap);
            squared += gap * gap;
          }
          if (squared < threshold_ && w0 + j != v) lines.entries.push_back(w0 + j);
        }
      }
      lines.offsets.push_back(lines.entries.size());
      end = v;
    }
  }
  return end;
}

Vertex RggCells::fill_points(Vertex first, Vertex last,
                             std::vector<std::int64_t>& coordinates) const {
  Vertex cell_first = 0;
  const std::int64_t first_cell = locate(first, cell_first);
  const std::int64_t last_cell = block_end(first_cell, last);
  std::vector<std::int64_t> cells;
  for (std::int64_t cell = first_cell; cell <= last_cell; ++cell)
    cells.push_back(cell);
  LoadedCells loaded;
  load(cells, loaded);
  const int d = shape_.dimension;
  // Vertices first .. the end of the block, which start at the first cell's first vertex.
  const auto skip = static_cast<std::size_t>(first - cell_first) * static_cast<std::size_t>(d);
  const Vertex block_last =
      loaded.first_vertex.back() +
      static_cast<Vertex>(loaded.begin.back() - loaded.begin[loaded.begin.size() - 2]) - 1;
  const Vertex end = std::min(last, block_last);
  coordinates.assign(
      loaded.coordinates.begin() + static_cast<std::ptrdiff_t>(skip),
      loaded.coordinates.begin() +
          static_cast<std::ptrdiff_t>(skip + static_cast<std::size_t>(end - first + 1) * d));
  return end;
}

std::int64_t RggCells::count_entries(int threads) const {
  const std::int64_t n = shape_.points;
  if (n < kPointsCountedAlone) threads = 1;
  threads = static_cast<int>(std::max<std::int64_t>(1, std::min<std::int64_t>(threads, n)));
  std::vector<std::int64_t> totals(static_cast<std::size_t>(threads), 0);
  const auto count = [&](int part) {
    const Vertex first = 1 + n * part / threads;
    const Vertex last = n * (part + 1) / threads;
    RggLines lines;
    std::int64_t total = 0;
    for (Vertex v = first; v <= last;) {
      v = fill_lines(v, last, lines) + 1;
      total += static_cast<std::int64_t>(lines.entries.size());
    }
    totals[static_cast<std::size_t>(part)] = total;
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

RandomGeometricGraph::RandomGeometricGraph(const RggShape& shape, int counting_threads)
    : cells_(shape) {
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
  if (counting_threads < 1)
    counting_threads = static_cast<int>(std::thread::hardware_concurrency());
  entries_ = cells_.count_entries(std::max(1, counting_threads));
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
