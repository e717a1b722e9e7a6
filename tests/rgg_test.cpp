// rgg2d and rgg3d: every graph of a sweep read back through the shared reader is the graph its
// coordinates file defines, checked over all pairs in integers; the bytes are the same on any
// thread count; edge lengths go the short way round the torus; what cannot be had is refused;
// and the binomial sampler draws its distribution. (tests/rgg_test.py compares the same files
// with SciPy's KD-tree.)
#include "generators/rgg.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "famgen/famgen.h"
#include "famgen/famgen.hpp"
#include "generators/binomial.hpp"
#include "generators/rgg_near.hpp"
#include "graphfile/output/destinations.hpp"
#include "tests/family_sweep.hpp"
#include "tests/graph_reader.hpp"

using namespace famgen;

namespace {

__extension__ typedef unsigned __int128 Wide;

// A decimal of at most 18 decimals, in units of 10^-18 ("0.25" is 25·10^16).
Wide decimal_units(const std::string& text, int decimals) {
  Wide units = 0;
  int after = -1;
  for (const char c : text) {
    if (c == '.') {
      after = 0;
      continue;
    }
    units = units * 10 + static_cast<Wide>(c - '0');
    if (after >= 0) ++after;
  }
  for (int k = std::max(after, 0); k < decimals; ++k)
    units *= 10;
  return units;
}

struct RggFiles {
  ReadGraph metis;
  std::vector<std::vector<Wide>> points;  // in units of 10^-9
  Wide radius = 0;                        // in units of 10^-18, from the comment line
};

RggFiles rgg_files(const KeywordSizes& graph) {
  RggFiles files;
  with_source(graph, [&](const GraphSource& source) {
    std::vector<std::string> bytes;
    MemoryDestination({{{"", Format::kMetis}, {"", Format::kCoordinates}}, {}, {}}, bytes)
        .write(source);
    files.metis = parse_graph(bytes.at(0));
    const Points read = read_points(bytes.at(1), source.facts().dimension, 9, false);
    EXPECT_TRUE(read.faults.empty()) << read.faults.front();
    std::istringstream lines(bytes.at(1));
    std::string word;
    for (std::string line; std::getline(lines, line);) {
      std::istringstream words(line);
      files.points.emplace_back();
      while (words >> word)
        files.points.back().push_back(decimal_units(word, 9));
    }
  });
  const std::string& comment = files.metis.comment_line;
  const std::size_t at = comment.find("radius ") + 7;
  files.radius = decimal_units(comment.substr(at, comment.find(',', at) - at), 18);
  return files;
}

// The neighbours of every point by the definition: every other point whose squared distance,
// the shorter way round each axis on the torus, is below R², all in integers.
std::vector<std::vector<std::int64_t>> joined_pairs(const RggFiles& files, bool periodic) {
  constexpr Wide kUnit = 1000000000;
  const std::size_t n = files.points.size();
  std::vector<std::vector<std::int64_t>> adjacency(n);
  for (std::size_t u = 0; u < n; ++u) {
    for (std::size_t w = 0; w < n; ++w) {
      if (w == u) continue;
      Wide squared = 0;
      for (std::size_t a = 0; a < files.points[u].size(); ++a) {
        const Wide p = files.points[u][a];
        const Wide q = files.points[w][a];
        Wide gap = p > q ? p - q : q - p;
        if (periodic) gap = std::min(gap, kUnit - gap);
        squared += gap * gap;
      }
      // squared counts 10^-18, R² 10^-36.
      if (squared * kUnit * kUnit < files.radius * files.radius)
        adjacency[u].push_back(static_cast<std::int64_t>(w) + 1);
    }
  }
  return adjacency;
}

TEST(Rgg, EveryGraphOfTheSweepIsItsDefinition) {
  // Keyword, size, and options: the default radius, radii that make a few cells or one, the
  // torus (whose wrap joins cells across the border, and with fewer than three cells a side
  // meets the same cell twice), seeds, and sizes of many blocks of cells.
  const std::vector<KeywordSizes> graphs = {
      {"rgg2d", "1"},
      {"rgg2d", "3", {"-radius", "1"}},
      {"rgg2d", "500"},
      {"rgg2d", "500", {"-periodic", "all"}},
      {"rgg2d", "400", {"-radius", "0.45", "-periodic", "all", "-seed", "9"}},
      {"rgg2d", "300", {"-radius", "0.7"}},
      {"rgg2d", "300", {"-radius", "1", "-periodic", "all"}},
      {"rgg2d", "6000", {"-radius", "0.012", "-seed", "2"}},
      {"rgg2d", "6000", {"-radius", "0.012", "-periodic", "all"}},
      {"rgg3d", "2"},
      {"rgg3d", "700"},
      {"rgg3d", "700", {"-periodic", "all", "-seed", "0"}},
      {"rgg3d", "300", {"-radius", "0.35", "-periodic", "all"}},
      {"rgg3d", "5000", {"-radius", "0.06"}},
      {"rgg3d", "5000", {"-radius", "0.06", "-periodic", "all", "-seed", "18446744073709551615"}},
  };
  for (const KeywordSizes& graph : graphs) {
    SCOPED_TRACE(graph.name());
    const RggFiles files = rgg_files(graph);
    const ReadGraph& metis = files.metis;
    ASSERT_TRUE(metis.format_faults.empty()) << metis.format_faults.front();
    const std::vector<std::string> faults = check_graph(metis);
    ASSERT_TRUE(faults.empty()) << faults.front();
    EXPECT_FALSE(has_self_loop(metis));
    ASSERT_EQ(files.points.size(), metis.adjacency.size());
    const bool periodic = std::ranges::find(graph.options, "all") != graph.options.end();
    const auto expected = joined_pairs(files, periodic);
    for (std::size_t u = 0; u < expected.size(); ++u) {
      ASSERT_TRUE(std::ranges::is_sorted(metis.adjacency[u])) << "vertex " << u + 1;
      ASSERT_EQ(metis.adjacency[u], expected[u]) << "vertex " << u + 1;
    }
  }
}

// Points are numbered cell by cell: the first axis's cell never falls along the vertices.
TEST(Rgg, VerticesGoCellByCell) {
  const RggFiles files = rgg_files({"rgg2d", "4000", {"-radius", "0.05"}});
  const Wide cell_width = 1000000000 / 20;  // 20 cells a side of at least 0.05
  for (std::size_t v = 1; v < files.points.size(); ++v)
    ASSERT_LE(files.points[v - 1][0] / cell_width, files.points[v][0] / cell_width) << v;
}

// Sizes of thousands of cells, so that threads and blocks of cells cut them in many places.
TEST(Rgg, EveryThreadCountLayoutAndNumberingGivesTheSameBytes) {
  const ScratchFolder folder;
  for (const std::vector<std::string>& graph : std::vector<std::vector<std::string>>{
           {"rgg2d", "20000"}, {"rgg3d", "12000", "-periodic", "all"}}) {
    for (const std::string format : {"metis", "parhip", "scotch", "edgelist"}) {
      // Relabelled lines cost a walk of the tree each: two layouts are enough.
      for (const std::string permute : {"", "5"}) {
        if (!permute.empty() && format != "metis" && format != "scotch") continue;
        std::string first;
        for (const std::string threads : {"1", "2", "3"}) {
          std::vector<std::string> arguments = {"-graphtype",   graph[0],
                                                "-size",        graph[1],
                                                "-format",      format,
                                                "-threads",     threads,
                                                "-out",         folder.path("g").string(),
                                                "-coordinates", folder.path("c").string()};
          arguments.insert(arguments.end(), graph.begin() + 2, graph.end());
          if (!permute.empty()) arguments.insert(arguments.end(), {"-permute", permute});
          SCOPED_TRACE(joined_arguments(arguments));
          const ProcessResult run = run_famgen(arguments);
          ASSERT_EQ(run.exit_status, 0) << run.standard_error;
          const std::string bytes = read_file(folder.path("g")) + read_file(folder.path("c"));
          if (first.empty()) first = bytes;
          EXPECT_TRUE(bytes == first) << bytes.size() << " bytes against " << first.size();
        }
      }
    }
  }
}

// The length model weighs an edge by its length: on the torus, the shorter way round, never
// more than the radius; off it, the same lengths as the positions give.
TEST(Rgg, EdgeLengthsGoTheShortWayRoundTheTorus) {
  for (const bool periodic : {false, true}) {
    KeywordSizes graph{"rgg2d", "2000", {"-radius", "0.1", "-edge-weights", "length:1000"}};
    if (periodic) graph.options.insert(graph.options.end(), {"-periodic", "all"});
    SCOPED_TRACE(graph.name());
    ReadGraph metis;
    with_source(graph, [&](const GraphSource& source) {
      metis = parse_graph(whole_file(source, Format::kMetis, {}));
    });
    ASSERT_TRUE(check_graph(metis).empty());
    std::int64_t longest = 0;
    std::int64_t entries = 0;
    for (const std::vector<std::int64_t>& weights : metis.edge_weights) {
      for (const std::int64_t weight : weights)
        longest = std::max(longest, weight);
      entries += static_cast<std::int64_t>(weights.size());
    }
    EXPECT_GT(entries, 0);
    EXPECT_LE(longest, 100);  // ⌈0.1 × 1000⌉
    EXPECT_GE(longest, 95);   // the longest of thousands of edges comes near the radius
  }
}

struct Refusal {
  std::vector<std::string> arguments;
  int status;
  std::string message;  // the start of standard error, or all of standard output
};

TEST(Rgg, RefusesWhatItCannotHave) {
  const std::string kSize = "Random geometric graph size is not available. Exiting.\n";
  const std::vector<Refusal> refusals = {
      {{"rgg2d", "0"}, static_cast<int>(kSize.size()), kSize},
      {{"rgg3d", "-4"}, static_cast<int>(kSize.size()), kSize},
      {{"rgg2d", "10", "-radius", "0"}, 1, "famgen: -radius takes a decimal above 0"},
      {{"rgg2d", "10", "-radius", "1.0000001"}, 1, "famgen: -radius takes a decimal above 0"},
      {{"rgg2d", "10", "-radius", "-0.5"}, 1, "famgen: -radius takes a decimal above 0"},
      {{"rgg2d", "10", "-radius", "1e-3"}, 1, "famgen: -radius takes a decimal above 0"},
      {{"rgg2d", "10", "-radius", "0.1.2"}, 1, "famgen: -radius takes a decimal above 0"},
      {{"rgg2d", "10", "-radius", "."}, 1, "famgen: -radius takes a decimal above 0"},
      {{"rgg2d", "10", "-radius", "0.0000000000000000001"},
       1,
       "famgen: -radius takes a decimal above 0"},
      {{"rgg3d", "10", "-periodic", "1,0,1"},
       1,
       "famgen: rgg2d and rgg3d take -periodic all or none"},
      {{"rgg3d", "10", "-stencil", "box"}, 1, "famgen: -stencil applies to the mesh alone"},
      {{"grid", "3,4", "-radius", "0.5"}, 1, "famgen: -radius applies to rgg2d and rgg3d alone"},
      {{"torus", "3,4", "-periodic", "all"},
       1,
       "famgen: -stencil applies to the mesh alone, -periodic to the mesh, rgg2d and rgg3d"},
      {{"rgg2d", "2000000", "-radius", "1"}, 1, "famgen: rgg2d of 2000000 points and radius 1"},
      {{"rgg3d", "3000000", "-radius", "0.5"}, 1, "famgen: rgg3d of 3000000 points"},
  };
  const ScratchFolder folder;
  const std::string out = folder.path("g").string();
  for (const Refusal& refusal : refusals) {
    std::vector<std::string> arguments = {
        "-graphtype", refusal.arguments[0], "-size", refusal.arguments[1], "-out", out};
    arguments.insert(arguments.end(), refusal.arguments.begin() + 2, refusal.arguments.end());
    SCOPED_TRACE(joined_arguments(arguments));
    const ProcessResult run = run_famgen(arguments);
    EXPECT_EQ(run.exit_status, refusal.status);
    if (refusal.status == 1) {
      EXPECT_EQ(run.standard_error.rfind(refusal.message, 0), 0u) << run.standard_error;
      EXPECT_EQ(std::ranges::count(run.standard_error, '\n'), 1) << run.standard_error;
    } else {
      EXPECT_EQ(run.standard_output, refusal.message);
    }
    EXPECT_FALSE(std::filesystem::exists(out));
  }
  // Radii that are taken: exactly 18 decimals, zeros past them, a bare point.
  for (const std::string radius : {"0.000000000000000001", "0.50000000000000000000", "1.", ".5"}) {
    const ProcessResult run =
        run_famgen({"-graphtype", "rgg2d", "-size", "30", "-radius", radius, "-out", out});
    EXPECT_EQ(run.exit_status, 0) << radius << ": " << run.standard_error;
  }
}

// The C interface's radius and seed are the C++ interface's, and make another graph than the
// defaults do.
TEST(Rgg, TheCInterfaceTakesTheRadiusAndSeed) {
  const std::int64_t sizes[] = {800};
  const famgen_graph c_graph = {"rgg3d", sizes,   1, nullptr, "all", 0,     0,
                                nullptr, nullptr, 1, 17,      0,     "0.15"};
  famgen_csr64 arrays;
  ASSERT_EQ(famgen_build_csr64(&c_graph, nullptr, &arrays), FAMGEN_OK);
  Graph graph{"rgg3d", {800}, {}, "all"};
  graph.seed = 17;
  graph.radius = "0.15";
  const Result<Csr<std::int64_t>> same = csr<std::int64_t>(graph);
  ASSERT_TRUE(same);
  EXPECT_EQ(std::vector<std::int64_t>(arrays.adjncy, arrays.adjncy + arrays.xadj[800]),
            std::vector<std::int64_t>(same->adjncy.begin(), same->adjncy.end()));
  graph.seed = 1;
  graph.radius.clear();
  const Result<Csr<std::int64_t>> defaults = csr<std::int64_t>(graph);
  ASSERT_TRUE(defaults);
  EXPECT_NE(defaults->adjncy.size(), same->adjncy.size());
  famgen_free_csr64(&arrays);
}

// The upper tail of the chi-square distribution of k degrees of freedom passes x with
// probability about p (Wilson and Hilferty's cube-root normal approximation).
double chi_square_above(double x, double k) {
  const double z = (std::cbrt(x / k) - (1 - 2 / (9 * k))) / std::sqrt(2 / (9 * k));
  return 0.5 * std::erfc(z / std::sqrt(2.0));
}

// Both methods (inversion below a mean of 10, BTRD above) and both sides of 1/2 against the
// exact probabilities, cells of expected count below 5 pooled into their neighbours.
TEST(Binomial, VariatesFollowTheirDistribution) {
  struct Case {
    std::int64_t n;
    double p;
  };
  constexpr int kDraws = 200000;
  for (const Case c : std::vector<Case>{{1, 0.3},
                                        {20, 0.2},
                                        {1000, 0.004},
                                        {2000000000, 2e-9},
                                        {50, 0.5},
                                        {200, 0.9},
                                        {100, 0.15},
                                        {1000, 0.37},
                                        {1000000, 0.5},
                                        {2000000000, 0.0001},
                                        {400, 0.97}}) {
    SCOPED_TRACE(std::to_string(c.n) + " trials of " + std::to_string(c.p));
    const double mean = static_cast<double>(c.n) * c.p;
    const double spread = std::sqrt(mean * (1 - c.p));
    const auto low = std::max<std::int64_t>(0, static_cast<std::int64_t>(mean - 8 * spread - 2));
    const auto high = std::min<std::int64_t>(c.n, static_cast<std::int64_t>(mean + 8 * spread + 2));
    std::vector<double> observed(static_cast<std::size_t>(high - low + 1));
    const std::uint64_t key = stream_key(static_cast<std::uint64_t>(c.n), 77);
    for (int draw = 0; draw < kDraws; ++draw) {
      WordStream words(key, static_cast<std::uint64_t>(draw), 0);
      const std::int64_t k = binomial_variate(c.n, c.p, words);
      ASSERT_GE(k, low);
      ASSERT_LE(k, high);
      observed[static_cast<std::size_t>(k - low)] += 1;
    }
    const auto probability = [&](std::int64_t k) {
      const auto n = static_cast<double>(c.n);
      const auto x = static_cast<double>(k);
      return std::exp(std::lgamma(n + 1) - std::lgamma(x + 1) - std::lgamma(n - x + 1) +
                      x * std::log(c.p) + (n - x) * std::log1p(-c.p));
    };
    double chi_square = 0;
    int cells = 0;
    double pooled_observed = 0;
    double pooled_expected = 0;
    for (std::int64_t k = low; k <= high; ++k) {
      pooled_observed += observed[static_cast<std::size_t>(k - low)];
      pooled_expected += kDraws * probability(k);
      if (pooled_expected >= 5 || k == high) {
        const double gap = pooled_observed - pooled_expected;
        chi_square += gap * gap / std::max(pooled_expected, 1e-12);
        ++cells;
        pooled_observed = pooled_expected = 0;
      }
    }
    if (cells < 2) continue;  // one outcome alone: nothing to compare
    EXPECT_GT(chi_square_above(chi_square, cells - 1), 1e-4)
        << "chi-square " << chi_square << " over " << cells << " cells";
  }
}

// The search this processor runs (four points at a time where it can) keeps and counts what the
// plain loops do: points clustered round the centre and spread over the whole axis (on the
// torus, round the other side of it), radii whose square is exactly some pair's squared
// distance (so that pair is just out) or one more (just in), runs of every length and offset.
TEST(RggNear, TheFastSearchFindsWhatThePlainLoopsFind) {
  for (const int d : {2, 3}) {
    for (const bool periodic : {false, true}) {
      SCOPED_TRACE(std::to_string(d) + (periodic ? "D, torus" : "D"));
      const NearSearch& fast = near_search(d, periodic);
      const NearSearch& plain = portable_near_search(d, periodic);
      if (fast.keep == plain.keep) GTEST_SKIP() << "this processor runs the plain loops alone";
      constexpr std::int64_t kUnit = 1000000000;
      constexpr std::size_t kPoints = 61;
      const std::size_t stride = kPoints + kNearSpill;
      std::uint64_t state = 0x5eed + static_cast<std::uint64_t>(d * 2 + periodic);
      const auto draw = [&](std::int64_t below) {
        return static_cast<std::int64_t>(mix64(++state) % static_cast<std::uint64_t>(below));
      };
      for (int round = 0; round < 300; ++round) {
        std::int32_t centre[3];
        for (int a = 0; a < d; ++a)
          centre[a] = static_cast<std::int32_t>(round % 3 == 0 ? draw(2000) : draw(kUnit));
        std::vector<std::int32_t> coordinates(static_cast<std::size_t>(d) * stride, 0);
        for (std::size_t i = 0; i < kPoints; ++i) {
          for (int a = 0; a < d; ++a) {
            const std::int64_t spread = i % 3 == 0 ? kUnit : 5000;
            const std::int64_t x = (centre[a] + draw(spread) - spread / 2 + kUnit) % kUnit;
            coordinates[static_cast<std::size_t>(a) * stride + i] = static_cast<std::int32_t>(x);
          }
        }
        // The squared distance of one point, the shorter way round on the torus.
        std::uint64_t squared = 0;
        const std::size_t picked = static_cast<std::size_t>(draw(kPoints));
        for (int a = 0; a < d; ++a) {
          std::int64_t gap = centre[a] - coordinates[static_cast<std::size_t>(a) * stride + picked];
          gap = gap < 0 ? -gap : gap;
          if (periodic) gap = std::min(gap, kUnit - gap);
          squared += static_cast<std::uint64_t>(gap * gap);
        }
        const std::uint64_t threshold = squared + static_cast<std::uint64_t>(round % 2);
        NearRun runs[5];
        const int run_count = 1 + static_cast<int>(draw(5));
        std::size_t room = kNearSpill;
        for (int r = 0; r < run_count; ++r) {
          const auto first = static_cast<std::size_t>(draw(kPoints + 1));
          const auto end = first + static_cast<std::size_t>(draw(kPoints + 1 - first));
          runs[r] = {coordinates.data(), stride, first, end, 1000 * r + 1};
          room += end - first;
        }
        std::vector<Vertex> kept(room, -1);
        std::vector<Vertex> expected(room, -1);
        const std::size_t found = fast.keep(centre, runs, run_count, threshold, kept.data());
        ASSERT_EQ(found, plain.keep(centre, runs, run_count, threshold, expected.data()));
        kept.resize(found);
        expected.resize(found);
        ASSERT_EQ(kept, expected) << "round " << round;
        ASSERT_EQ(fast.count(centre, runs, run_count, threshold), static_cast<std::int64_t>(found));
      }
    }
  }
}

// Rows let go and asked for again come back as they were drawn, whichever order they are asked
// in: a store of 3 rows, on the torus and off it, against each row drawn afresh.
TEST(RggRows, RowsLetGoAreDrawnAgainTheSame) {
  for (const bool periodic : {false, true}) {
    RggShape shape;
    shape.dimension = 3;
    shape.points = 20000;
    shape.radius = default_rgg_radius(3, shape.points);
    shape.periodic = periodic;
    const RggCells cells(shape);
    const std::int64_t rows_total = cells.cells_per_axis() * cells.cells_per_axis();
    RggRows rows(3);
    std::uint64_t state = 7;
    for (int ask = 0; ask < 200; ++ask) {
      const auto index =
          static_cast<std::int64_t>(mix64(++state) % static_cast<std::uint64_t>(rows_total));
      const std::shared_ptr<const RggRow> held = rows.row(index, cells);
      RggRow fresh;
      cells.load_row(index, fresh);
      ASSERT_EQ(held->first_vertex, fresh.first_vertex) << "row " << index;
      ASSERT_EQ(held->begin, fresh.begin) << "row " << index;
      ASSERT_EQ(held->coordinates, fresh.coordinates) << "row " << index;
    }
  }
}

}  // namespace
