// The square grid family: R rows of W vertices, each joined left, right, above and below;
// "folded" joins opposite corners, "partial" leaves out the horizontal edges of a middle band.
#include "generators/generators.hpp"

namespace {

// The band: horizontal edges (i, j)-(i, j + 1) with R/3 < i <= 2R/3 and W/3 <= j < 2W/3.
// Seen from the right end of such an edge, the column range is W/3 < j <= 2W/3.
struct Band {
  std::int64_t first_row;  // R/3 + 1
  std::int64_t last_row;   // 2R/3
  std::int64_t low;        // W/3
  std::int64_t high;       // 2W/3
};

Band band_of(std::int64_t rows, std::int64_t row_length) {
  return {rows / 3 + 1, 2 * rows / 3, row_length / 3, 2 * row_length / 3};
}

struct GridShape {
  std::int64_t rows;
  std::int64_t row_length;
  bool folded;
};

// The line of vertex (i, j) whose row lies in the band or not. Corner folds are tried in the
// order top-left, bottom-left, top-right, bottom-right; the first that holds adds one neighbour.
inline void write_grid_line(GraphFile& file, const GridShape& grid, const Band& band, bool in_band,
                            std::int64_t i, std::int64_t j, bool corner_column) {
  const std::int64_t w = grid.row_length;
  const Vertex v = i * w + j + 1;
  if (j > 0 && !(in_band && band.low < j && j <= band.high)) write_neighbour(file, v - 1);
  if (j < w - 1 && !(in_band && band.low <= j && j < band.high)) write_neighbour(file, v + 1);
  if (i > 0) write_neighbour(file, v - w);
  if (i < grid.rows - 1) write_neighbour(file, v + w);
  if (grid.folded && corner_column) {
    const std::int64_t last_row = grid.rows - 1;
    if (i == 0 && j == 0) {
      write_neighbour(file, grid.rows * w);
    } else if (i == last_row && j == 0) {
      write_neighbour(file, w);
    } else if (i == 0 && j == w - 1) {
      write_neighbour(file, last_row * w + 1);
    } else if (i == last_row && j == w - 1) {
      write_neighbour(file, 1);
    }
  }
  end_vertex_line(file);
}

}  // namespace

std::optional<GraphCounts> grid_counts(std::int32_t rows, std::int32_t row_length, bool folded,
                                       bool partial) {
  // With both sizes below 2^31, R × W and 2 × R × W stay below 2^63.
  const std::int64_t r = rows;
  const std::int64_t w = row_length;
  const std::int64_t vertices = r * w;
  std::int64_t edges = 2 * vertices - r - w;
  if (folded) edges += 2;
  if (partial) edges -= (2 * r / 3 - r / 3) * (2 * w / 3 - w / 3);
  return GraphCounts{vertices, edges};
}

Outcome generate_grid(std::int32_t first_size, std::int32_t second_size,
                      const std::string& output_name, int folded, int partial) {
  const GraphCounts counts = *grid_counts(first_size, second_size, folded != 0, partial != 0);
  const GridShape grid{first_size, second_size, folded != 0};
  const Band band = band_of(grid.rows, grid.row_length);

  GraphFile file = open_graph_file(output_name);
  if (!graph_file_ok(file)) return finish_graph_file(file);
  write_comment_line(file, "%% %d x %d square grid (%d vertices)\n",
                     {grid.rows, grid.row_length, counts.vertices});
  write_counts_line(file, counts.vertices, counts.edges, CountsLineEnd::kSpaceThenNewline);

  const std::int64_t w = grid.row_length;
  for (std::int64_t i = 0; i < grid.rows && graph_file_ok(file); ++i) {
    const bool in_band = partial != 0 && band.first_row <= i && i <= band.last_row;
    // Only the first and the last column can hold a corner, so the columns between never test
    // for a fold.
    write_grid_line(file, grid, band, in_band, i, 0, true);
    for (std::int64_t j = 1; j < w - 1; ++j)
      write_grid_line(file, grid, band, in_band, i, j, false);
    if (w > 1) write_grid_line(file, grid, band, in_band, i, w - 1, true);
  }
  return finish_graph_file(file);
}
