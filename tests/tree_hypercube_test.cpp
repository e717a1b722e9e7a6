#include <gtest/gtest.h>

#include <bit>
#include <string>

#include "generators/binary_tree.hpp"
#include "generators/families.hpp"
#include "generators/hypercube.hpp"
#include "graphfile/output/destinations.hpp"
#include "tests/graph_reader.hpp"

using namespace famgen;

namespace {

std::string tree_file(int depth) {
  return generated_file([depth](const std::string& name) {
    return generate_binary_tree(depth, write_to(FileDestination(name)));
  });
}
std::string hypercube_file(int dimension) {
  return generated_file([dimension](const std::string& name) {
    return generate_hypercube(dimension, write_to(FileDestination(name)));
  });
}

TEST(BinaryTree, ByteExact) {
  const std::vector<std::pair<int, std::string>> cases = {
      {1, "% Depth 1 binary tree (1 vertices)\n1 0\n\n"},
      {2, "% Depth 2 binary tree (3 vertices)\n3 2\n" + list_vertex_lines("2 3 / 1 / 1")},
      {3, "% Depth 3 binary tree (7 vertices)\n7 6\n" +
              list_vertex_lines("2 3 / 4 5 1 / 6 7 1 / 2 / 2 / 3 / 3")},
      {4, "% Depth 4 binary tree (15 vertices)\n15 14\n" +
              list_vertex_lines("2 3 / 4 5 1 / 6 7 1 / 8 9 2 / 10 11 2 / 12 13 3 / 14 15 3 / "
                                "4 / 4 / 5 / 5 / 6 / 6 / 7 / 7")},
  };
  for (const auto& [depth, expected] : cases)
    EXPECT_EQ(tree_file(depth), expected) << depth;
}

TEST(Hypercube, ByteExact) {
  EXPECT_EQ(hypercube_file(2), "% Dimension 2 hyper-cube (4 vertices)\n4 4\n" +
                                   list_vertex_lines("2 3 / 1 4 / 4 1 / 3 2"));
  EXPECT_EQ(hypercube_file(3), "% Dimension 3 hyper-cube (8 vertices)\n8 12\n" +
                                   list_vertex_lines("2 3 5 / 1 4 6 / 4 1 7 / 3 2 8 / 6 7 1 / "
                                                     "5 8 2 / 8 5 3 / 7 6 4"));
}

TEST(TreeAndHypercube, ReadBackOverASweep) {
  for (int depth = 1; depth <= 14; ++depth) {
    const ReadGraph graph = parse_graph(tree_file(depth));
    EXPECT_EQ(check_graph(graph), std::vector<std::string>{}) << depth;
    EXPECT_EQ(graph.vertex_count, (1 << depth) - 1);
    EXPECT_FALSE(graph.counts_line_trailing_space);
    EXPECT_FALSE(has_self_loop(graph) || has_repeated_neighbour(graph));
  }
  for (int dimension = 2; dimension <= 12; ++dimension) {
    const ReadGraph graph = parse_graph(hypercube_file(dimension));
    EXPECT_EQ(check_graph(graph), std::vector<std::string>{}) << dimension;
    for (std::size_t k = 0; k < graph.adjacency.size(); ++k) {
      ASSERT_EQ(graph.adjacency[k].size(), static_cast<std::size_t>(dimension));
      for (const std::int64_t v : graph.adjacency[k]) {
        EXPECT_EQ(std::popcount(static_cast<std::uint64_t>(k) ^ static_cast<std::uint64_t>(v - 1)),
                  1);
      }
    }
  }
}

// The figures are exact as far as 64 bits go, and a size past that is refused, touching no file.
TEST(TreeAndHypercube, LargeFiguresAreExactOrRefused) {
  EXPECT_EQ(binary_tree_counts(31)->vertices, 2147483647);
  EXPECT_EQ(binary_tree_counts(54)->vertices, 18014398509481983);  // past double precision
  EXPECT_EQ(binary_tree_counts(63)->vertices, 9223372036854775807);
  EXPECT_FALSE(binary_tree_counts(64).has_value());
  EXPECT_EQ(hypercube_counts(31)->vertices, 2147483648);
  EXPECT_EQ(hypercube_counts(27)->edges, 1811939328);
  EXPECT_EQ(hypercube_counts(58)->edges, 8358680908399640576);
  EXPECT_FALSE(hypercube_counts(59).has_value());
  EXPECT_FALSE(hypercube_counts(63).has_value());

  const ScratchFolder folder;
  const auto path = folder.path("refused");
  for (const auto& outcome : {generate_binary_tree(64, write_to(FileDestination(path.string()))),
                              generate_hypercube(59, write_to(FileDestination(path.string())))}) {
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.error.rfind("famgen: ", 0), 0u);
  }
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
