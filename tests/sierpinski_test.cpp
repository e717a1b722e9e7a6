#include "generators/sierpinski.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "generators/families.hpp"
#include "graphfile/output/destinations.hpp"
#include "tests/graph_reader.hpp"

using namespace famgen;

namespace {

std::string sierpinski_file(int depth) {
  return generated_file([depth](const std::string& name) {
    return generate_sierpinski(depth, write_to(FileDestination(name)));
  });
}

TEST(Sierpinski, ByteExact) {
  EXPECT_EQ(sierpinski_file(0), "% Sierpinski graph: Depth 0, 3 vertices, 3 edges\n3 3 \n" +
                                    list_vertex_lines("2 3 / 1 3 / 1 2"));
  EXPECT_EQ(sierpinski_file(1),
            "% Sierpinski graph: Depth 1, 6 vertices, 9 edges\n6 9 \n" +
                list_vertex_lines("4 5 / 5 6 / 4 6 / 1 5 3 6 / 1 4 2 6 / 2 5 3 4"));
  EXPECT_EQ(sierpinski_file(2),
            "% Sierpinski graph: Depth 2, 15 vertices, 27 edges\n15 27 \n" +
                list_vertex_lines("7 8 / 10 11 / 13 14 / 8 9 14 15 / 7 9 11 12 / 10 12 13 15 / "
                                  "1 8 5 9 / 1 7 4 9 / 4 8 5 7 / 2 11 6 12 / 2 10 5 12 / "
                                  "5 11 6 10 / 3 14 6 15 / 3 13 4 15 / 4 14 6 13"));
}

TEST(Sierpinski, CountsTable) {
  const std::vector<GraphCounts> expected = {{3, 3},     {6, 9},     {15, 27},    {42, 81},
                                             {123, 243}, {366, 729}, {1095, 2187}};
  for (std::size_t depth = 0; depth < expected.size(); ++depth) {
    const auto counts = sierpinski_counts(static_cast<std::int32_t>(depth));
    ASSERT_TRUE(counts.has_value());
    EXPECT_EQ(counts->vertices, expected[depth].vertices) << depth;
    EXPECT_EQ(counts->edges, expected[depth].edges) << depth;
  }
  // Past 32 bits the figures are exact in 64.
  EXPECT_EQ(sierpinski_counts(19)->vertices, 1743392202);
  EXPECT_EQ(sierpinski_counts(19)->edges, 3486784401);
  EXPECT_EQ(sierpinski_counts(20)->vertices, 5230176603);
}

// Degrees 2 (corners 1, 2, 3) and 4 (all others), no self-loop, no repeated neighbour, every
// edge at both ends, E edges in all; a second build in the same process numbers alike.
TEST(Sierpinski, ReadBackOverDepths) {
  for (int depth = 1; depth <= 8; ++depth) {
    SCOPED_TRACE(depth);
    const std::string text = sierpinski_file(depth);
    const ReadGraph graph = parse_graph(text);
    EXPECT_EQ(check_graph(graph), std::vector<std::string>{});
    EXPECT_EQ(graph.vertex_count, sierpinski_counts(depth)->vertices);
    EXPECT_FALSE(has_self_loop(graph));
    EXPECT_FALSE(has_repeated_neighbour(graph));
    for (std::size_t k = 0; k < graph.adjacency.size(); ++k) {
      EXPECT_EQ(graph.adjacency[k].size(), k < 3 ? 2u : 4u) << "vertex " << k + 1;
    }
    EXPECT_EQ(sierpinski_file(depth), text);
  }
}

TEST(Sierpinski, SubdivideHandsOutNumbersUpToTheVertexCount) {
  for (std::int32_t depth = 0; depth <= 6; ++depth) {
    const SierpinskiBuild build(depth);
    ASSERT_TRUE(build.built());
    EXPECT_EQ(build.last_vertex(), sierpinski_counts(depth)->vertices);
  }
}

TEST(Sierpinski, DepthsBeyondTheStoreAreRefusedBeforeAnything) {
  const ScratchFolder folder;
  const auto path = folder.path("s");
  for (const int depth : {20, 39, 2147483647, -1}) {
    const Outcome outcome = generate_sierpinski(depth, write_to(FileDestination(path.string())));
    EXPECT_EQ(outcome.status, 1) << depth;
    EXPECT_EQ(outcome.error.rfind("famgen: ", 0), 0u);
  }
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(Sierpinski, StoreThatCannotBeAllocatedIsReported) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#else
  const ScratchFolder folder;
  const auto path = folder.path("s");
  // Depth 14 needs about 290 MB; 200 MB of address space cannot hold it.
  const std::string command = "ulimit -v 200000; exec " FAMGEN_BINARY
                              " -graphtype sierpinski -size 14 -out '" +
                              path.string() + "' 2>'" + folder.path("err").string() + "'";
  const int raw = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 1);
  EXPECT_NE(read_file(folder.path("err")).find("cannot allocate"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(path));
#endif
}

}  // namespace
