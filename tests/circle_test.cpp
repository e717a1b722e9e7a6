#include <gtest/gtest.h>

#include <string>

#include "generators/families.hpp"
#include "graphfile/output/destinations.hpp"
#include "tests/graph_reader.hpp"

using namespace famgen;

namespace {

std::string circle_file(std::int32_t n) {
  const ScratchFolder folder;
  const auto path = folder.path("circle");
  const Outcome outcome = generate_circle(n, write_to(FileDestination(path.string())));
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.error, "");
  return read_file(path);
}

TEST(Circle, ByteExact) {
  const std::vector<std::pair<std::int32_t, std::string>> cases = {
      {1, "% 1 vertices circle\n1 1\n1 1\n"},
      {2, "% 2 vertices circle\n2 2\n2 2\n1 1\n"},
      {3, "% 3 vertices circle\n3 3\n3 2\n1 3\n2 1\n"},
      {4, "% 4 vertices circle\n4 4\n4 2\n1 3\n2 4\n3 1\n"},
      {5, "% 5 vertices circle\n5 5\n5 2\n1 3\n2 4\n3 5\n4 1\n"},
  };
  for (const auto& [n, expected] : cases)
    EXPECT_EQ(circle_file(n), expected) << n;
}

TEST(Circle, ReadBackOverASweep) {
  for (const std::int32_t n : {1, 2, 3, 9, 10, 99, 100, 1001, 123457}) {
    const ReadGraph graph = parse_graph(circle_file(n));
    EXPECT_EQ(graph.comment_line, "% " + std::to_string(n) + " vertices circle");
    EXPECT_EQ(graph.vertex_count, n);
    EXPECT_FALSE(graph.counts_line_trailing_space);
    EXPECT_EQ(check_graph(graph), std::vector<std::string>{}) << n;
    for (const auto& line : graph.adjacency)
      EXPECT_EQ(line.size(), 2u);
  }
}

}  // namespace
