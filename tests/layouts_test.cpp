// Every layout read back by a reader written from the layout's description alone gives the
// METIS file's adjacency, neighbours in the METIS order; a relabelled file is the plain graph
// with every number passed through π.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "graphfile/relabelling.hpp"
#include "tests/family_sweep.hpp"
#include "tests/graph_reader.hpp"

using namespace famgen;

namespace {

bool header_suppressed(const KeywordSizes& graph) {
  return graph.keyword == "completegraph" &&
         std::find(graph.options.begin(), graph.options.end(), "-simple") == graph.options.end();
}

// The entries of line k that the edge layouts write from k: those numbered at most k (Matrix
// Market) or at least k (edge list).
std::vector<std::pair<std::int64_t, std::int64_t>> edges_written_from(const Adjacency& adjacency,
                                                                      bool lower) {
  std::vector<std::pair<std::int64_t, std::int64_t>> edges;
  for (std::size_t k = 0; k < adjacency.size(); ++k) {
    const auto vertex = static_cast<std::int64_t>(k + 1);
    for (const std::int64_t neighbour : adjacency[k]) {
      if (lower ? neighbour <= vertex : neighbour >= vertex) edges.emplace_back(vertex, neighbour);
    }
  }
  return edges;
}

std::int64_t entries_of(const Adjacency& adjacency) {
  std::int64_t entries = 0;
  for (const auto& line : adjacency)
    entries += static_cast<std::int64_t>(line.size());
  return entries;
}

TEST(Layouts, EveryLayoutReadsBackToTheMetisAdjacency) {
  for (const KeywordSizes& graph : small_graphs()) {
    with_source(graph, [&](const GraphSource& source) {
      SCOPED_TRACE(graph.name());
      const ReadGraph metis =
          parse_graph(whole_file(source, Format::kMetis, {}), !header_suppressed(graph));
      ASSERT_TRUE(metis.format_faults.empty()) << metis.format_faults.front();
      const Adjacency& adjacency = metis.adjacency;
      const auto n = static_cast<std::int64_t>(adjacency.size());
      const std::int64_t entries = entries_of(adjacency);
      // The figures every layout but METIS states are the true counts of what it lists.
      EXPECT_EQ(source.facts().counts.arcs, entries);

      const std::string parhip_bytes = whole_file(source, Format::kParhip, {});
      const ParhipGraph parhip = read_parhip(parhip_bytes);
      ASSERT_TRUE(parhip.faults.empty()) << parhip.faults.front();
      EXPECT_EQ(parhip.version, 3u);
      EXPECT_EQ(parhip.vertex_count, static_cast<std::uint64_t>(n));
      EXPECT_EQ(parhip.entry_count, static_cast<std::uint64_t>(entries));
      EXPECT_EQ(parhip.offsets.front(), static_cast<std::uint64_t>(3 + n + 1) * 8);
      EXPECT_EQ(parhip.offsets.back(), parhip_bytes.size());
      EXPECT_EQ(parhip.adjacency, adjacency);

      const ScotchGraph scotch = read_scotch(whole_file(source, Format::kScotch, {}));
      ASSERT_TRUE(scotch.faults.empty()) << scotch.faults.front();
      EXPECT_EQ(scotch.vertex_count, n);
      EXPECT_EQ(scotch.arc_count, entries);
      EXPECT_EQ(scotch.adjacency, adjacency);

      const EdgeLines mtx = read_edge_lines(whole_file(source, Format::kMatrixMarket, {}), '%', 1);
      ASSERT_TRUE(mtx.faults.empty()) << mtx.faults.front();
      ASSERT_EQ(mtx.comments.size(), 2u);
      EXPECT_EQ(mtx.comments[0], "%%MatrixMarket matrix coordinate pattern symmetric");
      EXPECT_EQ(mtx.comments[1], "% " + source.facts().title);
      EXPECT_EQ(mtx.edges, edges_written_from(adjacency, true));
      EXPECT_EQ(mtx.figures,
                (std::vector<std::int64_t>{n, n, static_cast<std::int64_t>(mtx.edges.size())}));

      const EdgeLines edge_list =
          read_edge_lines(whole_file(source, Format::kEdgeList, {}), '#', 0);
      ASSERT_TRUE(edge_list.faults.empty()) << edge_list.faults.front();
      EXPECT_EQ(edge_list.edges, edges_written_from(adjacency, false));
      ASSERT_EQ(edge_list.comments.size(), 1u);
      EXPECT_EQ(edge_list.comments[0], "# " + source.facts().title + ": " + std::to_string(n) +
                                           " vertices, " + std::to_string(edge_list.edges.size()) +
                                           " edges");
    });
  }
}

// Isomorphic by construction: line π(v) of the relabelled file lists π(w) for each neighbour w
// of v, in v's order, so each vertex appears as exactly one line and the edges map one to one.
// The comment says so, with the seed; the counts line does not change.
TEST(Relabelling, EveryFamilyRelabelsToAnIsomorphicFile) {
  for (const KeywordSizes& graph : small_graphs()) {
    with_source(graph, [&](const GraphSource& source) {
      SCOPED_TRACE(graph.name());
      const bool heading = !header_suppressed(graph);
      const ReadGraph plain = parse_graph(whole_file(source, Format::kMetis, {}), heading);
      const ReadGraph relabelled = parse_graph(whole_file(source, Format::kMetis, 9), heading);
      ASSERT_TRUE(relabelled.format_faults.empty());
      const auto n = static_cast<std::int64_t>(plain.adjacency.size());
      ASSERT_EQ(static_cast<std::int64_t>(relabelled.adjacency.size()), n);
      const Relabelling pi(n, 9);
      std::set<std::int64_t> lines;
      for (std::int64_t v = 1; v <= n; ++v) {
        const std::int64_t u = pi.forward(v);
        ASSERT_TRUE(u >= 1 && u <= n) << u;
        EXPECT_EQ(pi.backward(u), v);
        lines.insert(u);
        std::vector<std::int64_t> mapped;
        for (const std::int64_t w : plain.adjacency[static_cast<std::size_t>(v - 1)])
          mapped.push_back(pi.forward(w));
        EXPECT_EQ(relabelled.adjacency[static_cast<std::size_t>(u - 1)], mapped) << v;
      }
      EXPECT_EQ(static_cast<std::int64_t>(lines.size()), n);
      EXPECT_TRUE(check_graph(relabelled, false).empty());
      if (heading) {
        EXPECT_EQ(relabelled.vertex_count, plain.vertex_count);
        EXPECT_EQ(relabelled.edge_figure, plain.edge_figure);
        EXPECT_EQ(relabelled.comment_line,
                  plain.comment_line + ", relabelled at random with seed 9");
      }
    });
  }
}

// π is a bijection of 1..V for every V, including those just past a power of two where the
// walk has the most to skip, and different seeds give different numberings.
TEST(Relabelling, IsABijectionForEveryCount) {
  for (std::int64_t n = 1; n <= 600; ++n) {
    const Relabelling pi(n, 1);
    std::vector<bool> seen(static_cast<std::size_t>(n) + 1);
    for (std::int64_t v = 1; v <= n; ++v) {
      const std::int64_t u = pi.forward(v);
      ASSERT_TRUE(u >= 1 && u <= n && !seen[static_cast<std::size_t>(u)]) << n << " " << v;
      seen[static_cast<std::size_t>(u)] = true;
      ASSERT_EQ(pi.backward(u), v);
    }
  }
  const Relabelling big(std::int64_t{1} << 62, -4);
  for (const std::int64_t v : {std::int64_t{1}, std::int64_t{123456789012345},
                               (std::int64_t{1} << 62) - 1, std::int64_t{1} << 62}) {
    EXPECT_EQ(big.backward(big.forward(v)), v);
  }
  const Relabelling one(1000, 1);
  const Relabelling two(1000, 2);
  int same = 0;
  for (std::int64_t v = 1; v <= 1000; ++v)
    same += one.forward(v) == two.forward(v);
  EXPECT_LT(same, 20);
}

// No trace of the natural order: over the edges of a grid and of a hypercube the mean
// |π(u) - π(v)| / V is that of a random numbering (1/3), and v and π(v) are uncorrelated.
TEST(Relabelling, LeavesNoTraceOfTheNaturalOrder) {
  for (const KeywordSizes& graph :
       std::vector<KeywordSizes>{{"grid", "1000,1000"}, {"hypercube", "16"}}) {
    with_source(graph, [&](const GraphSource& source) {
      const ReadGraph plain = parse_graph(whole_file(source, Format::kMetis, {}));
      const auto n = static_cast<std::int64_t>(plain.adjacency.size());
      const Relabelling pi(n, 1);
      double distance = 0;
      double edges = 0;
      for (std::int64_t v = 1; v <= n; ++v) {
        for (const std::int64_t w : plain.adjacency[static_cast<std::size_t>(v - 1)]) {
          distance += static_cast<double>(std::llabs(pi.forward(v) - pi.forward(w)));
          edges += 1;
        }
      }
      const double mean_distance = distance / edges / static_cast<double>(n);
      double sum_x = 0, sum_y = 0, sum_xx = 0, sum_yy = 0, sum_xy = 0;
      for (std::int64_t v = 1; v <= n; ++v) {
        const auto x = static_cast<double>(v);
        const auto y = static_cast<double>(pi.forward(v));
        sum_x += x;
        sum_y += y;
        sum_xx += x * x;
        sum_yy += y * y;
        sum_xy += x * y;
      }
      const auto count = static_cast<double>(n);
      const double correlation =
          (count * sum_xy - sum_x * sum_y) /
          std::sqrt((count * sum_xx - sum_x * sum_x) * (count * sum_yy - sum_y * sum_y));
      RecordProperty(graph.keyword + "_mean_distance", std::to_string(mean_distance));
      RecordProperty(graph.keyword + "_correlation", std::to_string(correlation));
      EXPECT_GT(mean_distance, 0.32) << graph.keyword;
      EXPECT_LT(mean_distance, 0.35) << graph.keyword;
      EXPECT_LT(std::abs(correlation), 0.01) << graph.keyword;
    });
  }
}

}  // namespace
