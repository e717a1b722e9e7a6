// -simple over every family at every small size: the file is the plain graph with each line's
// self-loops and repeated neighbours taken out, with heading lines and the true edge count,
// and a family whose lines hold neither writes its own lines unchanged. The counts each family
// states of its self-loops and repeats are checked against what its lines list.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/family_sweep.hpp"
#include "tests/graph_reader.hpp"

using namespace famgen;

namespace {

// Each line without its own vertex and without the entries that repeat an earlier one.
Adjacency without_loops_and_repeats(const Adjacency& adjacency) {
  Adjacency simple;
  for (std::size_t k = 0; k < adjacency.size(); ++k) {
    std::vector<std::int64_t> line;
    for (const std::int64_t neighbour : adjacency[k]) {
      if (neighbour != static_cast<std::int64_t>(k + 1) &&
          std::find(line.begin(), line.end(), neighbour) == line.end()) {
        line.push_back(neighbour);
      }
    }
    simple.push_back(line);
  }
  return simple;
}

struct Listed {
  std::int64_t entries = 0;
  std::int64_t loops = 0;
  std::int64_t repeats = 0;  // not counting loops
};

Listed listed(const Adjacency& adjacency) {
  Listed found;
  for (std::size_t k = 0; k < adjacency.size(); ++k) {
    const auto& line = adjacency[k];
    found.entries += static_cast<std::int64_t>(line.size());
    for (std::size_t j = 0; j < line.size(); ++j) {
      if (line[j] == static_cast<std::int64_t>(k + 1)) {
        ++found.loops;
      } else if (std::find(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(j), line[j]) !=
                 line.begin() + static_cast<std::ptrdiff_t>(j)) {
        ++found.repeats;
      }
    }
  }
  return found;
}

std::vector<KeywordSizes> size_sweep() {
  std::vector<KeywordSizes> graphs;
  const auto pairs = [&](const std::string& keyword, int first_from, int first_to, int second_from,
                         int second_to) {
    for (int first = first_from; first <= first_to; ++first) {
      for (int second = second_from; second <= second_to; ++second) {
        std::string sizes = std::to_string(first);
        sizes += ',';
        sizes += std::to_string(second);
        graphs.push_back({keyword, sizes});
      }
    }
  };
  const auto singles = [&](const std::string& keyword, int from, int to) {
    for (int size = from; size <= to; ++size)
      graphs.push_back({keyword, std::to_string(size)});
  };
  for (const char* grid : {"grid", "folded_grid", "partial_grid", "partial_folded_grid"})
    pairs(grid, 1, 4, 1, 4);
  pairs("torus", 1, 4, 1, 4);
  pairs("cylinder", 1, 4, 1, 4);
  pairs("completegraph", 1, 4, -1, 3);
  pairs("unconnected_completegraph", 1, 4, 1, 3);
  singles("circle", 1, 6);
  singles("star", 3, 7);
  singles("tree", 1, 4);
  singles("hypercube", 2, 4);
  singles("sierpinski", 1, 3);
  return graphs;
}

// The text past its first heading_lines lines.
std::string vertex_lines(const std::string& text, int heading_lines) {
  std::size_t start = 0;
  for (int k = 0; k < heading_lines; ++k)
    start = text.find('\n', start) + 1;
  return text.substr(start);
}

std::string inserted_note(const std::string& comment_line) {
  const std::size_t end = comment_line.size() - (comment_line.ends_with('\n') ? 1 : 0);
  return comment_line.substr(0, end) + ", simple graph" + comment_line.substr(end);
}

TEST(Simple, EveryFamilyAtEverySmallSize) {
  for (KeywordSizes graph : size_sweep()) {
    SCOPED_TRACE(graph.name());
    const bool heading = graph.keyword != "completegraph";
    std::string plain_metis;
    std::string plain_parhip;
    std::string plain_scotch;
    GraphFacts plain_facts;
    with_source(graph, [&](const GraphSource& source) {
      plain_facts = source.facts();
      plain_metis = whole_file(source, Format::kMetis, {});
      plain_parhip = whole_file(source, Format::kParhip, {});
      plain_scotch = whole_file(source, Format::kScotch, {});
    });
    const ReadGraph plain = parse_graph(plain_metis, heading);
    ASSERT_TRUE(plain.format_faults.empty()) << plain.format_faults.front();
    // What the family says it lists is what it lists.
    const Listed found = listed(plain.adjacency);
    EXPECT_EQ(plain_facts.counts.arcs, found.entries);
    EXPECT_EQ(plain_facts.counts.loop_arcs, found.loops);
    EXPECT_EQ(plain_facts.counts.repeated_arcs, found.repeats);

    graph.options.push_back("-simple");
    with_source(graph, [&](const GraphSource& source) {
      const std::string metis = whole_file(source, Format::kMetis, {});
      const ReadGraph simple = parse_graph(metis, true);
      const std::vector<std::string> faults = check_graph(simple);
      EXPECT_TRUE(faults.empty()) << faults.front();
      EXPECT_FALSE(has_self_loop(simple));
      EXPECT_FALSE(has_repeated_neighbour(simple));
      EXPECT_EQ(simple.adjacency, without_loops_and_repeats(plain.adjacency));
      EXPECT_EQ(
          simple.comment_line + "\n",
          inserted_note(heading ? plain_facts.comment_line : "% " + plain_facts.title + "\n"));
      EXPECT_EQ(source.facts().title, plain_facts.title + ", simple graph");
      EXPECT_EQ(source.facts().counts.arcs, listed(simple.adjacency).entries);
      if (found.loops == 0 && found.repeats == 0) {
        // Nothing to take out: the family's own lines, and in the layouts without a comment
        // its own bytes.
        EXPECT_EQ(vertex_lines(metis, 2), vertex_lines(plain_metis, heading ? 2 : 0));
        EXPECT_TRUE(whole_file(source, Format::kParhip, {}) == plain_parhip);
        EXPECT_TRUE(whole_file(source, Format::kScotch, {}) == plain_scotch);
        if (heading && 2 * plain.edge_figure == found.entries) {
          EXPECT_EQ(metis, inserted_note(plain_facts.comment_line) +
                               plain_metis.substr(plain_facts.comment_line.size()));
        }
      }
    });
  }
}

}  // namespace
