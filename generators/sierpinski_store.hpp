// The store the Sierpinski graph is built in: four neighbour slots a vertex, filled by the
// subdivision before any line is written. The one family that holds its graph in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "graphfile/graph.hpp"

namespace famgen {

// Nothing when the counts of the depth pass 64 bits.
std::optional<GraphCounts> sierpinski_counts(std::int32_t depth);
inline constexpr std::int32_t kDeepestSierpinskiDepth = 19;  // depth 20 passes 2^31 - 1 vertices

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

}  // namespace famgen
