// The random geometric graphs' inner loops: of one point, the points of some stretches of a
// row of cells that lie closer than the radius. Nearly all of a graph's time goes here, so they
// come in two builds of the same integer arithmetic: plain loops that any processor runs, and
// four points at a time with AVX2 where the processor has it, picked once when first asked
// for. Both decide every pair alike, exactly: squared distances in 64-bit integers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphfile/graph.hpp"

namespace famgen {

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
