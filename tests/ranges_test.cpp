// Vertex ranges, threads and processes: any range of lines written on its own equals the same
// part of the whole, the processes' shares tile the file, and the file is the same bytes on
// any thread count.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <optional>
#include <random>

#include "graphfile/output/destinations.hpp"
#include "tests/family_sweep.hpp"
#include "tests/graph_reader.hpp"

using namespace famgen;

namespace {

// The bytes of a run as a destination writes them; entries receives what its lines list.
std::string run_bytes(const OutputPlan& plan, const FormatJob& run,
                      std::uint64_t* entries = nullptr) {
  StringSink sink;
  const std::uint64_t listed = write_run(plan, run, {}, sink);
  if (entries != nullptr) *entries = listed;
  return sink.bytes;
}

// A section's lines cut at the given points (each piece from a cut to the next), every piece a
// run of its own, carrying the entries of the pieces before it.
std::string in_pieces(const OutputPlan& plan, int section, const std::vector<Vertex>& cuts) {
  std::string text;
  std::uint64_t entries_before = 0;
  for (std::size_t k = 0; k < cuts.size(); ++k) {
    const Vertex last = k + 1 < cuts.size() ? cuts[k + 1] - 1 : plan.line_count();
    std::uint64_t entries = 0;
    text += run_bytes(plan, plan.run(section, cuts[k], last, entries_before), &entries);
    entries_before += entries;
  }
  return text;
}

TEST(Ranges, AnyRangeEqualsItsPartOfTheWhole) {
  std::mt19937_64 random(11);
  for (const KeywordSizes& graph : small_graphs()) {
    with_source(graph, [&](const GraphSource& source) {
      const Vertex lines = source.facts().line_count();
      for (const Format format : every_format()) {
        for (const RelabelSeed seed : {RelabelSeed{}, RelabelSeed{5}}) {
          const OutputPlan plan(source, format, seed);
          for (int section = 0; section < plan.sections(); ++section) {
            SCOPED_TRACE(describe(graph) + " " + format_name(format) + (seed ? " relabelled" : "") +
                         " section " + std::to_string(section));
            const std::string whole = run_bytes(plan, plan.run(section, 1, lines));
            std::vector<Vertex> every_line = {1};
            for (Vertex v = 2; v <= lines; ++v)
              every_line.push_back(v);
            EXPECT_EQ(in_pieces(plan, section, every_line), whole);
            for (int trial = 0; trial < 5 && lines > 1; ++trial) {
              std::vector<Vertex> cuts = {1};
              for (Vertex v = 2; v <= lines; ++v) {
                if (random() % 3 == 0) cuts.push_back(v);
              }
              EXPECT_EQ(in_pieces(plan, section, cuts), whole);
            }
          }
        }
      }
    });
  }
}

// What famgen-mpi does, without MPI: every process measures its pieces, the sums give each its
// share, and the shares written at their offsets make up the whole file, on any process count.
TEST(Processes, SharesTileTheFile) {
  std::vector<KeywordSizes> graphs = small_graphs();
  graphs.push_back({"partial_folded_grid", "301,299"});
  graphs.push_back({"hypercube", "14"});
  for (const KeywordSizes& graph : graphs) {
    with_source(graph, [&](const GraphSource& source) {
      for (const Format format : every_format()) {
        for (const RelabelSeed seed : {RelabelSeed{}, RelabelSeed{5}}) {
          const OutputPlan plan(source, format, seed);
          const std::string whole = whole_file(source, format, seed);
          for (const int processes : {1, 2, 3, 5}) {
            SCOPED_TRACE(describe(graph) + " " + format_name(format) + (seed ? " relabelled" : "") +
                         " on " + std::to_string(processes));
            PieceMeasures all = measure_pieces(plan, processes, 0, {});
            for (int rank = 1; rank < processes; ++rank) {
              const PieceMeasures mine = measure_pieces(plan, processes, rank, 2);
              for (std::size_t k = 0; k < all.bytes.size(); ++k)
                all.bytes[k] += mine.bytes[k];
              for (std::size_t k = 0; k < all.entries.size(); ++k)
                all.entries[k] += mine.entries[k];
            }
            std::string file = plan.heading();
            file.resize(whole.size(), '?');
            Vertex next_line = 1;
            for (int rank = 0; rank < processes; ++rank) {
              const ProcessShare share = share_of(plan, all, rank, processes);
              if (!share.writes) continue;
              EXPECT_EQ(share.first, next_line);
              next_line = share.last + 1;
              for (int section = 0; section < plan.sections(); ++section) {
                const auto k = static_cast<std::size_t>(section);
                const std::string bytes = run_bytes(
                    plan, plan.run(section, share.first, share.last, share.entries_before));
                ASSERT_EQ(bytes.size(), share.bytes[k]);
                ASSERT_LE(share.offsets[k] + bytes.size(), file.size());
                file.replace(share.offsets[k], bytes.size(), bytes);
              }
            }
            file.replace(plan.heading().size() + all.total(), plan.trailer().size(),
                         plan.trailer());
            EXPECT_EQ(next_line, plan.line_count() + 1);
            EXPECT_TRUE(file == whole);
          }
        }
      }
    });
  }
}

// Larger graphs, whose files span several jobs and whose numbers cross a length (9999 to
// 10000, and 99999 to 100000 for some): every thread count writes the single pass's bytes, in
// every layout, plain and relabelled.
TEST(Threads, EveryThreadCountWritesTheSameFile) {
  const std::vector<KeywordSizes> graphs = {{"grid", "320,320"},
                                            {"folded_grid", "300,330"},
                                            {"partial_grid", "330,300"},
                                            {"partial_folded_grid", "301,299"},
                                            {"circle", "150000"},
                                            {"star", "120000"},
                                            {"torus", "300,300"},
                                            {"cylinder", "300,301"},
                                            {"tree", "17"},
                                            {"hypercube", "16"},
                                            {"sierpinski", "10"},
                                            {"completegraph", "500,5"},
                                            {"unconnected_completegraph", "150,80"}};
  const ScratchFolder folder;
  for (const KeywordSizes& graph : graphs) {
    with_source(graph, [&](const GraphSource& source) {
      for (const Format format :
           {Format::kMetis, Format::kParhip, Format::kScotch, Format::kDot, Format::kCoordinates}) {
        for (const RelabelSeed seed : {RelabelSeed{}, RelabelSeed{3}}) {
          SCOPED_TRACE(describe(graph) + " " + format_name(format) + (seed ? " relabelled" : ""));
          WriteOptions options{{{folder.path("single").string(), format}}, std::nullopt, seed};
          ASSERT_EQ(FileDestination(options).write(source).status, 0);
          const std::string single = read_file(options.outputs[0].name);
          // Integer positions take a few bytes a vertex, and the complete graphs have few
          // vertices: one job holds those at these sizes.
          if (format != Format::kCoordinates ||
              (source.facts().decimals > 0 && source.facts().line_count() > 50000)) {
            ASSERT_GT(single.size(), std::size_t{1} << 20);
          }
          for (const std::int32_t threads : {1, 2, 3, 7}) {
            options.outputs[0].name = folder.path("threads").string();
            options.threads = threads;
            ASSERT_EQ(FileDestination(options).write(source).status, 0);
            EXPECT_TRUE(read_file(options.outputs[0].name) == single) << threads << " threads";
            std::vector<std::string> in_memory;
            MemoryDestination(options, in_memory).write(source);
            EXPECT_TRUE(in_memory.at(0) == single) << threads << " threads, in memory";
          }
        }
      }
    });
  }
}

// Numbers past 10^8 without writing a file of that size: lines around vertex 10^8 of graphs
// larger than that, as one run and as single-line runs, against printf's digits.
TEST(Ranges, LinesAroundOneHundredMillion) {
  with_source({"circle", "200000000"}, [](const GraphSource& source) {
    const OutputPlan plan(source, Format::kMetis, {});
    std::string expected;
    char line[64];
    for (Vertex i = 99999990; i <= 100000010; ++i) {
      std::snprintf(line, sizeof line, "%" PRId64 " %" PRId64 "\n", i - 1, i + 1);
      expected += line;
    }
    EXPECT_EQ(run_bytes(plan, plan.run(0, 99999990, 100000010)), expected);
  });
  // Lines of 40 entries, past the positions a line of a smaller hypercube uses.
  with_source({"hypercube", "40"}, [](const GraphSource& source) {
    for (const Format format : {Format::kMetis, Format::kScotch, Format::kMatrixMarket}) {
      const OutputPlan plan(source, format, {});
      const Vertex first = 549755813880;
      const Vertex last = 549755813890;
      std::string expected;
      for (Vertex v = first; v <= last; ++v) {
        if (format == Format::kScotch) expected += "40";
        for (int bit = 0; bit < 40; ++bit) {
          const Vertex w = ((v - 1) ^ (Vertex{1} << bit)) + 1;
          const std::string number = std::to_string(w);
          if (format == Format::kMetis) expected += number + ' ';
          if (format == Format::kScotch) expected += ' ' + number;
          if (format == Format::kMatrixMarket && w <= v) {
            expected += std::to_string(v) + ' ' + number + '\n';
          }
        }
        if (format != Format::kMatrixMarket) expected += "\n";
      }
      EXPECT_EQ(run_bytes(plan, plan.run(0, first, last)), expected) << format_name(format);
    }
  });
  with_source({"hypercube", "27"}, [](const GraphSource& source) {
    const OutputPlan plan(source, Format::kMetis, {});
    std::string expected;
    for (Vertex v = 99999995; v <= 100000005; ++v) {
      for (int bit = 0; bit < 27; ++bit)
        expected += std::to_string(((v - 1) ^ (Vertex{1} << bit)) + 1) + " ";
      expected += "\n";
    }
    EXPECT_EQ(run_bytes(plan, plan.run(0, 99999995, 100000005)), expected);
    std::string one_by_one;
    for (Vertex v = 99999995; v <= 100000005; ++v)
      one_by_one += run_bytes(plan, plan.run(0, v, v));
    EXPECT_EQ(one_by_one, expected);
  });
}

}  // namespace
