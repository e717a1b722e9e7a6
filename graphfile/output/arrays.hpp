// A graph's arrays in memory: the compressed sparse rows of a range of its vertices (xadj, the
// offsets of the range's lines from 0; adjncy, their entries, vertices numbered from 0 across
// the whole graph, in the order of the METIS file, relabelled as -permute relabels them) in
// 32-bit or 64-bit indices, with the vertex and edge weights if asked (vwgt, adjwgt, as METIS
// takes them, of the same width), and the positions as doubles, GraphFacts::dimension a vertex.
//
// Filled on threads without a copy: the lines are cut into jobs; a degree pass writes each
// line's entry count into xadj, job by job; the jobs' totals give each job its offset in adjncy,
// which is then allocated at its exact size; and each job turns its part of xadj into offsets
// and writes its entries straight into adjncy at its offset. Besides the arrays, memory holds a
// word per job. Every size is checked before anything is allocated: indices that 32 bits cannot
// hold are refused, never wrapped, and arrays beyond the memory the system has available are
// refused before a byte is filled.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <utility>

#include "graphfile/graph.hpp"
#include "graphfile/output/plan.hpp"

namespace famgen {

// Memory from malloc, released with free: what C callers and NumPy are handed.
struct FreeMemory {
  void operator()(void* block) const { std::free(block); }
};
using MallocBlock = std::unique_ptr<void, FreeMemory>;

struct ArrayRequest {
  // The vertices whose lines the arrays hold, [first, last) numbered from 0; absent: all.
  std::optional<std::pair<Vertex, Vertex>> range;
  int index_bytes = 4;    // of xadj's and adjncy's numbers: 4 or 8
  bool adjacency = true;  // xadj and adjncy
  bool positions = false;
  ThreadRequest threads;  // absent: on the calling thread alone
  RelabelSeed seed;
  // The vertex and edge weights beside xadj and adjncy (with adjacency alone); null: none.
  const WeightRequest* weights = nullptr;
};

struct GraphArrays {
  Vertex vertex_count = 0;  // of the whole graph
  Vertex first = 0;         // the range, numbered from 0
  Vertex last = 0;
  std::int64_t entries = 0;    // adjncy's
  int dimension = 0;           // coordinates a vertex in positions
  MallocBlock xadj;            // last - first + 1 numbers
  MallocBlock adjncy;          // entries numbers
  MallocBlock positions;       // (last - first) × dimension doubles
  int constraints = 0;         // vertex weights a vertex in vwgt
  MallocBlock vwgt;            // (last - first) × constraints numbers, vertex by vertex
  MallocBlock adjwgt;          // entries numbers, each the weight of adjncy's entry there
  bool out_of_memory = false;  // the request failed for want of memory
};

// Fills arrays (emptied first) with what the request asks of the graph. A refusal leaves them
// empty.
class ArrayDestination final : public ArrayTarget {
 public:
  ArrayDestination(ArrayRequest request, GraphArrays& arrays)
      : request_(std::move(request)), arrays_(arrays) {}
  Outcome fill(const ArraySource& source) const override;

 private:
  ArrayRequest request_;
  GraphArrays& arrays_;
};

// The bytes the process can allocate now without the system running out: the memory and swap
// the system has available, or less where a memory control group limits the process.
std::uint64_t available_memory();

}  // namespace famgen
