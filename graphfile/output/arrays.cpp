#include "graphfile/output/arrays.hpp"

#include <sys/mman.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <limits>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "graphfile/layouts/weighted_lines.hpp"
#include "graphfile/output/graph_file.hpp"
#include "graphfile/relabelling.hpp"
#include "graphfile/weights.hpp"

namespace famgen {

namespace {

// Entries a job lists, about: its part of the arrays (1 to 2 MiB) stays in the cache between
// the pass that counts and the pass that fills, and a graph has jobs enough for every thread.
constexpr double kJobEntries = 1 << 18;

constexpr std::int64_t kMostIndex32 = std::numeric_limits<std::int32_t>::max();

// What the process's address-space limit leaves of its address space, when it has one: the
// limit less the address space already mapped (VmSize).
std::optional<std::uint64_t> address_space_room() {
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
  std::ifstream status("/proc/self/status");
  std::string key;
  std::string rest;
  while (status >> key) {
    if (key == "VmSize:") {
      std::uint64_t kilobytes = 0;
      if (!(status >> kilobytes)) break;
      const std::uint64_t mapped = kilobytes * 1024;
      return limit.rlim_cur > mapped ? limit.rlim_cur - mapped : 0;
    }
    std::getline(status, rest);
  }
  return std::nullopt;
}

Outcome out_of_memory(GraphArrays& arrays, std::uint64_t bytes, std::uint64_t available) {
  arrays = {};
  arrays.out_of_memory = true;
  // Under an address-space limit (ulimit -v) that binds before the system's memory, say so.
  const std::optional<std::uint64_t> room = address_space_room();
  if (room && *room <= available) {
    return refused("the arrays need " + human_size(bytes) +
                   ", and the address-space limit (ulimit -v) leaves " + human_size(*room));
  }
  return refused("the arrays need " + human_size(bytes) + ", and " + human_size(available) +
                 " of memory is available");
}

// At least a byte, so that empty arrays too are memory of their own to hand over and free.
// Filling arrays of gigabytes costs mostly the page faults of their first touch: the whole
// 2 MiB pages inside a large block are asked to be huge, which cuts the faults by 512. The block
// stays malloc's, released with free.
MallocBlock allocate(std::uint64_t bytes) {
  if (bytes > static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max())) return {};
  void* const block = std::malloc(static_cast<std::size_t>(std::max<std::uint64_t>(bytes, 1)));
  constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
  if (block != nullptr && bytes >= 2 * kHugePage) {
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (start + bytes) & ~(kHugePage - 1);
    madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);  // a hint alone
  }
  return MallocBlock(block);
}

// The lines first..last of the range, cut into jobs of about kJobEntries entries.
class ArrayJobs {
 public:
  ArrayJobs(const GraphFacts& facts, const Relabelling* relabelling, Vertex first, Vertex last)
      : relabelling_(relabelling), first_(first), last_(last) {
    const double per_line =
        std::max(1.0, static_cast<double>(facts.counts.arcs) /
                          static_cast<double>(std::max<Vertex>(1, facts.line_count())));
    lines_per_job_ = std::clamp<Vertex>(static_cast<Vertex>(kJobEntries / per_line), 1,
                                        OutputPlan::kMostLinesPerJob);
    count_ = static_cast<std::uint64_t>((last - first + 1 + lines_per_job_ - 1) / lines_per_job_);
  }
  std::uint64_t count() const { return count_; }
  ArrayJob job(std::uint64_t index) const {
    const Vertex first = first_ + static_cast<Vertex>(index) * lines_per_job_;
    return {relabelling_, first, std::min(last_, first + lines_per_job_ - 1)};
  }
  // Where a job's lines start among the range's, from 0.
  std::size_t offset(const ArrayJob& job) const {
    return static_cast<std::size_t>(job.first - first_);
  }

 private:
  const Relabelling* relabelling_;
  Vertex first_;
  Vertex last_;
  Vertex lines_per_job_ = 1;
  std::uint64_t count_ = 0;
};

