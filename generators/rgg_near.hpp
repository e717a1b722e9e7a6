// The random geometric graphs' inner loops: of one point, the points of some stretches of a
// row of cells that lie closer than the radius. Nearly all of a graph's time goes here, so they
// come in two builds of the same integer arithmetic: plain loops that any processor runs, and
// four points at a time with AVX2 where the processor has it, picked once when first asked
// for. Both decide every pair alike, exactly: squared distances in 64-bit integers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "generators/rgg_shape.hpp"
#include "graphfile/graph.hpp"

namespace famgen {

// The square of the gap between two coordinates along one axis, the shorter way round on the
// torus. Coordinates lie below 10^9 < 2^30: a square below 2^60, and the sum of three below
// 2^62, which compares alike signed or not with a threshold of at most 10^18 < 2^63.
template <bool kPeriodic>
inline std::uint64_t squared_gap(std::int64_t x, std::int64_t y) {
  std::int64_t gap = x - y;
  gap = gap < 0 ? -gap : gap;
  if constexpr (kPeriodic) gap = gap < kRggUnit - gap ? gap : kRggUnit - gap;
  return static_cast<std::uint64_t>(gap * gap);
}

// How far past a stretch's end the loops may read, in points, and write, in entries: a row's
// coordinates and a line's room are that much longer than they hold.
inline constexpr std::size_t kNearSpill = 4;

// The points first .. end - 1 of a row, axis a of point i at coordinates[a·stride + i], the
// first of them vertex vertex.
struct NearRun {
  const std::int32_t* coordinates;
  std::size_t stride;
  std::size_t first;
  std::size_t end;
  Vertex vertex;
};

struct NearSearch {
  // The vertices of the runs' points closer to p (its coordinates) than the radius (squared
  // distance below threshold, in grid units), into out in the runs' order; returns how many.
  // out holds room for every point of the runs and kNearSpill more.
  std::size_t (*keep)(const std::int32_t* p, const NearRun* runs, int run_count,
                      std::uint64_t threshold, Vertex* out);
  // How many of the runs' points are closer to p than the radius.
  std::int64_t (*count)(const std::int32_t* p, const NearRun* runs, int run_count,
                        std::uint64_t threshold);
};

// The fastest search of points in dimension 2 or 3, on the torus or not, that this processor
// runs; and the plain loops, which the tests hold it to.
const NearSearch& near_search(int dimension, bool periodic);
const NearSearch& portable_near_search(int dimension, bool periodic);

}  // namespace famgen
