#include "generators/grid.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "generators/families.hpp"
#include "graphfile/output/destinations.hpp"
#include "tests/graph_reader.hpp"

using namespace famgen;

namespace {

struct GridCase {
  int rows;
  int row_length;
  int folded;
  int partial;
  std::string counts_line;
  std::string vertex_lines;  // compact list lines, see list_vertex_lines
};

void PrintTo(const GridCase& c, std::ostream* out) {
  *out << c.rows << "x" << c.row_length << (c.folded ? " folded" : "")
       << (c.partial ? " partial" : "");
}

std::string grid_file(int rows, int row_length, int folded, int partial) {
  return generated_file([&](const std::string& name) {
    return generate_grid(rows, row_length, write_to(FileDestination(name)), folded, partial);
  });
}

class GridExactTest : public testing::TestWithParam<GridCase> {};

TEST_P(GridExactTest, ByteExact) {
  const GridCase& c = GetParam();
  const std::string comment = "% " + std::to_string(c.rows) + " x " + std::to_string(c.row_length) +
                              " square grid (" + std::to_string(c.rows * c.row_length) +
                              " vertices)\n";
  EXPECT_EQ(grid_file(c.rows, c.row_length, c.folded, c.partial),
            comment + c.counts_line + " \n" + list_vertex_lines(c.vertex_lines));
}

const std::string k6x6Partial =
    "2 7 / 1 3 8 / 2 4 9 / 3 5 10 / 4 6 11 / 5 12 /"
    "8 1 13 / 7 9 2 14 / 8 10 3 15 / 9 11 4 16 / 10 12 5 17 / 11 6 18 /"
    "14 7 19 / 13 15 8 20 / 14 16 9 21 / 15 17 10 22 / 16 18 11 23 / 17 12 24 /"
    "20 13 25 / 19 21 14 26 / 20 15 27 / 16 28 / 24 17 29 / 23 18 30 /"
    "26 19 31 / 25 27 20 32 / 26 21 33 / 22 34 / 30 23 35 / 29 24 36 /"
    "32 25 / 31 33 26 / 32 34 27 / 33 35 28 / 34 36 29 / 35 30";

std::string with_folds(std::string lines) {
  const auto replace = [&](const std::string& from, const std::string& to) {
    lines.replace(lines.find(from), from.size(), to);
  };
  replace("2 7 /", "2 7 36 /");
  replace("5 12 /", "5 12 31 /");
  replace("32 25 /", "32 25 6 /");
  replace("35 30", "35 30 1");
  return lines;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, GridExactTest,
    testing::ValuesIn(std::vector<GridCase>{
        GridCase{3, 3, 0, 0, "9 12",
                 "2 4 / 1 3 5 / 2 6 / 5 1 7 / 4 6 2 8 / 5 3 9 / 8 4 / 7 9 5 / 8 6"},
        GridCase{3, 3, 1, 0, "9 14",
                 "2 4 9 / 1 3 5 / 2 6 7 / 5 1 7 / 4 6 2 8 / 5 3 9 / 8 4 3 / 7 9 5 / 8 6 1"},
        GridCase{6, 6, 0, 1, "36 56", k6x6Partial},
        GridCase{6, 6, 1, 1, "36 58", with_folds(k6x6Partial)},
        GridCase{2, 3, 0, 0, "6 7", "2 4 / 1 3 5 / 2 6 / 5 1 / 4 6 2 / 5 3"},
        GridCase{1, 1, 0, 0, "1 0", ""}, GridCase{1, 1, 1, 0, "1 2", "1"},
        GridCase{1, 4, 1, 0, "4 5", "2 4 / 1 3 / 2 4 / 3 1"},
        GridCase{3, 1, 1, 0, "3 4", "2 3 / 1 3 / 2 1"}, GridCase{1, 2, 1, 0, "2 3", "2 2 / 1 1"},
        GridCase{2, 1, 1, 0, "2 3", "2 2 / 1 1"},
        GridCase{2, 2, 1, 0, "4 6", "2 3 4 / 1 4 3 / 4 1 2 / 3 2 1"},
        GridCase{2, 2, 0, 1, "4 3", "2 3 / 1 4 / 1 / 2"},
        GridCase{2, 2, 1, 1, "4 5", "2 3 4 / 1 4 3 / 1 2 / 2 1"},
        GridCase{3, 3, 0, 1, "9 11", "2 4 / 1 3 5 / 2 6 / 5 1 7 / 4 6 2 8 / 5 3 9 / 8 4 / 7 5 / 6"},
        GridCase{1, 5, 0, 1, "5 4", "2 / 1 3 / 2 4 / 3 5 / 4"}}));

// Every flag combination over all sizes up to 12 × 12: each edge at both ends, the edge figure
// from the formula equal to the edges listed (but for the one-row and one-column folded grids,
// whose fold closes a ring with an edge counted twice), and no self-loop but the 1 × 1 fold.
TEST(Grid, ReadBackOverASweep) {
  for (int folded = 0; folded <= 1; ++folded) {
    for (int partial = 0; partial <= 1; ++partial) {
      for (int rows = 1; rows <= 12; ++rows) {
        for (int row_length = 1; row_length <= 12; ++row_length) {
          SCOPED_TRACE(testing::Message() << rows << "x" << row_length << " folded " << folded
                                          << " partial " << partial);
          const ReadGraph graph = parse_graph(grid_file(rows, row_length, folded, partial));
          ASSERT_EQ(graph.vertex_count, rows * row_length);
          EXPECT_TRUE(graph.counts_line_trailing_space);
          const bool thin_fold = folded && (rows == 1 || row_length == 1);
          EXPECT_EQ(check_graph(graph, !thin_fold), std::vector<std::string>{});
          std::int64_t entries = 0;
          for (const auto& line : graph.adjacency)
            entries += static_cast<std::int64_t>(line.size());
          if (thin_fold) {
            const std::int64_t listed = rows * row_length == 1 ? 1 : entries / 2;
            EXPECT_EQ(graph.edge_figure, listed + 1);
          }
          EXPECT_EQ(has_self_loop(graph), folded && rows == 1 && row_length == 1);
          const auto counts = grid_counts(rows, row_length, folded, partial);
          ASSERT_TRUE(counts.has_value());
          EXPECT_EQ(counts->edges, graph.edge_figure);
        }
      }
    }
  }
}

// Partial grids leave out exactly the band, which never touches a vertical edge: removing the
// partial flag only adds horizontal edges, each between neighbours in one row.
TEST(Grid, PartialLeavesOutOnlyHorizontalEdges) {
  for (int rows = 1; rows <= 10; ++rows) {
    for (int row_length = 1; row_length <= 10; ++row_length) {
      const ReadGraph whole = parse_graph(grid_file(rows, row_length, 0, 0));
      const ReadGraph partial = parse_graph(grid_file(rows, row_length, 0, 1));
      for (std::size_t k = 0; k < whole.adjacency.size(); ++k) {
        for (const std::int64_t v : whole.adjacency[k]) {
          const auto& kept = partial.adjacency[k];
          if (std::find(kept.begin(), kept.end(), v) != kept.end()) continue;
          EXPECT_EQ(std::abs(v - static_cast<std::int64_t>(k + 1)), 1)
              << rows << "x" << row_length << " vertex " << k + 1 << " lost " << v;
        }
      }
    }
  }
}

}  // namespace
