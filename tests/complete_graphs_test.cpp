#include "generators/complete_graphs.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "generators/families.hpp"
#include "graphfile/output/destinations.hpp"
#include "tests/graph_reader.hpp"

using namespace famgen;

namespace {

std::string complete_file(int size, int count, bool header_suppressed) {
  return generated_file([=](const std::string& name) {
    return generate_complete_graphs(size, count, write_to(FileDestination(name)),
                                    header_suppressed);
  });
}

struct CompleteCase {
  int size;
  int count;
  bool header_suppressed;
  std::string expected;
};

void PrintTo(const CompleteCase& c, std::ostream* out) {
  *out << c.size << "," << c.count << (c.header_suppressed ? " completegraph" : " unconnected");
}

class CompleteExactTest : public testing::TestWithParam<CompleteCase> {};

TEST_P(CompleteExactTest, ByteExact) {
  const CompleteCase& c = GetParam();
  EXPECT_EQ(complete_file(c.size, c.count, c.header_suppressed), c.expected);
}

const std::string kTwoTriangles = list_vertex_lines("2 3 / 1 3 / 1 2 / 5 6 / 4 6 / 4 5");

INSTANTIATE_TEST_SUITE_P(
    Examples, CompleteExactTest,
    testing::ValuesIn(std::vector<CompleteCase>{
        // The edge figure is twice the edges: 12 for two triangles.
        CompleteCase{
            3, 2, false,
            "% 3 complete graphs with 2 vertices (total 6 vertices)\n6 12 \n" + kTwoTriangles},
        CompleteCase{3, 2, true, kTwoTriangles},
        CompleteCase{4, 1, true, list_vertex_lines("2 3 4 / 1 3 4 / 1 2 4 / 1 2 3")},
        CompleteCase{1, 3, false,
                     "% 1 complete graphs with 3 vertices (total 3 vertices)\n3 0 \n\n\n\n"},
        CompleteCase{2, 2, false,
                     "% 2 complete graphs with 2 vertices (total 4 vertices)\n4 4 \n" +
                         list_vertex_lines("2 / 1 / 4 / 3")},
        // No graphs: the file is created, and empty.
        CompleteCase{3, 0, true, ""}, CompleteCase{3, -4, true, ""},
        CompleteCase{2147483647, 0, true, ""}}));

TEST(CompleteGraphs, ReadBackOverASweep) {
  for (int size = 1; size <= 9; ++size) {
    for (int count = 1; count <= 5; ++count) {
      SCOPED_TRACE(testing::Message() << size << "," << count);
      const ReadGraph graph = parse_graph(complete_file(size, count, false));
      EXPECT_EQ(check_graph(graph, true, 2), std::vector<std::string>{});
      const ReadGraph bare = parse_graph(complete_file(size, count, true), false);
      EXPECT_EQ(bare.adjacency, graph.adjacency);
      for (std::size_t k = 0; k < graph.adjacency.size(); ++k) {
        const auto& line = graph.adjacency[k];
        EXPECT_EQ(line.size(), static_cast<std::size_t>(size - 1));
        EXPECT_TRUE(std::is_sorted(line.begin(), line.end()));
        for (const std::int64_t v : line)
          EXPECT_EQ((v - 1) / size, static_cast<std::int64_t>(k) / size);
      }
    }
  }
}

TEST(CompleteGraphs, FiguresPastSixtyFourBitsAreRefused) {
  EXPECT_EQ(complete_graphs_counts(65536, 65536)->edges, 281470681743360);
  EXPECT_FALSE(complete_graphs_counts(2147483647, 2147483647).has_value());
  const ScratchFolder folder;
  const auto path = folder.path("refused");
  const Outcome outcome = generate_complete_graphs(2147483647, 2147483647,
                                                   write_to(FileDestination(path.string())), false);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_FALSE(outcome.error.empty());
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace

namespace {

TEST(CompleteGraphs, NoGraphsStillCreatesAndEmptiesTheFile) {
  const ScratchFolder folder;
  const auto path = folder.path("k");
  {
    std::ofstream old(path);
    old << "old contents\n";
  }
  const Outcome outcome =
      generate_complete_graphs(3, 0, write_to(FileDestination(path.string())), true);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(std::filesystem::file_size(path), 0u);
  EXPECT_EQ(
      generate_complete_graphs(3, 0, write_to(FileDestination(folder.path("new").string())), true)
          .status,
      0);
  EXPECT_TRUE(std::filesystem::exists(folder.path("new")));
}

}  // namespace
