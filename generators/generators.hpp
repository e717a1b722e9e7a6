// One generator per family. Each works out its counts, writes its file through GraphFile in
// vertex order, and closes it. The counts functions are separate so that a caller (the tests,
// the fuzzer's size limit) can ask how big a graph is without writing it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "graphfile/graph_file.hpp"

// What a run hands back to main, the one place that prints and picks the exit status.
struct Outcome {
  int status = 0;       // the exit status; -1 (seen as 255) when the file failed
  std::string message;  // for standard output: the message of a failed size check
  std::string error;    // for standard error: why the run failed
};

// The vertex count and the edge figure of the counts line.
struct GraphCounts {
  std::int64_t vertices = 0;
  std::int64_t edges = 0;
};

// Exit status of a run refused before any file is touched (sizes too large, no memory).
inline constexpr int kStatusRefused = 1;

inline Outcome refused(const std::string& why) {
  return {kStatusRefused, {}, "famgen: " + why};
}

// Closes the file and turns its close status into the run's outcome.
inline Outcome finish_graph_file(GraphFile& file) {
  const int status = close_graph_file(file);
  return {status, {}, file.error};
}

// Each counts function returns nothing when a figure of the graph (vertex count, edge figure
// or largest vertex number) does not fit in a signed 64-bit integer.
std::optional<GraphCounts> circle_counts(std::int32_t n);

Outcome generate_circle(std::int32_t first_size, const std::string& output_name);

// R rows of W vertices; folded and partial are 0 or 1.
std::optional<GraphCounts> grid_counts(std::int32_t rows, std::int32_t row_length, bool folded,
                                       bool partial);
Outcome generate_grid(std::int32_t first_size, std::int32_t second_size,
                      const std::string& output_name, int folded, int partial);

std::optional<GraphCounts> star_counts(std::int32_t n);
Outcome generate_star(std::int32_t first_size, const std::string& output_name);

// A rings of B vertices.
std::optional<GraphCounts> torus_counts(std::int32_t rings, std::int32_t ring_length);
Outcome generate_torus(std::int32_t first_size, std::int32_t second_size,
                       const std::string& output_name);
std::optional<GraphCounts> cylinder_counts(std::int32_t rings, std::int32_t ring_length);
Outcome generate_cylinder(std::int32_t first_size, std::int32_t second_size,
                          const std::string& output_name);

std::optional<GraphCounts> binary_tree_counts(std::int32_t depth);
Outcome generate_binary_tree(std::int32_t first_size, const std::string& output_name);

std::optional<GraphCounts> hypercube_counts(std::int32_t dimension);
Outcome generate_hypercube(std::int32_t first_size, const std::string& output_name);

// graph_count complete graphs of graph_size vertices; the edge figure is twice the edges.
std::optional<GraphCounts> complete_graphs_counts(std::int32_t graph_size,
                                                  std::int32_t graph_count);
Outcome generate_complete_graphs(std::int32_t first_size, std::int32_t second_size,
                                 const std::string& output_name, bool header_suppressed);

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
// on construction, released with the object.
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
Outcome generate_sierpinski(std::int32_t first_size, const std::string& output_name);
