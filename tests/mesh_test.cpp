// The mesh against its definition: every small mesh (1 to 4 axes, every periodic pattern, both
// stencils) read back through the shared reader is a simple graph, its neighbours ascending,
// with exactly the neighbours that the lattice points of its own coordinates file make; and the
// meshes that other families are (grid, torus, cylinder, circle, hypercube) have their edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "graphfile/output/destinations.hpp"
#include "tests/family_sweep.hpp"
#include "tests/graph_reader.hpp"

using namespace famgen;

namespace {

struct MeshFiles {
  ReadGraph metis;
  Points points;  // the last axis first
};

MeshFiles mesh_files(const KeywordSizes& graph) {
  MeshFiles files;
  with_source(graph, [&](const GraphSource& source) {
    std::vector<std::string> bytes;
    MemoryDestination({{{"", Format::kMetis}, {"", Format::kCoordinates}}, {}, {}}, bytes)
        .write(source);
    files.metis = parse_graph(bytes.at(0));
    files.points = read_points(bytes.at(1), source.facts().dimension, 0, false);
  });
  return files;
}

std::string joined(const std::vector<int>& sizes) {
  std::string text;
  for (const int n : sizes) {
    if (!text.empty()) text += ',';
    text += std::to_string(n);
  }
  return text;
}

// Whether the points p and q are joined: they differ along one axis (star) or any (box), and
// along every axis by at most a step, or by a wrap when the axis is periodic.
bool joined_points(const std::vector<double>& p, const std::vector<double>& q,
                   const std::vector<int>& sizes, unsigned periodic, bool box) {
  const std::size_t d = sizes.size();
  int moved = 0;
  for (std::size_t k = 0; k < d; ++k) {
    const std::size_t axis = d - 1 - k;
    const auto step = static_cast<int>(std::abs(p[k] - q[k]));
    if (step == 0) continue;
    const bool wraps = (periodic >> axis & 1) != 0 && step == sizes[axis] - 1;
    if (step != 1 && !wraps) return false;
    ++moved;
  }
  return box ? moved >= 1 : moved == 1;
}

// All sizes from 1 to most on each of d axes.
std::vector<std::vector<int>> every_shape(std::size_t d, int most) {
  std::vector<std::vector<int>> shapes = {{}};
  for (std::size_t axis = 0; axis < d; ++axis) {
    std::vector<std::vector<int>> longer;
    for (const std::vector<int>& shape : shapes) {
      for (int n = 1; n <= most; ++n) {
        longer.push_back(shape);
        longer.back().push_back(n);
      }
    }
    shapes = longer;
  }
  return shapes;
}

TEST(Mesh, EverySmallMeshIsItsDefinition) {
  int meshes = 0;
  for (const auto& [d, most] :
       std::vector<std::pair<std::size_t, int>>{{1, 6}, {2, 4}, {3, 3}, {4, 3}}) {
    for (const std::vector<int>& sizes : every_shape(d, most)) {
      for (unsigned periodic = 0; periodic < 1u << d; ++periodic) {
        for (const bool box : {false, true}) {
          std::string flags;
          for (std::size_t axis = 0; axis < d; ++axis) {
            if (axis > 0) flags += ',';
            flags += (periodic >> axis & 1) ? '1' : '0';
          }
          const KeywordSizes graph{
              "mesh", joined(sizes), {"-stencil", box ? "box" : "star", "-periodic", flags}};
          SCOPED_TRACE(graph.name());
          const MeshFiles files = mesh_files(graph);
          const ReadGraph& metis = files.metis;
          ASSERT_TRUE(metis.format_faults.empty()) << metis.format_faults.front();
          const std::vector<std::string> faults = check_graph(metis);
          ASSERT_TRUE(faults.empty()) << faults.front();
          ASSERT_EQ(files.points.points.size(), metis.adjacency.size());
          for (std::size_t u = 0; u < metis.adjacency.size(); ++u) {
            std::vector<std::int64_t> expected;
            for (std::size_t w = 0; w < metis.adjacency.size(); ++w) {
              if (w != u && joined_points(files.points.points[u], files.points.points[w], sizes,
                                          periodic, box)) {
                expected.push_back(static_cast<std::int64_t>(w) + 1);
              }
            }
            ASSERT_EQ(metis.adjacency[u], expected) << "vertex " << u + 1;
          }
          ++meshes;
        }
      }
    }
  }
  EXPECT_EQ(meshes, 2 * (6 * 2 + 16 * 4 + 27 * 8 + 81 * 16));
}

// The neighbour lists of a file, each sorted.
Adjacency sorted_adjacency(const KeywordSizes& graph) {
  Adjacency adjacency;
  with_source(graph, [&](const GraphSource& source) {
    adjacency = parse_graph(whole_file(source, Format::kMetis, {})).adjacency;
  });
  for (std::vector<std::int64_t>& line : adjacency)
    std::sort(line.begin(), line.end());
  return adjacency;
}

TEST(Mesh, IsTheFamiliesItGeneralises) {
  struct Same {
    KeywordSizes family;
    KeywordSizes mesh;
  };
  const std::vector<Same> cases = {
      {{"grid", "1,1"}, {"mesh", "1,1"}},
      {{"grid", "7,4"}, {"mesh", "7,4"}},
      {{"grid", "1,9"}, {"mesh", "1,9"}},
      {{"torus", "3,3"}, {"mesh", "3,3", {"-periodic", "all"}}},
      {{"torus", "5,8"}, {"mesh", "5,8", {"-periodic", "1,1"}}},
      {{"cylinder", "4,3"}, {"mesh", "4,3", {"-periodic", "0,1"}}},
      {{"cylinder", "2,7"}, {"mesh", "2,7", {"-periodic", "0,1"}}},
      {{"circle", "3"}, {"mesh", "3", {"-periodic", "all"}}},
      {{"circle", "40"}, {"mesh", "40", {"-periodic", "1"}}},
      {{"hypercube", "2"}, {"mesh", "2,2"}},
      {{"hypercube", "5"}, {"mesh", "2,2,2,2,2", {"-periodic", "all"}}},
      {{"hypercube", "8"}, {"mesh", "2,2,2,2,2,2,2,2", {"-stencil", "star"}}},
  };
  for (const Same& same : cases) {
    SCOPED_TRACE(same.family.name() + " against " + same.mesh.name());
    EXPECT_EQ(sorted_adjacency(same.mesh), sorted_adjacency(same.family));
  }
}

}  // namespace
