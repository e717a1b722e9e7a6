// Star, torus and cylinder: the families built from rings.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "generators/cylinder.hpp"
#include "generators/families.hpp"
#include "generators/star.hpp"
#include "generators/torus.hpp"
#include "graphfile/output/destinations.hpp"
#include "tests/graph_reader.hpp"

using namespace famgen;

namespace {

struct ExactCase {
  std::string label;
  std::function<Outcome(const std::string&)> generate;
  std::string expected;
};

void PrintTo(const ExactCase& c, std::ostream* out) {
  *out << c.label;
}

class RingExactTest : public testing::TestWithParam<ExactCase> {};

TEST_P(RingExactTest, ByteExact) {
  EXPECT_EQ(generated_file(GetParam().generate), GetParam().expected);
}

auto star(int n) {
  return [n](const std::string& name) { return generate_star(n, write_to(FileDestination(name))); };
}
auto torus(int a, int b) {
  return [a, b](const std::string& name) {
    return generate_torus(a, b, write_to(FileDestination(name)));
  };
}
auto cylinder(int a, int b) {
  return [a, b](const std::string& name) {
    return generate_cylinder(a, b, write_to(FileDestination(name)));
  };
}

INSTANTIATE_TEST_SUITE_P(Star, RingExactTest,
                         testing::ValuesIn(std::vector<ExactCase>{
                             ExactCase{"n=3", star(3),
                                       "% 3 vertices circle\n3 4\n2 3 \n" +
                                           fixed_vertex_lines("3 3 1 / 2 2 1")},
                             ExactCase{"n=4", star(4),
                                       "% 4 vertices circle\n4 6\n2 3 4 \n" +
                                           fixed_vertex_lines("4 3 1 / 2 4 1 / 3 2 1")},
                             ExactCase{"n=5", star(5),
                                       "% 5 vertices circle\n5 8\n2 3 4 5 \n" +
                                           fixed_vertex_lines("5 3 1 / 2 4 1 / 3 5 1 / 4 2 1")}}));

INSTANTIATE_TEST_SUITE_P(
    Torus, RingExactTest,
    testing::ValuesIn(std::vector<ExactCase>{
        ExactCase{"3x4", torus(3, 4),
                  "% 3 x 4 torus (12 vertices)\n12 24\n" +
                      fixed_vertex_lines("2 4 5 9 / 3 1 6 10 / 4 2 7 11 / 1 3 8 12 / 6 8 9 1 / "
                                         "7 5 10 2 / 8 6 11 3 / 5 7 12 4 / 10 12 1 5 / 11 9 2 6 / "
                                         "12 10 3 7 / 9 11 4 8")},
        ExactCase{"1x1", torus(1, 1), "% 1 x 1 torus (1 vertices)\n1 2\n1 1 1 1\n"},
        ExactCase{"2x2", torus(2, 2),
                  "% 2 x 2 torus (4 vertices)\n4 8\n" +
                      fixed_vertex_lines("2 2 3 3 / 1 1 4 4 / 4 4 1 1 / 3 3 2 2")},
        ExactCase{"1x3", torus(1, 3),
                  "% 1 x 3 torus (3 vertices)\n3 6\n" +
                      fixed_vertex_lines("2 3 1 1 / 3 1 2 2 / 1 2 3 3")},
        ExactCase{"3x1", torus(3, 1),
                  "% 3 x 1 torus (3 vertices)\n3 6\n" +
                      fixed_vertex_lines("1 1 2 3 / 2 2 3 1 / 3 3 1 2")}}));

INSTANTIATE_TEST_SUITE_P(
    Cylinder, RingExactTest,
    testing::ValuesIn(std::vector<ExactCase>{
        ExactCase{"3x4", cylinder(3, 4),
                  "% 3 x 4 cylinder (12 vertices)\n12 20\n" +
                      fixed_vertex_lines("2 4 5 / 3 1 6 / 4 2 7 / 1 3 8 / 6 8 9 1 / 7 5 10 2 / "
                                         "8 6 11 3 / 5 7 12 4 / 10 12 5 / 11 9 6 / 12 10 7 / "
                                         "9 11 8")},
        ExactCase{"2x3", cylinder(2, 3),
                  "% 2 x 3 cylinder (6 vertices)\n6 9\n" +
                      fixed_vertex_lines("2 3 4 / 3 1 5 / 1 2 6 / 5 6 1 / 6 4 2 / 4 5 3")},
        ExactCase{"4x3", cylinder(4, 3),
                  "% 4 x 3 cylinder (12 vertices)\n12 21\n" +
                      fixed_vertex_lines("2 3 4 / 3 1 5 / 1 2 6 / 5 6 7 1 / 6 4 8 2 / 4 5 9 3 / "
                                         "8 9 10 4 / 9 7 11 5 / 7 8 12 6 / 11 12 7 / 12 10 8 / "
                                         "10 11 9")},
        ExactCase{"2x2", cylinder(2, 2),
                  "% 2 x 2 cylinder (4 vertices)\n4 6\n" +
                      fixed_vertex_lines("2 2 3 / 1 1 4 / 4 4 1 / 3 3 2")},
        ExactCase{
            "3x1", cylinder(3, 1),
            "% 3 x 1 cylinder (3 vertices)\n3 5\n" + fixed_vertex_lines("1 1 2 / 2 2 3 1 / 3 3 2")},
        // One ring: the ring neighbours alone, agreeing with the counts line.
        ExactCase{
            "1x4", cylinder(1, 4),
            "% 1 x 4 cylinder (4 vertices)\n4 4\n" + fixed_vertex_lines("2 4 / 3 1 / 4 2 / 1 3")},
        ExactCase{"1x1", cylinder(1, 1), "% 1 x 1 cylinder (1 vertices)\n1 1\n1 1\n"}}));

// The read-back sweeps: every edge at both ends, the edge figure equal to half the entries
// (repeated entries and self-entries of small rings included), the line lengths the family has.
TEST(RingFamilies, ReadBackOverASweep) {
  for (int a = 1; a <= 9; ++a) {
    for (int b = 1; b <= 9; ++b) {
      SCOPED_TRACE(testing::Message() << a << "x" << b);
      const ReadGraph torus_graph = parse_graph(generated_file(torus(a, b)));
      EXPECT_EQ(check_graph(torus_graph), std::vector<std::string>{});
      EXPECT_EQ(torus_graph.vertex_count, a * b);
      for (const auto& line : torus_graph.adjacency)
        EXPECT_EQ(line.size(), 4u);

      const ReadGraph cylinder_graph = parse_graph(generated_file(cylinder(a, b)));
      EXPECT_EQ(check_graph(cylinder_graph), std::vector<std::string>{});
      for (std::size_t k = 0; k < cylinder_graph.adjacency.size(); ++k) {
        const auto ring = static_cast<int>(k) / b;
        const std::size_t expected = a == 1 ? 2 : (ring == 0 || ring == a - 1 ? 3 : 4);
        EXPECT_EQ(cylinder_graph.adjacency[k].size(), expected) << "vertex " << k + 1;
      }
      // Rings of three and more, with three rings and more, are simple graphs.
      const bool simple = a >= 3 && b >= 3;
      EXPECT_EQ(has_repeated_neighbour(torus_graph) || has_self_loop(torus_graph), !simple);
    }
  }
  for (int n = 3; n <= 40; ++n) {
    const ReadGraph graph = parse_graph(generated_file(star(n)));
    EXPECT_EQ(check_graph(graph), std::vector<std::string>{}) << n;
    EXPECT_EQ(graph.adjacency[0].size(), static_cast<std::size_t>(n - 1));
    EXPECT_EQ(has_repeated_neighbour(graph), n == 3);
  }
}

TEST(RingFamilies, CountsPastThirtyTwoBitsAreExact) {
  const auto big = torus_counts(2147483647, 2147483647);
  ASSERT_TRUE(big.has_value());
  EXPECT_EQ(big->vertices, 4611686014132420609);
  EXPECT_EQ(big->edges, 9223372028264841218);
  EXPECT_EQ(cylinder_counts(65536, 65536)->edges, 8589869056);
  EXPECT_EQ(star_counts(2147483647)->edges, 4294967292);
  // The entries the lines list: four a vertex, less one a vertex of the end rings; past 2^63
  // they saturate rather than wrap.
  EXPECT_EQ(cylinder_counts(9314, 2147483647)->arcs, 4 * 9314 * 2147483647LL - 2 * 2147483647LL);
  EXPECT_EQ(big->arcs, INT64_MAX);
  EXPECT_EQ(cylinder_counts(2147483647, 2147483647)->arcs, INT64_MAX);
}

}  // namespace