// work(index) for every job, on the calling thread alone or on threads that take the jobs in
// turn.
template <class Work>
void for_each_job(std::uint64_t count, ThreadRequest threads, const Work& work) {
  std::atomic<std::uint64_t> next{0};
  const auto take_jobs = [&] {
    for (std::uint64_t index = next.fetch_add(1, std::memory_order_relaxed); index < count;
         index = next.fetch_add(1, std::memory_order_relaxed)) {
      work(index);
    }
  };
  std::vector<std::thread> helpers;
  const int thread_count = threads ? thread_count_for(*threads, count) : 1;
  for (int i = 1; i < thread_count; ++i) {
    try {
      helpers.emplace_back(take_jobs);
    } catch (const std::system_error&) {
      break;  // fewer threads than asked for: the ones there are do the work
    }
  }
  take_jobs();
  for (std::thread& helper : helpers)
    helper.join();
}

struct Filling {
  const ArraySource& source;
  const ArrayJobs& jobs;
  const ArrayRequest& request;
  GraphArrays& arrays;
  const WeightCalculator* weights = nullptr;  // with vertex or edge weights
};

// The degree pass: line k of the range has its entry count at xadj[k + 1]; each job's total
// at totals[job].
template <class Index>
void count_entries(const Filling& filling, std::vector<std::uint64_t>& totals) {
  auto* const xadj = static_cast<Index*>(filling.arrays.xadj.get());
  xadj[0] = 0;
  for_each_job(filling.jobs.count(), filling.request.threads, [&](std::uint64_t index) {
    const ArrayJob job = filling.jobs.job(index);
    Index* const degrees = xadj + 1 + filling.jobs.offset(job);
    filling.source.count_entries(job, degrees);
    std::uint64_t total = 0;
    for (Vertex k = 0; k <= job.last - job.first; ++k)
      total += static_cast<std::uint64_t>(degrees[k]);
    totals[index] = total;
  });
}

// The weights of the lines that xadj and adjncy hold, job by job: each line's vertex weights
// at vwgt, each entry's edge weight at adjwgt beside it, of the vertices and edges in the
// family's own numbering, whatever numbering the arrays are in.
constexpr std::size_t kWeightBatch = 256;

template <class Index>
void weigh_job(const Filling& filling, const WeightCalculator& weights, std::uint64_t index,
               std::uint64_t start) {
  const auto* const xadj = static_cast<const Index*>(filling.arrays.xadj.get());
  const auto* const adjncy = static_cast<const Index*>(filling.arrays.adjncy.get());
  auto* const vwgt = static_cast<Index*>(filling.arrays.vwgt.get());
  auto* const adjwgt = static_cast<Index*>(filling.arrays.adjwgt.get());
  const auto constraints = static_cast<std::size_t>(weights.constraints());
  const ArrayJob job = filling.jobs.job(index);
  const std::size_t offset = filling.jobs.offset(job);
  const auto lines = static_cast<std::size_t>(job.last - job.first + 1);
  const Relabelling* const relabelling = job.relabelling;
  // Where line k of the job starts in adjncy: the job's start for its first line, whose
  // offset before it belongs to the job before, which another thread may still be writing.
  const auto line_start = [&](std::size_t k) {
    return k == 0 ? static_cast<std::int64_t>(start) : static_cast<std::int64_t>(xadj[offset + k]);
  };
  const auto vertex_of = [&](std::size_t k) {  // line offset + k's, in the family's numbering
    const Vertex line = job.first + static_cast<Vertex>(k);
    return relabelling != nullptr ? relabelling->backward(line) : line;
  };
  // Batches of lines, then batches of entries across lines, each weighed in one call.
  Vertex ends[kWeightBatch];
  Vertex others[kWeightBatch];
  std::int64_t degrees[kWeightBatch];
  std::int64_t found[kWeightBatch * kMostConstraints];
  for (std::size_t first = 0; vwgt != nullptr && first < lines; first += kWeightBatch) {
    const std::size_t count = std::min(lines - first, kWeightBatch);
    for (std::size_t k = 0; k < count; ++k) {
      const std::size_t at = offset + first + k;
      ends[k] = vertex_of(first + k);
      degrees[k] = static_cast<std::int64_t>(xadj[at + 1]) - line_start(first + k);
    }
    weights.vertex_weights(ends, degrees, static_cast<std::int64_t>(count), found);
    Index* const out = vwgt + (offset + first) * constraints;
    for (std::size_t k = 0; k < count * constraints; ++k)
      out[k] = static_cast<Index>(found[k]);
  }
  if (adjwgt == nullptr) return;
  if (relabelling == nullptr && weights.uniform_edges()) {
    // The common case in one loop: each line's entries weighed where they lie.
    for (std::size_t k = 0; k < lines; ++k) {
      const Vertex vertex = job.first + static_cast<Vertex>(k);
      const auto last = static_cast<std::size_t>(xadj[offset + k + 1]);
      for (auto j = static_cast<std::size_t>(line_start(k)); j < last; ++j) {
        adjwgt[j] = static_cast<Index>(
            weights.uniform_edge_weight(vertex, static_cast<Vertex>(adjncy[j]) + 1));
      }
    }
    return;
  }
  const auto begin = static_cast<std::size_t>(start);
  const auto end = static_cast<std::size_t>(xadj[offset + lines]);
  std::size_t line = 0;  // of the job, whose entries hold entry j
  Vertex vertex = vertex_of(0);
  for (std::size_t from = begin; from < end; from += kWeightBatch) {
    const std::size_t count = std::min(end - from, kWeightBatch);
    for (std::size_t j = 0; j < count; ++j) {
      while (static_cast<std::size_t>(xadj[offset + line + 1]) <= from + j)
        vertex = vertex_of(++line);
      const Vertex entry = static_cast<Vertex>(adjncy[from + j]) + 1;
      ends[j] = vertex;
      others[j] = relabelling != nullptr ? relabelling->backward(entry) : entry;
    }
    weights.edge_weights(ends, others, static_cast<std::int64_t>(count), found);
    for (std::size_t j = 0; j < count; ++j)
      adjwgt[from + j] = static_cast<Index>(found[j]);
  }
}

