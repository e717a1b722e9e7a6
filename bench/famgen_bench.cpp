// Measures famgen against the limit (the same bytes written from memory) and, for the grid,
// the torus and the hypercube, against a plain stdio writer. Every keyword at a size giving
// roughly 0.5 to 1 GB (a tenth of that with --quick), interleaved rounds, medians reported.
//
// Usage: famgen_bench [--quick] [--rounds N] [--dir FOLDER]
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "generators/generators.hpp"

extern char** environ;

namespace {

struct Case {
  std::string keyword;
  std::string sizes;         // full size
  std::string quick_sizes;   // --quick
  std::string stdio_family;  // empty: no stdio reference for this keyword
};

const std::vector<Case> kCases = {
    {"grid", "5000,5000", "1600,1600", "grid"},
    {"folded_grid", "5000,5000", "1600,1600", ""},
    {"partial_grid", "5000,5000", "1600,1600", ""},
    {"partial_folded_grid", "5000,5000", "1600,1600", ""},
    {"circle", "50000000", "5000000", ""},
    {"star", "30000000", "3000000", ""},
    {"torus", "5000,5000", "1600,1600", "torus"},
    {"cylinder", "5000,5000", "1600,1600", ""},
    {"tree", "25", "22", ""},
    {"hypercube", "22", "19", "hypercube"},
    {"sierpinski", "15", "13", ""},
    {"completegraph", "3000,15", "1000,15", ""},
    {"unconnected_completegraph", "3000,15", "1000,15", ""},
};

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
  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  Run result;
  if (posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return result;
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.peak_kib = usage.ru_maxrss;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
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

std::vector<std::string> split_sizes(const std::string& sizes) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= sizes.size()) {
    const std::size_t end = std::min(sizes.find(',', start), sizes.size());
    parts.push_back(sizes.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// The Sierpinski build alone, in this process, with famgen's own code: the store taken, set
// up and subdivided, no file.
double sierpinski_build_seconds(std::int32_t depth) {
  const auto start = std::chrono::steady_clock::now();
  const SierpinskiBuild build(depth);
  return build.built()
             ? std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()
             : 0;
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = false;
  int rounds = 3;
  std::filesystem::path folder = std::filesystem::temp_directory_path() / "famgen-bench";
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--quick") {
      quick = true;
    } else if (argument == "--rounds" && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (argument == "--dir" && i + 1 < argc) {
      folder = argv[++i];
    } else {
      std::fprintf(stderr, "usage: famgen_bench [--quick] [--rounds N] [--dir FOLDER]\n");
      return 2;
    }
  }
  std::filesystem::create_directories(folder);
  const std::string out = (folder / "famgen.graph").string();
  const std::string limit_out = (folder / "limit.graph").string();
  const std::string stdio_out = (folder / "stdio.graph").string();

  struct Figures {
    std::uintmax_t bytes = 0;
    std::vector<double> famgen, limit, stdio, overwrite;
    long peak_kib = 0;
    bool stdio_matches = true;
  };
  std::map<std::string, Figures> figures;
  bool failed = false;

  for (int round = 0; round < rounds; ++round) {
    for (const Case& c : kCases) {
      Figures& f = figures[c.keyword];
      const std::string sizes = quick ? c.quick_sizes : c.sizes;
      const Run famgen = run({FAMGEN_BINARY, "-graphtype", c.keyword, "-size", sizes, "-out", out});
      if (famgen.status != 0) {
        std::fprintf(stderr, "famgen failed on %s %s\n", c.keyword.c_str(), sizes.c_str());
        failed = true;
      }
      f.bytes = std::filesystem::file_size(out);
      f.famgen.push_back(famgen.seconds);
      f.peak_kib = std::max(f.peak_kib, famgen.peak_kib);
      if (c.keyword == "circle") {
        // Writing over the existing file: the cost of the truncation the open makes.
        f.overwrite.push_back(
            run({FAMGEN_BINARY, "-graphtype", c.keyword, "-size", sizes, "-out", out}).seconds);
      }
      if (!c.stdio_family.empty()) {
        std::vector<std::string> arguments = {STDIO_REFERENCE_BINARY, c.stdio_family};
        for (const std::string& size : split_sizes(sizes))
          arguments.push_back(size);
        arguments.push_back(stdio_out);
        f.stdio.push_back(run(arguments).seconds);
        if (round == 0) f.stdio_matches = same_bytes(out, stdio_out);
        std::filesystem::remove(stdio_out);
      }
      std::filesystem::remove(out);
      f.limit.push_back(run({WRITE_LIMIT_BINARY, std::to_string(f.bytes), limit_out}).seconds);
      std::filesystem::remove(limit_out);
    }
  }

  std::printf("%-26s %-10s %14s %9s %8s %8s %8s %9s\n", "keyword", "sizes", "bytes", "famgen s",
              "MB/s", "÷limit", "stdio÷", "peak MiB");
  for (const Case& c : kCases) {
    const Figures& f = figures[c.keyword];
    const double famgen = median(f.famgen);
    const double limit = median(f.limit);
    std::string stdio = "-";
    if (!f.stdio.empty()) {
      char text[32];
      std::snprintf(text, sizeof text, "%.1f%s", median(f.stdio) / famgen,
                    f.stdio_matches ? "" : "!");
      stdio = text;
    }
    std::printf("%-26s %-10s %14ju %9.3f %8.0f %8.2f %8s %9.1f\n", c.keyword.c_str(),
                (quick ? c.quick_sizes : c.sizes).c_str(), f.bytes, famgen,
                static_cast<double>(f.bytes) / famgen / 1e6, famgen / limit, stdio.c_str(),
                static_cast<double>(f.peak_kib) / 1024);
  }
  const Figures& circle = figures["circle"];
  std::printf("\ncircle over an existing file of the same size: %.3f s (new file %.3f s)\n",
              median(circle.overwrite), median(circle.famgen));
  const std::int32_t depth = quick ? 13 : 15;
  const double build = sierpinski_build_seconds(depth);
  std::printf("sierpinski depth %d: build %.3f s, writing %.3f s, peak %.1f bytes a vertex\n",
              depth, build, median(figures["sierpinski"].famgen) - build,
              static_cast<double>(figures["sierpinski"].peak_kib) * 1024 /
                  static_cast<double>(sierpinski_counts(depth)->vertices));
  for (const Case& c : kCases) {
    if (!figures[c.keyword].stdio_matches) {
      std::printf("MISMATCH: the stdio reference of %s differs from famgen's file\n",
                  c.keyword.c_str());
      failed = true;
    }
  }
  return failed ? 1 : 0;
}
