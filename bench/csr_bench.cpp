// The library's arrays against the limit: famgen::csr filling the CSR of a graph on N threads,
// against the same threads first-touching and writing arrays of the same sizes (malloc, then a
// store to every word), in 32-bit and 64-bit indices. Every timed run comes after a warm-up run of
// the same kind, the two kinds alternate, and each figure is the median of the rounds. Each
// case's peak memory is that of a child process that fills the arrays once, beside the arrays'
// own size. A weighted case fills vwgt and adjwgt too, and its limit writes them as well.
// Usage: csr_bench [--quick] [--rounds N] [--threads N]
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "famgen/famgen.hpp"

namespace {

struct Case {
  famgen::Graph graph;
  std::string name;
};

struct Options {
  bool quick = false;
  int rounds = 3;
  int threads = 2;
};

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The arrays' bytes, filled; false when the library refused.
template <class Index>
bool fill(const famgen::Graph& graph, int threads, std::uint64_t& bytes) {
  const famgen::Result<famgen::Csr<Index>> arrays = famgen::csr<Index>(graph, {.threads = threads});
  if (!arrays) {
    std::fprintf(stderr, "%s\n", arrays.error().message.c_str());
    return false;
  }
  bytes =
      (arrays->xadj.size() + arrays->adjncy.size() + arrays->vwgt.size() + arrays->adjwgt.size()) *
      sizeof(Index);
  return true;
}

// Memory as the library takes it: malloc, its whole 2 MiB pages asked to be huge.
void* allocate(std::uint64_t bytes) {
  void* const block = std::malloc(bytes);
  constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
  const auto start = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t end = (start + bytes) & ~(kHugePage - 1);
  if (block != nullptr && end > first)
    madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
  return block;
}

// The limit: arrays of the same sizes allocated as the library allocates them, and every word
// written once by the threads, each its share of each array.
template <class Index>
void touch_and_write(const std::vector<std::uint64_t>& sizes, int threads) {
  std::vector<Index*> arrays;
  for (const std::uint64_t size : sizes) {
    arrays.push_back(
        static_cast<Index*>(allocate(std::max<std::uint64_t>(size, 1) * sizeof(Index))));
    if (arrays.back() == nullptr) std::abort();
  }
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&, t] {
      for (std::size_t a = 0; a < arrays.size(); ++a) {
        const std::uint64_t first = sizes[a] * static_cast<std::uint64_t>(t) / threads;
        const std::uint64_t last = sizes[a] * static_cast<std::uint64_t>(t + 1) / threads;
        for (std::uint64_t k = first; k < last; ++k)
          arrays[a][k] = static_cast<Index>(k);
      }
    });
  }
  for (std::thread& worker : workers)
    worker.join();
  // Read one word back, so that the stores cannot be dropped.
  if (arrays[1][sizes[1] / 2] != static_cast<Index>(sizes[1] / 2)) std::abort();
  for (Index* array : arrays)
    std::free(array);
}

