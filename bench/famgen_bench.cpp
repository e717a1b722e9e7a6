// Measures famgen against the limit: the same number of bytes written from memory by
// write_limit, into the same kind of output.
//
// On this kind of machine memory freed a few seconds earlier is slow at its first touch (0.3 to
// 1.5 s a GB, more than the whole write), so every timed run is preceded by a warm-up that
// writes and deletes a file of the run's size: famgen and the limit then see the same memory.
// The first, cold run of each case is reported apart. Runs of a case alternate between famgen
// and the limit, and medians are reported.
//
// Usage: famgen_bench [--quick] [--rounds N] [--dir FOLDER] [--only TABLE]...
//                     [--famgen PATH] [--with ARGUMENT]...
//   TABLE: keywords, meshes, formats, coordinates, permute, pipes, sierpinski, mpi, weights, rgg
//   --famgen: another famgen binary (an earlier build, to compare); --with: an argument added to
//   every famgen run (--with -progress measures what the progress meter costs).
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "generators/families.hpp"
#include "generators/sierpinski.hpp"
#include "graphfile/output/destinations.hpp"

using namespace famgen;

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
  double seconds = 0;
  long peak_kib = 0;
  int status = -1;
};

// Each run starts with no dirty pages left by the one before, so that one run's writeback does
// not land in the next one's time.
Run run(const std::vector<std::string>& arguments) {
  sync();
  std::vector<char*> argv;
  for (const std::string& argument : arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const auto start = Clock::now();
  pid_t child = 0;
  Run result;
  if (posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return result;
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  result.peak_kib = usage.ru_maxrss;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

Run run_shell(const std::string& command) {
  return run({"/bin/sh", "-c", command});
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find(separator, start), text.size());
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

bool same_bytes(const std::string& a, const std::string& b) {
  std::ifstream first(a, std::ios::binary);
  std::ifstream second(b, std::ios::binary);
  std::vector<char> x(1 << 20);
  std::vector<char> y(1 << 20);
  while (first && second) {
    first.read(x.data(), static_cast<std::streamsize>(x.size()));
    second.read(y.data(), static_cast<std::streamsize>(y.size()));
    if (first.gcount() != second.gcount() ||
        std::memcmp(x.data(), y.data(), static_cast<std::size_t>(first.gcount())) != 0) {
      return false;
    }
  }
  return !first && !second;
}

struct Bench {
  bool quick = false;
  int rounds = 3;
  std::filesystem::path folder = std::filesystem::temp_directory_path() / "famgen-bench";
  std::string binary = FAMGEN_BINARY;
  std::vector<std::string> extra;  // --with
  bool failed = false;

  std::string path(const std::string& name) const { return (folder / name).string(); }

  // Touches a file's worth of memory and gives it back, as the run after it will.
  void warm_up(std::uintmax_t bytes) const {
    const std::string file = path("warm-up");
    run({WRITE_LIMIT_BINARY, std::to_string(bytes), file});
    std::filesystem::remove(file);
  }

  std::vector<std::string> famgen(const std::string& keyword, const std::string& sizes,
                                  const std::vector<std::string>& options,
                                  const std::string& out) const {
    std::vector<std::string> arguments = {binary, "-graphtype", keyword, "-size",
                                          sizes,  "-out",       out};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
  }

  void check(const Run& r, const std::string& what) {
    if (r.status != 0) {
      std::fprintf(stderr, "failed (status %d): %s\n", r.status, what.c_str());
      failed = true;
    }
  }
};

struct Versus {
  std::uintmax_t bytes = 0;
  double seconds = 0;  // famgen, warm median
  double limit = 0;    // the limit, warm median
  double cold = 0;     // famgen's first run, without a warm-up
  long peak_kib = 0;
};

// famgen writing a new file against write_limit writing as many bytes.
Versus against_limit(Bench& bench, const std::string& keyword, const std::string& sizes,
                     const std::vector<std::string>& options) {
  const std::string out = bench.path("famgen.out");
  const std::string limit_out = bench.path("limit.out");
  const auto arguments = bench.famgen(keyword, sizes, options, out);
  Versus v;
  const Run cold = run(arguments);
  bench.check(cold, keyword + " " + sizes);
  v.cold = cold.seconds;
  v.bytes = std::filesystem::file_size(out);
  std::filesystem::remove(out);
  std::vector<double> famgen;
  std::vector<double> limit;
  for (int round = 0; round < bench.rounds; ++round) {
    bench.warm_up(v.bytes);
    const Run r = run(arguments);
    bench.check(r, keyword + " " + sizes);
    famgen.push_back(r.seconds);
    v.peak_kib = std::max(v.peak_kib, r.peak_kib);
    std::filesystem::remove(out);
    bench.warm_up(v.bytes);
    limit.push_back(run({WRITE_LIMIT_BINARY, std::to_string(v.bytes), limit_out}).seconds);
    std::filesystem::remove(limit_out);
  }
  v.seconds = median(famgen);
  v.limit = median(limit);
  return v;
}

struct Case {
  std::string keyword;
  std::string sizes;        // full size: 0.5 to 1 GB
  std::string quick_sizes;  // --quick: a tenth
};

const std::vector<Case> kCases = {
    {"grid", "5000,5000", "1600,1600"},
    {"folded_grid", "5000,5000", "1600,1600"},
    {"partial_grid", "5000,5000", "1600,1600"},
    {"partial_folded_grid", "5000,5000", "1600,1600"},
    {"circle", "50000000", "5000000"},
    {"star", "30000000", "3000000"},
    {"torus", "5000,5000", "1600,1600"},
    {"cylinder", "5000,5000", "1600,1600"},
    {"tree", "25", "22"},
    {"hypercube", "22", "19"},
    {"sierpinski", "15", "13"},
    {"completegraph", "3000,15", "1000,15"},
    {"unconnected_completegraph", "3000,15", "1000,15"},
};

const Case& case_of(const std::string& keyword) {
  return *std::find_if(kCases.begin(), kCases.end(),
                       [&](const Case& c) { return c.keyword == keyword; });
}

std::string sizes_of(const Bench& bench, const std::string& keyword) {
  return bench.quick ? case_of(keyword).quick_sizes : case_of(keyword).sizes;
}

const std::vector<std::pair<std::string, std::vector<std::string>>> kModes = {
    {"single pass", {}}, {"-threads 1", {"-threads", "1"}}, {"-threads 2", {"-threads", "2"}}};

void print_versus_header() {
  std::printf("%-26s %-10s %-12s %12s %8s %7s %7s %8s %9s\n", "keyword", "sizes", "mode", "bytes",
              "famgen s", "MB/s", "÷limit", "cold s", "peak MiB");
}

void print_versus(const std::string& keyword, const std::string& sizes, const std::string& mode,
                  const Versus& v) {
  std::printf("%-26s %-10s %-12s %12ju %8.3f %7.0f %7.2f %8.3f %9.1f\n", keyword.c_str(),
              sizes.c_str(), mode.c_str(), v.bytes, v.seconds,
              static_cast<double>(v.bytes) / v.seconds / 1e6, v.seconds / v.limit, v.cold,
              static_cast<double>(v.peak_kib) / 1024);
  std::fflush(stdout);
}

// Every keyword on one thread, on one thread through the job machinery, and on two.
void keywords_table(Bench& bench) {
  std::printf("== every keyword, warm medians of %d, ÷ the raw write of the same bytes\n",
              bench.rounds);
  print_versus_header();
  for (const Case& c : kCases) {
    const std::string sizes = sizes_of(bench, c.keyword);
    for (const auto& [mode, options] : kModes)
      print_versus(c.keyword, sizes, mode, against_limit(bench, c.keyword, sizes, options));
  }
  // A plain stdio writer of the same bytes (one fprintf a number), as a straightforward program
  // would write them; its file must equal famgen's.
  std::printf("\nstdio writer ÷ famgen's single pass:");
  for (const std::string keyword : {"grid", "torus", "hypercube"}) {
    const std::string sizes = sizes_of(bench, keyword);
    const std::string out = bench.path("famgen.out");
    const std::string stdio_out = bench.path("stdio.out");
    std::vector<std::string> stdio = {STDIO_REFERENCE_BINARY, keyword};
    for (const std::string& size : split(sizes, ','))
      stdio.push_back(size);
    stdio.push_back(stdio_out);
    std::vector<double> famgen_seconds;
    std::vector<double> stdio_seconds;
    bool matches = true;
    for (int round = 0; round < bench.rounds; ++round) {
      famgen_seconds.push_back(run(bench.famgen(keyword, sizes, {}, out)).seconds);
      stdio_seconds.push_back(run(stdio).seconds);
      if (round == 0) matches = same_bytes(out, stdio_out);
      std::filesystem::remove(out);
      std::filesystem::remove(stdio_out);
    }
    std::printf(" %s %.1f%s", keyword.c_str(), median(stdio_seconds) / median(famgen_seconds),
                matches ? "" : " (FILES DIFFER)");
    if (!matches) bench.failed = true;
  }
  std::printf("\n\n");
}

// The 3D meshes of the 7-point and the 27-point stencil, in one pass and on two threads.
void meshes_table(Bench& bench) {
  std::printf("== 3D meshes, warm medians of %d, ÷ the raw write of the same bytes\n",
              bench.rounds);
  print_versus_header();
  struct MeshCase {
    std::string sizes;
    std::string quick_sizes;
    std::vector<std::string> options;
  };
  for (const MeshCase& c : {MeshCase{"512,512,512", "240,240,240", {}},
                            MeshCase{"256,256,256", "120,120,120", {"-stencil", "box"}}}) {
    const std::string sizes = bench.quick ? c.quick_sizes : c.sizes;
    for (const auto& [mode, threads] : {kModes[0], kModes[2]}) {
      std::vector<std::string> options = c.options;
      options.insert(options.end(), threads.begin(), threads.end());
      print_versus(c.options.empty() ? "mesh (star)" : "mesh -stencil box", sizes, mode,
                   against_limit(bench, "mesh", sizes, options));
    }
  }
  std::printf("\n");
}

// The random geometric graphs at the size of the benchmark collection's largest, 2^24 points at
// the default radius, in one pass and on two threads (the edge count included).
void rgg_table(Bench& bench) {
  std::printf("== random geometric graphs, warm medians of %d, ÷ the raw write of the same bytes\n",
              bench.rounds);
  print_versus_header();
  const std::string sizes = bench.quick ? "1048576" : "16777216";
  for (const std::string keyword : {"rgg2d", "rgg3d"}) {
    for (const auto& [mode, threads] : {kModes[0], kModes[2]})
      print_versus(keyword, sizes, mode, against_limit(bench, keyword, sizes, threads));
  }
  std::printf("\n");
}

// The 7-point 3D mesh with two vertex weights a vertex and an edge weight an edge (METIS's
// ncon 2, fmt 11), on two threads, beside the same mesh unweighted: in METIS text, in ParHIP's
// binary layout, and relabelled.
void weights_table(Bench& bench) {
  std::printf("== weights with -threads 2, warm medians of %d, ÷ the raw write of the same bytes\n",
              bench.rounds);
  print_versus_header();
  const std::string sizes = bench.quick ? "120,120,120" : "256,256,256";
  const std::vector<std::string> weights = {"-vertex-weights", "uniform:1-100,degree",
                                            "-edge-weights", "uniform:1-20"};
  const std::vector<std::string> one_constraint = {"-vertex-weights", "uniform:1-100",
                                                   "-edge-weights", "uniform:1-20"};
  struct WeightCase {
    std::string mode;
    std::vector<std::string> options;
  };
  const auto with = [](std::vector<std::string> options, const std::vector<std::string>& more) {
    options.insert(options.end(), more.begin(), more.end());
    return options;
  };
  const std::vector<std::string> threads = {"-threads", "2"};
  for (const WeightCase& c :
       {WeightCase{"metis", threads}, WeightCase{"metis, ncon 2", with(threads, weights)},
        WeightCase{"parhip", with(threads, {"-format", "parhip"})},
        WeightCase{"parhip, w", with(with(threads, {"-format", "parhip"}), one_constraint)},
        WeightCase{"metis, w, -permute", with(with(threads, {"-permute", "7"}), weights)}}) {
    print_versus("mesh (star)", sizes, c.mode, against_limit(bench, "mesh", sizes, c.options));
  }
  std::printf("\n");
}

// The graph with its coordinates beside it, on two threads, against the raw write of both
// files' bytes (one after the other, as famgen writes them): families with whole-number
// positions, and those whose positions come from the integer trigonometry.
void coordinates_table(Bench& bench) {
  std::printf(
      "== -coordinates with -threads 2, warm medians of %d, ÷ the raw write of both files\n",
      bench.rounds);
  std::printf("%-10s %-10s %-11s %12s %12s %8s %8s %7s\n", "keyword", "sizes", "layout",
              "graph bytes", "coord bytes", "famgen s", "limit s", "÷limit");
  const std::vector<std::pair<std::string, std::string>> graphs = {
      {"grid", "5000,5000"},  {"tree", "25"},         {"hypercube", "22"},
      {"circle", "30000000"}, {"torus", "4000,4000"}, {"sierpinski", "14"}};
  for (const auto& [keyword, full] : graphs) {
    for (const std::string layout : {"metis", "scotch"}) {
      const std::string sizes = bench.quick ? sizes_of(bench, keyword) : full;
      const std::string out = bench.path("famgen.out");
      const std::string coordinates = bench.path("famgen.xyz");
      auto arguments = bench.famgen(
          keyword, sizes, {"-threads", "2", "-format", layout, "-coordinates", coordinates}, out);
      bench.check(run(arguments), keyword + " -coordinates");
      const auto graph_bytes = std::filesystem::file_size(out);
      const auto coordinate_bytes = std::filesystem::file_size(coordinates);
      const std::string limit = std::string(WRITE_LIMIT_BINARY) + " " +
                                std::to_string(graph_bytes) + " " + bench.path("limit.out") +
                                " && " + WRITE_LIMIT_BINARY + " " +
                                std::to_string(coordinate_bytes) + " " + bench.path("limit.xyz");
      std::vector<double> famgen_seconds;
      std::vector<double> limit_seconds;
      for (int round = 0; round < bench.rounds; ++round) {
        std::filesystem::remove(out);
        std::filesystem::remove(coordinates);
        bench.warm_up(graph_bytes + coordinate_bytes);
        famgen_seconds.push_back(run(arguments).seconds);
        std::filesystem::remove(out);
        std::filesystem::remove(coordinates);
        bench.warm_up(graph_bytes + coordinate_bytes);
        limit_seconds.push_back(run_shell(limit).seconds);
        std::filesystem::remove(bench.path("limit.out"));
        std::filesystem::remove(bench.path("limit.xyz"));
      }
      std::printf("%-10s %-10s %-11s %12ju %12ju %8.3f %8.3f %7.2f\n", keyword.c_str(),
                  sizes.c_str(), layout.c_str(), graph_bytes, coordinate_bytes,
                  median(famgen_seconds), median(limit_seconds),
                  median(famgen_seconds) / median(limit_seconds));
      std::fflush(stdout);
    }
  }
  std::printf("\n");
}

// Every layout of the grid and the hypercube on two threads, each against the raw write of its
// own bytes.
void formats_table(Bench& bench) {
  std::printf("== layouts with -threads 2, warm medians of %d\n", bench.rounds);
  print_versus_header();
  for (const std::string keyword : {"grid", "hypercube"}) {
    const std::string sizes = sizes_of(bench, keyword);
    for (const std::string format : {"metis", "parhip", "scotch", "mtx", "edgelist"}) {
      print_versus(keyword, sizes, format,
                   against_limit(bench, keyword, sizes, {"-threads", "2", "-format", format}));
    }
  }
  std::printf("\n");
}

// -permute against the same run without it, runs alternating.
void permute_table(Bench& bench) {
  std::printf("== -permute 1 ÷ the same run unpermuted, warm medians of %d\n", bench.rounds);
  std::printf("%-10s %-10s %-12s %10s %10s %8s %9s\n", "keyword", "sizes", "mode", "plain s",
              "permuted s", "ratio", "peak MiB");
  for (const std::string keyword : {"grid", "hypercube"}) {
    const std::string sizes = sizes_of(bench, keyword);
    for (const auto& [mode, options] :
         std::vector<std::pair<std::string, std::vector<std::string>>>{
             {"single pass", {}}, {"-threads 2", {"-threads", "2"}}}) {
      const std::string out = bench.path("famgen.out");
      std::vector<std::string> permuted_options = options;
      permuted_options.insert(permuted_options.end(), {"-permute", "1"});
      const auto plain = bench.famgen(keyword, sizes, options, out);
      const auto permuted = bench.famgen(keyword, sizes, permuted_options, out);
      run(plain);
      const std::uintmax_t bytes = std::filesystem::file_size(out);
      std::filesystem::remove(out);
      std::vector<double> plain_seconds;
      std::vector<double> permuted_seconds;
      long peak = 0;
      for (int round = 0; round < bench.rounds; ++round) {
        bench.warm_up(bytes);
        plain_seconds.push_back(run(plain).seconds);
        std::filesystem::remove(out);
        bench.warm_up(bytes);
        const Run r = run(permuted);
        bench.check(r, keyword + " -permute");
        permuted_seconds.push_back(r.seconds);
        peak = std::max(peak, r.peak_kib);
        std::filesystem::remove(out);
      }
      std::printf("%-10s %-10s %-12s %10.3f %10.3f %8.2f %9.1f\n", keyword.c_str(), sizes.c_str(),
                  mode.c_str(), median(plain_seconds), median(permuted_seconds),
                  median(permuted_seconds) / median(plain_seconds),
                  static_cast<double>(peak) / 1024);
      std::fflush(stdout);
    }
  }
  std::printf("\n");
}

// Into a pipe read by cat: famgen against write_limit writing as many bytes into the same kind
// of pipe (both enlarge it to 1 MiB).
void pipes_table(Bench& bench) {
  std::printf("== into a pipe read by cat > /dev/null, medians of %d\n", bench.rounds);
  std::printf("%-10s %-10s %-12s %12s %8s %8s %7s\n", "keyword", "sizes", "mode", "bytes",
              "famgen s", "limit s", "÷limit");
  for (const std::string keyword : {"grid", "hypercube"}) {
    const std::string sizes = sizes_of(bench, keyword);
    for (const auto& [mode, options] : std::vector<std::pair<std::string, std::string>>{
             {"single pass", ""}, {"-threads 2", " -threads 2"}}) {
      std::string famgen =
          bench.binary + " -graphtype " + keyword + " -size " + sizes + " -out -" + options;
      for (const std::string& argument : bench.extra)
        famgen += " " + argument;
      famgen += " | cat >/dev/null";
      const std::string out = bench.path("famgen.out");
      run(bench.famgen(keyword, sizes, {}, out));
      const std::uintmax_t bytes = std::filesystem::file_size(out);
      std::filesystem::remove(out);
      const std::string limit =
          std::string(WRITE_LIMIT_BINARY) + " " + std::to_string(bytes) + " - | cat >/dev/null";
      std::vector<double> famgen_seconds;
      std::vector<double> limit_seconds;
      for (int round = 0; round < bench.rounds; ++round) {
        famgen_seconds.push_back(run_shell(famgen).seconds);
        limit_seconds.push_back(run_shell(limit).seconds);
      }
      std::printf("%-10s %-10s %-12s %12ju %8.3f %8.3f %7.2f\n", keyword.c_str(), sizes.c_str(),
                  mode.c_str(), bytes, median(famgen_seconds), median(limit_seconds),
                  median(famgen_seconds) / median(limit_seconds));
      std::fflush(stdout);
    }
  }
  std::printf("\n");
}

// Times the writing phase apart from the build, inside the process that does both: the
// destination is called once the store is built.
class PhaseTimer final : public GraphDestination {
 public:
  PhaseTimer(WriteOptions options, Clock::time_point start)
      : file_(std::move(options)), start_(start) {}
  Outcome write(const GraphSource& source) const override {
    const auto written = Clock::now();
    build_seconds = std::chrono::duration<double>(written - start_).count();
    const Outcome outcome = file_.write(source);
    write_seconds = std::chrono::duration<double>(Clock::now() - written).count();
    return outcome;
  }
  mutable double build_seconds = 0;
  mutable double write_seconds = 0;

 private:
  FileDestination file_;
  Clock::time_point start_;
};

void sierpinski_table(Bench& bench) {
  const std::int32_t depth = bench.quick ? 13 : 15;
  std::printf("== sierpinski depth %d, phases timed inside one process, medians of %d\n", depth,
              bench.rounds);
  std::printf("%-12s %12s %8s %9s %8s %7s\n", "mode", "bytes", "build s", "writing s", "limit s",
              "÷limit");
  for (const auto& [mode, threads] : std::vector<std::pair<std::string, std::optional<int>>>{
           {"single pass", std::nullopt}, {"-threads 2", 2}}) {
    const std::string out = bench.path("famgen.out");
    const std::string limit_out = bench.path("limit.out");
    const WriteOptions options{{{out}}, threads, {}};
    std::vector<double> build;
    std::vector<double> writing;
    std::vector<double> limit;
    std::uintmax_t bytes = 0;
    // The warm-up covers the store too: the build touches about 40 bytes a vertex.
    const auto store_bytes = static_cast<std::uintmax_t>(sierpinski_counts(depth)->vertices) * 40;
    for (int round = 0; round < bench.rounds; ++round) {
      if (bytes != 0) bench.warm_up(bytes + store_bytes);
      sync();
      const PhaseTimer timer(options, Clock::now());
      if (generate_sierpinski(depth, write_to(timer)).status != 0) bench.failed = true;
      build.push_back(timer.build_seconds);
      writing.push_back(timer.write_seconds);
      bytes = std::filesystem::file_size(out);
      std::filesystem::remove(out);
      bench.warm_up(bytes);
      limit.push_back(run({WRITE_LIMIT_BINARY, std::to_string(bytes), limit_out}).seconds);
      std::filesystem::remove(limit_out);
    }
    std::printf("%-12s %12ju %8.3f %9.3f %8.3f %7.2f\n", mode.c_str(), bytes, median(build),
                median(writing), median(limit), median(writing) / median(limit));
  }
  std::printf("\n");
}

// famgen-mpi on one and two processes against famgen on two threads and the raw write, all
// writing the same file.
void mpi_table(Bench& bench) {
#ifdef FAMGEN_MPI_BINARY
  const std::string keyword = "grid";
  const std::string sizes = sizes_of(bench, keyword);
  std::printf("== famgen-mpi, %s %s, warm medians of %d\n", keyword.c_str(), sizes.c_str(),
              bench.rounds);
  std::printf("%-34s %8s %7s\n", "run", "s", "÷limit");
  const std::string out = bench.path("famgen.out");
  run(bench.famgen(keyword, sizes, {}, out));
  const std::uintmax_t bytes = std::filesystem::file_size(out);
  std::filesystem::remove(out);
  const auto mpirun = [&](int processes) {
    return std::vector<std::string>{MPIRUN_BINARY,
                                    "--oversubscribe",
                                    "--allow-run-as-root",
                                    "-n",
                                    std::to_string(processes),
                                    FAMGEN_MPI_BINARY,
                                    "-graphtype",
                                    keyword,
                                    "-size",
                                    sizes,
                                    "-out",
                                    out};
  };
  const std::vector<std::pair<std::string, std::vector<std::string>>> runs = {
      {"write_limit", {WRITE_LIMIT_BINARY, std::to_string(bytes), out}},
      {"famgen -threads 2", bench.famgen(keyword, sizes, {"-threads", "2"}, out)},
      {"mpirun -n 1 famgen-mpi", mpirun(1)},
      {"mpirun -n 2 famgen-mpi", mpirun(2)}};
  std::vector<std::vector<double>> seconds(runs.size());
  for (int round = 0; round < bench.rounds; ++round) {
    for (std::size_t k = 0; k < runs.size(); ++k) {
      bench.warm_up(bytes);
      const Run r = run(runs[k].second);
      bench.check(r, runs[k].first);
      seconds[k].push_back(r.seconds);
      std::filesystem::remove(out);
    }
  }
  for (std::size_t k = 0; k < runs.size(); ++k) {
    std::printf("%-34s %8.3f %7.2f\n", runs[k].first.c_str(), median(seconds[k]),
                median(seconds[k]) / median(seconds[0]));
  }
  std::printf("\n");
#else
  (void)bench;
  std::printf("== famgen-mpi: not built (configure with -DFAMGEN_MPI=ON)\n\n");
#endif
}

}  // namespace

int main(int argc, char** argv) {
  Bench bench;
  std::set<std::string> only;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--quick") {
      bench.quick = true;
    } else if (argument == "--rounds" && i + 1 < argc) {
      bench.rounds = std::max(1, std::atoi(argv[++i]));
    } else if (argument == "--dir" && i + 1 < argc) {
      bench.folder = argv[++i];
    } else if (argument == "--only" && i + 1 < argc) {
      only.insert(argv[++i]);
    } else if (argument == "--famgen" && i + 1 < argc) {
      bench.binary = argv[++i];
    } else if (argument == "--with" && i + 1 < argc) {
      bench.extra.push_back(argv[++i]);
    } else {
      std::fprintf(
          stderr,
          "usage: famgen_bench [--quick] [--rounds N] [--dir FOLDER] [--only TABLE]...\n"
          "                    [--famgen PATH] [--with ARGUMENT]...\n"
          "TABLE: keywords, meshes, formats, coordinates, permute, pipes, sierpinski, mpi, "
          "weights, rgg\n");
      return 2;
    }
  }
  std::filesystem::create_directories(bench.folder);
  const auto wanted = [&](const std::string& table) { return only.empty() || only.count(table); };
  if (wanted("keywords")) keywords_table(bench);
  if (wanted("meshes")) meshes_table(bench);
  if (wanted("formats")) formats_table(bench);
  if (wanted("coordinates")) coordinates_table(bench);
  if (wanted("permute")) permute_table(bench);
  if (wanted("pipes")) pipes_table(bench);
  if (wanted("sierpinski")) sierpinski_table(bench);
  if (wanted("mpi")) mpi_table(bench);
  if (wanted("weights")) weights_table(bench);
  if (wanted("rgg")) rgg_table(bench);
  return bench.failed ? 1 : 0;
}
