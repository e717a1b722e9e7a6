// Vertex ranges and threads: any range of lines formatted on its own equals the same part of
// the whole, and the file is the same bytes on any thread count.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <optional>
#include <random>

#include "graphfile/graph_writer.hpp"
#include "graphfile/relabelling.hpp"
#include "tests/family_sweep.hpp"
#include "tests/graph_reader.hpp"

namespace {

// A section's lines cut at the given points (each piece from a cut to the next), every piece a
// job of its own, carrying the entries of the pieces before it.
std::string in_pieces(const GraphSource& source, FormatJob job, const std::vector<Vertex>& cuts) {
  std::string text;
  std::uint64_t entries_before = 0;
  const Vertex last = job.last;
  for (std::size_t k = 0; k < cuts.size(); ++k) {
    job.first = cuts[k];
    job.last = k + 1 < cuts.size() ? cuts[k + 1] - 1 : last;
    job.entries_before = entries_before;
    std::uint64_t entries = 0;
    text += format_job(source, job, &entries);
    entries_before += entries;
  }
  return text;
}

TEST(Ranges, AnyRangeEqualsItsPartOfTheWhole) {
  std::mt19937_64 random(11);
  for (const KeywordSizes& graph : small_graphs()) {
    with_source(graph, [&](const GraphSource& source) {
      const Vertex lines = source.facts().line_count();
      const Relabelling relabelling(lines, 5);
      for (const Format format : every_format()) {
        for (const Relabelling* numbering :
             {static_cast<const Relabelling*>(nullptr), &relabelling}) {
          for (int section = 0; section < layout_sections(format); ++section) {
            SCOPED_TRACE(graph.keyword + " " + graph.sizes + " " + format_name(format) +
                         (numbering ? " relabelled" : "") + " section " + std::to_string(section));
            FormatJob job{format, numbering, section, 1, lines, 0};
            const std::string whole = format_job(source, job);
            std::vector<Vertex> every_line = {1};
            for (Vertex v = 2; v <= lines; ++v)
              every_line.push_back(v);
            EXPECT_EQ(in_pieces(source, job, every_line), whole);
            for (int trial = 0; trial < 5 && lines > 1; ++trial) {
              std::vector<Vertex> cuts = {1};
              for (Vertex v = 2; v <= lines; ++v) {
                if (random() % 3 == 0) cuts.push_back(v);
              }
              EXPECT_EQ(in_pieces(source, job, cuts), whole);
            }
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
      for (const Format format : {Format::kMetis, Format::kParhip, Format::kScotch}) {
        for (const RelabelSeed seed : {RelabelSeed{}, RelabelSeed{3}}) {
          SCOPED_TRACE(graph.keyword + " " + graph.sizes + " " + format_name(format) +
                       (seed ? " relabelled" : ""));
          WriteOptions options{folder.path("single").string(), format, std::nullopt, seed};
          ASSERT_EQ(FileDestination(options).write(source).status, 0);
          const std::string single = read_file(options.output_name);
          ASSERT_GT(single.size(), std::size_t{1} << 20);
          EXPECT_TRUE(single == whole_file(source, format, seed));
          for (const std::int32_t threads : {1, 2, 3, 7}) {
            options.output_name = folder.path("threads").string();
            options.threads = threads;
            ASSERT_EQ(FileDestination(options).write(source).status, 0);
            EXPECT_TRUE(read_file(options.output_name) == single) << threads << " threads";
          }
        }
      }
    });
  }
}

// Numbers past 10^8 without writing a file of that size: lines around vertex 10^8 of graphs
// larger than that, as one job and as single-line jobs, against printf's digits.
TEST(Ranges, LinesAroundOneHundredMillion) {
  with_source({"circle", "200000000"}, [](const GraphSource& source) {
    FormatJob job{Format::kMetis, nullptr, 0, 99999990, 100000010, 0};
    std::string expected;
    char line[64];
    for (Vertex i = job.first; i <= job.last; ++i) {
      std::snprintf(line, sizeof line, "%" PRId64 " %" PRId64 "\n", i - 1, i + 1);
      expected += line;
    }
    EXPECT_EQ(format_job(source, job), expected);
  });
  // Lines of 40 entries, past the positions a line of a smaller hypercube uses.
  with_source({"hypercube", "40"}, [](const GraphSource& source) {
    for (const Format format : {Format::kMetis, Format::kScotch, Format::kMatrixMarket}) {
      FormatJob job{format, nullptr, 0, 549755813880, 549755813890, 0};
      const std::string lines = format_job(source, job);
      std::string expected;
      for (Vertex v = job.first; v <= job.last; ++v) {
        std::vector<Vertex> neighbours;
        for (int bit = 0; bit < 40; ++bit)
          neighbours.push_back(((v - 1) ^ (Vertex{1} << bit)) + 1);
        if (format == Format::kScotch) expected += "40";
        for (const Vertex w : neighbours) {
          const std::string number = std::to_string(w);
          if (format == Format::kMetis) expected += number + ' ';
          if (format == Format::kScotch) expected += ' ' + number;
          if (format == Format::kMatrixMarket && w <= v) {
            expected += std::to_string(v) + ' ' + number + '\n';
          }
        }
        if (format != Format::kMatrixMarket) expected += "\n";
      }
      EXPECT_EQ(lines, expected) << format_name(format);
    }
  });
  with_source({"hypercube", "27"}, [](const GraphSource& source) {
    FormatJob job{Format::kMetis, nullptr, 0, 99999995, 100000005, 0};
    std::string expected;
    for (Vertex v = job.first; v <= job.last; ++v) {
      for (int bit = 0; bit < 27; ++bit)
        expected += std::to_string(((v - 1) ^ (Vertex{1} << bit)) + 1) + " ";
      expected += "\n";
    }
    EXPECT_EQ(format_job(source, job), expected);
    std::string one_by_one;
    for (Vertex v = job.first; v <= job.last; ++v)
      one_by_one += format_job(source, FormatJob{Format::kMetis, nullptr, 0, v, v, 0});
    EXPECT_EQ(one_by_one, expected);
  });
}

}  // namespace