// The peak resident memory of a fresh process of this program run with these arguments.
std::uint64_t peak_of(const std::vector<std::string>& arguments) {
  const pid_t child = fork();
  if (child == 0) {
    std::vector<char*> argv = {const_cast<char*>("csr_bench")};
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv("/proc/self/exe", argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
}

template <class Index>
void run_case(const Case& example, const Options& options) {
  const famgen::Result<famgen::GraphInfo> info = famgen::info(example.graph);
  if (!info) return;
  const auto offsets = static_cast<std::uint64_t>(info->vertex_count) + 1;
  const auto entries = static_cast<std::uint64_t>(info->entries);
  std::vector<std::uint64_t> sizes = {offsets, entries};
  if (!example.graph.vertex_weights.empty()) sizes.push_back(offsets - 1);  // one constraint
  if (!example.graph.edge_weights.empty()) sizes.push_back(entries);
  std::uint64_t bytes = 0;
  std::vector<double> ours;
  std::vector<double> limit;
  for (int round = 0; round < options.rounds; ++round) {
    // Each kind warmed by a run of its own just before it is timed.
    for (int timed = 0; timed < 2; ++timed) {
      const auto start = std::chrono::steady_clock::now();
      if (!fill<Index>(example.graph, options.threads, bytes)) return;
      if (timed) ours.push_back(seconds_since(start));
    }
    for (int timed = 0; timed < 2; ++timed) {
      const auto start = std::chrono::steady_clock::now();
      touch_and_write<Index>(sizes, options.threads);
      if (timed) limit.push_back(seconds_since(start));
    }
  }
  // The peak of a process that fills the arrays once, and of one that fills an empty graph's.
  const std::string width = std::to_string(sizeof(Index) * 8);
  const std::string threads = std::to_string(options.threads);
  const std::uint64_t baseline =
      peak_of({"--fill", "completegraph", ";", "1", "0", width, threads});
  std::vector<std::string> arguments = {
      "--fill", example.graph.family,
      example.graph.vertex_weights + ";" + example.graph.edge_weights};
  for (const std::int64_t size : example.graph.sizes)
    arguments.push_back(std::to_string(size));
  arguments.insert(arguments.end(), {width, threads});
  const std::uint64_t peak = peak_of(arguments);
  const double ours_median = median(ours);
  const double limit_median = median(limit);
  std::printf(
      "| %s | %d-bit | %.2f GB | %.3f s | %.3f s | %.2f | %.0f | %.2f GB | %+.1f MB |\n",
      example.name.c_str(), static_cast<int>(sizeof(Index) * 8), bytes / 1e9, ours_median,
      limit_median, ours_median / limit_median, static_cast<double>(entries) / ours_median / 1e6,
      peak / 1e9,
      (static_cast<double>(peak) - static_cast<double>(bytes) - static_cast<double>(baseline)) /
          1e6);
  std::fflush(stdout);
}

}  // namespace

// --fill FAMILY VERTEX_WEIGHTS;EDGE_WEIGHTS SIZE... BITS THREADS: the arrays made once, for
// peak_of.
int fill_once(int argc, char** argv) {
  famgen::Graph graph{.family = argv[2]};
  const std::string weights = argv[3];
  graph.vertex_weights = weights.substr(0, weights.find(';'));
  graph.edge_weights = weights.substr(weights.find(';') + 1);
  for (int i = 4; i + 2 < argc; ++i)
    graph.sizes.push_back(std::atoll(argv[i]));
  std::uint64_t bytes = 0;
  const int threads = std::atoi(argv[argc - 1]);
  const bool filled = std::string(argv[argc - 2]) == "64"
                          ? fill<std::int64_t>(graph, threads, bytes)
                          : fill<std::int32_t>(graph, threads, bytes);
  return filled ? 0 : 1;
}

int main(int argc, char** argv) {
  if (argc >= 6 && std::string(argv[1]) == "--fill") return fill_once(argc, argv);
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--quick") {
      options.quick = true;
    } else if (argument == "--rounds" && i + 1 < argc) {
      options.rounds = std::max(1, std::atoi(argv[++i]));
    } else if (argument == "--threads" && i + 1 < argc) {
      options.threads = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fputs("usage: csr_bench [--quick] [--rounds N] [--threads N]\n", stderr);
      return 2;
    }
  }
  std::vector<Case> cases;
  if (options.quick) {
    cases.push_back({{.family = "torus", .sizes = {3000, 3000}}, "torus 3000,3000"});
    cases.push_back({{.family = "hypercube", .sizes = {20}}, "hypercube 20"});
    cases.push_back({{.family = "grid", .sizes = {3000, 3000}}, "grid 3000,3000"});
    cases.push_back({{.family = "torus",
                      .sizes = {3000, 3000},
                      .vertex_weights = "uniform:1-20",
                      .edge_weights = "uniform:1-5"},
                     "torus 3000,3000, weighted"});
  } else {
    cases.push_back({{.family = "torus", .sizes = {10000, 10000}}, "torus 10000,10000"});
    cases.push_back({{.family = "torus",
                      .sizes = {10000, 10000},
                      .vertex_weights = "uniform:1-20",
                      .edge_weights = "uniform:1-5"},
                     "torus 10000,10000, weighted"});
    cases.push_back({{.family = "hypercube", .sizes = {24}}, "hypercube 24"});
  }
  std::printf(
      "famgen::csr on %d threads against first-touching and writing the same arrays on "
      "as many; medians of %d warmed runs\n\n",
      options.threads, options.rounds);
  std::printf(
      "| graph | indices | arrays | famgen::csr | touch and write | ratio | M entries/s "
      "| peak memory | beyond the arrays |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|\n");
  for (const Case& example : cases) {
    run_case<std::int32_t>(example, options);
    run_case<std::int64_t>(example, options);
  }
}