// The weight arrays, allocated once adjncy's size is known; nothing when they are.
template <class Index>
std::optional<Outcome> allocate_weights(GraphArrays& arrays, const WeightCalculator& weights) {
  const auto lines = static_cast<std::uint64_t>(arrays.last - arrays.first);
  const std::uint64_t vwgt_bytes = saturating_multiply(
      saturating_multiply(lines, static_cast<std::uint64_t>(weights.constraints())), sizeof(Index));
  const std::uint64_t adjwgt_bytes =
      weights.edges()
          ? saturating_multiply(static_cast<std::uint64_t>(arrays.entries), sizeof(Index))
          : 0;
  const std::uint64_t need = saturating_add(vwgt_bytes, adjwgt_bytes);
  const std::uint64_t available = available_memory();
  if (need > available) return out_of_memory(arrays, need, available);
  arrays.constraints = weights.constraints();
  if (vwgt_bytes > 0) {
    arrays.vwgt = allocate(vwgt_bytes);
    if (!arrays.vwgt) return out_of_memory(arrays, need, available_memory());
  }
  if (adjwgt_bytes > 0) {
    arrays.adjwgt = allocate(adjwgt_bytes);
    if (!arrays.adjwgt) return out_of_memory(arrays, need, available_memory());
  }
  return std::nullopt;
}

// Each job turns its degrees into offsets from its start (starts[job]) and lists its entries
// there; the positions, when asked, along with them.
template <class Index>
void fill_entries(const Filling& filling, const std::vector<std::uint64_t>& starts) {
  auto* const xadj = static_cast<Index*>(filling.arrays.xadj.get());
  auto* const adjncy = static_cast<Index*>(filling.arrays.adjncy.get());
  auto* const positions = static_cast<double*>(filling.arrays.positions.get());
  const auto dimension = static_cast<std::size_t>(filling.arrays.dimension);
  for_each_job(filling.jobs.count(), filling.request.threads, [&](std::uint64_t index) {
    const ArrayJob job = filling.jobs.job(index);
    const std::size_t line = filling.jobs.offset(job);
    Index running = static_cast<Index>(starts[index]);
    for (Vertex k = 0; k <= job.last - job.first; ++k) {
      running += xadj[line + 1 + static_cast<std::size_t>(k)];
      xadj[line + 1 + static_cast<std::size_t>(k)] = running;
    }
    filling.source.list_entries(job, adjncy + starts[index]);
    // The job's weights while its entries are in the cache.
    if (filling.weights != nullptr) {
      weigh_job<Index>(filling, *filling.weights, index, starts[index]);
    }
    if (positions != nullptr) filling.source.list_positions(job, positions + line * dimension);
  });
}

