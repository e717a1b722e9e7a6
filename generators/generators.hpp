// One generator per family. Each works out its counts, describes its graph as a family (a
// small value type whose write_lines says which neighbours each vertex of a range has, in
// order) and hands it to the destination, which writes it in the chosen layout. Generators know
// nothing about bytes, buffers, threads or processes. The counts functions are separate so that
// a caller (the tests, the fuzzer's size limit) can ask how big a graph is without writing it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "graphfile/graph_source.hpp"

// index / size and index % size, for a range's first vertex. Relabelled output asks for its
// lines one vertex at a time, so this runs once a line; a 64-bit division takes several times
// as long as a 32-bit one on many processors, and most graphs' indices fit in 32 bits.
struct QuotientRemainder {
  std::int64_t quotient;
  std::int64_t remainder;
};
inline QuotientRemainder divide(std::int64_t index, std::int64_t size) {
  if (((index | size) >> 32) == 0) {
    const auto quotient = static_cast<std::uint32_t>(index) / static_cast<std::uint32_t>(size);
    return {quotient, index - std::int64_t{quotient} * size};
  }
  return {index / size, index % size};
}

// factor × count, or the largest 64-bit value when that passes it: the entry counts of graphs
// that no disk could hold (the space guard refuses them before anything is written).
inline std::int64_t saturating_product(std::int64_t factor, std::int64_t count) {
  std::int64_t product = 0;
  return __builtin_mul_overflow(factor, count, &product) ? INT64_MAX : product;
}

// Each counts function returns nothing when a figure of the graph (vertex count, edge figure
// or largest vertex number) does not fit in a signed 64-bit integer.
std::optional<GraphCounts> circle_counts(std::int32_t n);
Outcome generate_circle(std::int32_t first_size, const GraphDestination& destination);

// R rows of W vertices; folded and partial are 0 or 1.
std::optional<GraphCounts> grid_counts(std::int32_t rows, std::int32_t row_length, bool folded,
                                       bool partial);
Outcome generate_grid(std::int32_t first_size, std::int32_t second_size,
                      const GraphDestination& destination, int folded, int partial);

std::optional<GraphCounts> star_counts(std::int32_t n);
Outcome generate_star(std::int32_t first_size, const GraphDestination& destination);

// A rings of B vertices.
std::optional<GraphCounts> torus_counts(std::int32_t rings, std::int32_t ring_length);
Outcome generate_torus(std::int32_t first_size, std::int32_t second_size,
                       const GraphDestination& destination);
std::optional<GraphCounts> cylinder_counts(std::int32_t rings, std::int32_t ring_length);
Outcome generate_cylinder(std::int32_t first_size, std::int32_t second_size,
                          const GraphDestination& destination);

std::optional<GraphCounts> binary_tree_counts(std::int32_t depth);
Outcome generate_binary_tree(std::int32_t first_size, const GraphDestination& destination);

std::optional<GraphCounts> hypercube_counts(std::int32_t dimension);
Outcome generate_hypercube(std::int32_t first_size, const GraphDestination& destination);

// graph_count complete graphs of graph_size vertices; the edge figure is twice the edges.
std::optional<GraphCounts> complete_graphs_counts(std::int32_t graph_size,
                                                  std::int32_t graph_count);
Outcome generate_complete_graphs(std::int32_t first_size, std::int32_t second_size,
                                 const GraphDestination& destination, bool header_suppressed);

// The neighbours of one Sierpinski vertex: count of them in neighbours[0 .. count - 1], out of
// four slots.
struct NeighbourList {
  std::int32_t count;
  std::int32_t* neighbours;
};

// What the subdivision works on: the lists by vertex number, and the last number handed out.
struct SierpinskiStore {
  NeighbourList** index;
  std::int32_t next_vertex;  // 3 before a build, since the corners are 1, 2 and 3
};

std::optional<GraphCounts> sierpinski_counts(std::int32_t depth);
void sierpinski_subdivide(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t depth,
                          SierpinskiStore& store);

// Anonymous memory straight from the operating system, released with the object; null when it
// could not be had. The Sierpinski store is hundreds of MB at the depths people ask for, and
// asking for huge pages cuts the page faults of filling it by a factor of 512.
class MemoryBlock {
 public:
  explicit MemoryBlock(std::size_t bytes);
  ~MemoryBlock();
  MemoryBlock(const MemoryBlock&) = delete;
  MemoryBlock& operator=(const MemoryBlock&) = delete;
  void* data() const { return data_; }

 private:
  std::size_t bytes_;
  void* data_ = nullptr;
};

// The Sierpinski graph of one depth (0 to 19) built in memory: the store in its three blocks
// (the index table by vertex number, the records, four slots a vertex), set up and subdivided
// on construction, released with the object. Read-only once built, so any number of threads
// may read it.
class SierpinskiBuild {
 public:
  explicit SierpinskiBuild(std::int32_t depth);
  bool built() const { return store_.index != nullptr; }  // false when memory was short
  std::size_t store_bytes() const { return store_bytes_; }
  std::int32_t last_vertex() const { return store_.next_vertex; }  // V after the build
  const NeighbourList& neighbours_of(std::size_t vertex) const { return *store_.index[vertex]; }

 private:
  std::size_t vertex_count_;
  std::size_t store_bytes_;
  MemoryBlock index_;
  MemoryBlock records_;
  MemoryBlock slots_;
  SierpinskiStore store_{nullptr, 3};
};
inline constexpr std::int32_t kDeepestSierpinskiDepth = 19;  // depth 20 passes 2^31 - 1 vertices
Outcome generate_sierpinski(std::int32_t first_size, const GraphDestination& destination);
