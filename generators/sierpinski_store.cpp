#include "generators/sierpinski_store.hpp"

#include <sys/mman.h>

#include <cassert>

namespace famgen {

namespace {

std::int64_t power_of_three(std::int32_t exponent) {
  std::int64_t power = 1;
  for (std::int32_t i = 0; i < exponent; ++i)
    power *= 3;
  return power;
}

}  // namespace

std::optional<GraphCounts> sierpinski_counts(std::int32_t depth) {
  // 3^(depth + 1) fits in 64 bits up to depth 38.
  if (depth < 0 || depth > 38) return std::nullopt;
  const std::int64_t corners_of_smallest = power_of_three(depth);
  const std::int64_t edges = 3 * corners_of_smallest;
  return GraphCounts{(corners_of_smallest - 1) / 2 * 3 + 3, edges, 2 * edges, 0};
}

namespace {

// Appends two neighbours to a list. The graph's largest degree is 4, which the store is sized
// for: vertices 1, 2 and 3 join one smallest triangle and every other vertex two.
void append_pair(NeighbourList& list, std::int32_t first, std::int32_t second) {
  assert(list.count <= 2);
  list.neighbours[list.count] = first;
  list.neighbours[list.count + 1] = second;
  list.count += 2;
}

}  // namespace

void sierpinski_subdivide(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t depth,
                          SierpinskiStore& store) {
  // Each pass takes three numbers, subdivides the sub-triangles at a and at b, and then makes
  // the one at c the current triangle: the third recursive call done in place, so the numbers
  // come out in the pre-order of the plain recursion.
  for (std::int32_t i = 0; i < depth; ++i) {
    const std::int32_t m = store.next_vertex;
    store.next_vertex = m + 3;
    // m + 1, m + 2, m + 3 are the midpoints of a-c, a-b and b-c.
    sierpinski_subdivide(a, m + 1, m + 2, depth - 1 - i, store);
    sierpinski_subdivide(b, m + 2, m + 3, depth - 1 - i, store);
    a = c;
    b = m + 1;
    c = m + 3;
  }
  append_pair(*store.index[a], b, c);
  append_pair(*store.index[b], a, c);
  append_pair(*store.index[c], a, b);
}

MemoryBlock::MemoryBlock(std::size_t bytes) : bytes_(bytes) {
  void* block = mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) return;
  madvise(block, bytes_, MADV_HUGEPAGE);  // a hint: without it the block still works
  data_ = block;
}

MemoryBlock::~MemoryBlock() {
  if (data_ != nullptr) munmap(data_, bytes_);
}

SierpinskiBuild::SierpinskiBuild(std::int32_t depth)
    : vertex_count_(static_cast<std::size_t>(sierpinski_counts(depth)->vertices)),
      store_bytes_((vertex_count_ + 1) * sizeof(NeighbourList*) +
                   vertex_count_ * (sizeof(NeighbourList) + 4 * sizeof(std::int32_t))),
      index_((vertex_count_ + 1) * sizeof(NeighbourList*)),
      records_(vertex_count_ * sizeof(NeighbourList)),
      slots_(4 * vertex_count_ * sizeof(std::int32_t)) {
  if (!index_.data() || !records_.data() || !slots_.data()) return;
  auto* const index = static_cast<NeighbourList**>(index_.data());
  auto* const records = static_cast<NeighbourList*>(records_.data());
  auto* const slots = static_cast<std::int32_t*>(slots_.data());
  index[0] = nullptr;
  for (std::size_t k = 1; k <= vertex_count_; ++k) {
    index[k] = &records[k - 1];
    records[k - 1] = NeighbourList{0, &slots[4 * (k - 1)]};
  }
  store_.index = index;
  sierpinski_subdivide(1, 2, 3, depth, store_);
}

}  // namespace famgen