void fill_positions(const Filling& filling) {
  auto* const positions = static_cast<double*>(filling.arrays.positions.get());
  const auto dimension = static_cast<std::size_t>(filling.arrays.dimension);
  for_each_job(filling.jobs.count(), filling.request.threads, [&](std::uint64_t index) {
    const ArrayJob job = filling.jobs.job(index);
    filling.source.list_positions(job, positions + filling.jobs.offset(job) * dimension);
  });
}

template <class Index>
Outcome fill_adjacency(const Filling& filling, bool whole) {
  GraphArrays& arrays = filling.arrays;
  std::vector<std::uint64_t> starts(filling.jobs.count());
  count_entries<Index>(filling, starts);
  std::uint64_t entries = 0;
  for (std::uint64_t& start : starts)
    entries += std::exchange(start, entries);
  if (sizeof(Index) == 4 && entries > kMostIndex32) {
    arrays = {};
    return refused("32-bit indices cannot hold the " + std::to_string(entries) +
                   " entries of these vertices' lines (at most " + std::to_string(kMostIndex32) +
                   "): ask for 64-bit indices");
  }
  const std::uint64_t bytes = saturating_multiply(entries, sizeof(Index));
  // A whole graph's entries were known, and weighed against the memory, before anything was
  // allocated; a range's are known now.
  if (!whole) {
    const std::uint64_t available = available_memory();
    if (bytes > available) return out_of_memory(arrays, bytes, available);
  }
  arrays.adjncy = allocate(bytes);
  if (!arrays.adjncy) return out_of_memory(arrays, bytes, available_memory());
  arrays.entries = static_cast<std::int64_t>(entries);
  if (filling.weights != nullptr) {
    if (std::optional<Outcome> failure = allocate_weights<Index>(arrays, *filling.weights)) {
      return std::move(*failure);
    }
  }
  fill_entries<Index>(filling, starts);
  return {};
}

// A number from a file of the system, or nothing.
std::optional<std::uint64_t> read_number(const char* path) {
  std::ifstream file(path);
  std::uint64_t value = 0;
  if (file >> value) return value;
  return std::nullopt;
}

}  // namespace

std::uint64_t available_memory() {
  // MemAvailable: what can be had without swapping, caches given back included.
  std::uint64_t available = std::numeric_limits<std::uint64_t>::max();
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  std::uint64_t kilobytes = 0;
  std::uint64_t known = 0;
  std::string unit;
  while (meminfo >> key >> kilobytes) {
    if (key == "MemAvailable:" || key == "SwapFree:") known += kilobytes * 1024;
    std::getline(meminfo, unit);
  }
  if (known > 0) available = known;
  // A control group's limit, version 2 then version 1 ("max" reads as no number).
  const auto limit_of = [&](const char* limit_path, const char* usage_path) {
    const std::optional<std::uint64_t> limit = read_number(limit_path);
    const std::optional<std::uint64_t> usage = read_number(usage_path);
    if (limit && usage) available = std::min(available, *limit > *usage ? *limit - *usage : 0);
  };
  limit_of("/sys/fs/cgroup/memory.max", "/sys/fs/cgroup/memory.current");
  limit_of("/sys/fs/cgroup/memory/memory.limit_in_bytes",
           "/sys/fs/cgroup/memory/memory.usage_in_bytes");
  if (const std::optional<std::uint64_t> room = address_space_room()) {
    available = std::min(available, *room);
  }
  return available;
}

Outcome ArrayDestination::fill(const ArraySource& source) const {
  GraphArrays& arrays = arrays_;
  arrays = {};
  const GraphFacts& facts = source.facts();
  const Vertex vertex_count = facts.line_count();
  const auto [first, last] = request_.range.value_or(std::pair<Vertex, Vertex>{0, vertex_count});
  if (first < 0 || first > last || last > vertex_count) {
    return refused("the vertices [" + std::to_string(first) + ", " + std::to_string(last) +
                   ") are not a range of the graph's " + std::to_string(vertex_count) +
                   " vertices (0 <= first <= last <= " + std::to_string(vertex_count) + ")");
  }
  const bool wide = request_.index_bytes == 8;
  const bool whole = first == 0 && last == vertex_count;
  if (request_.adjacency && !wide) {
    if (vertex_count > kMostIndex32) {
      return refused("32-bit indices cannot number the " + std::to_string(vertex_count) +
                     " vertices of this graph (at most " + std::to_string(kMostIndex32) +
                     "): ask for 64-bit indices");
    }
    if (whole && facts.counts.arcs > kMostIndex32) {
      return refused("32-bit indices cannot hold the " + std::to_string(facts.counts.arcs) +
                     " entries of this graph (at most " + std::to_string(kMostIndex32) +
                     "): ask for 64-bit indices");
    }
  }

  // Weights that do not fit the graph, or whose sums pass the indices, are refused first.
  GraphFacts weighed = facts;
  const WeightRequest* const weight_request =
      request_.adjacency && request_.weights != nullptr && request_.weights->any()
          ? request_.weights
          : nullptr;
  if (weight_request != nullptr) weighed.weights = weight_request->facts();
  std::optional<WeightCalculator> weights;
  if (weight_request != nullptr) {
    weights.emplace(*weight_request, source.lines(), weighed);
    if (std::optional<std::string> why = weights->refusal()) return refused(*why);
  }

  // Every array's size, weighed against the memory before any is allocated.
  const auto lines = static_cast<std::uint64_t>(last - first);
  const std::uint64_t index_bytes = wide ? 8 : 4;
  const std::uint64_t xadj_bytes =
      request_.adjacency ? saturating_multiply(lines + 1, index_bytes) : 0;
  const std::uint64_t positions_bytes =
      request_.positions
          ? saturating_multiply(
                saturating_multiply(lines, static_cast<std::uint64_t>(facts.dimension)),
                sizeof(double))
          : 0;
  const std::uint64_t known_entries =
      request_.adjacency && whole
          ? static_cast<std::uint64_t>(std::max<std::int64_t>(0, facts.counts.arcs))
          : 0;
  // The weights: a number a constraint a line, and one an entry.
  const std::uint64_t weight_words =
      weights ? saturating_add(
                    saturating_multiply(lines, static_cast<std::uint64_t>(weights->constraints())),
                    weights->edges() ? known_entries : 0)
              : 0;
  const std::uint64_t need =
      saturating_add(saturating_add(xadj_bytes, positions_bytes),
                     saturating_multiply(saturating_add(known_entries, weight_words), index_bytes));
  const std::uint64_t available = available_memory();
  if (need > available) return out_of_memory(arrays, need, available);
  if (request_.adjacency) {
    arrays.xadj = allocate(xadj_bytes);
    if (!arrays.xadj) return out_of_memory(arrays, need, available_memory());
  }
  if (request_.positions) {
    arrays.positions = allocate(positions_bytes);
    if (!arrays.positions) return out_of_memory(arrays, need, available_memory());
  }
  arrays.vertex_count = vertex_count;
  arrays.first = first;
  arrays.last = last;
  arrays.dimension = request_.positions ? facts.dimension : 0;

  std::optional<Relabelling> relabelling;
  if (request_.seed) relabelling.emplace(vertex_count, *request_.seed);
  const ArrayJobs jobs(facts, relabelling ? &*relabelling : nullptr, first + 1, last);
  const Filling filling{source, jobs, request_, arrays, weights ? &*weights : nullptr};
  if (!request_.adjacency) {
    fill_positions(filling);
    return {};
  }
  return wide ? fill_adjacency<std::int64_t>(filling, whole)
              : fill_adjacency<std::int32_t>(filling, whole);
}

}  // namespace famgen
