// Positions: the angles are the true ones, every layout of positions says the same thing in
// vertex order (relabelled too), and every edge of each family joins points at the distance the
// family's drawing gives it.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <optional>
#include <random>

#include "generators/geometry.hpp"
#include "graphfile/layouts/points.hpp"
#include "graphfile/output/destinations.hpp"
#include "graphfile/relabelling.hpp"
#include "tests/family_sweep.hpp"
#include "tests/graph_reader.hpp"

using namespace famgen;

namespace {

constexpr long double kPi = 3.14159265358979323846264338327950288L;

TEST(Geometry, RingAnglesAreTheTrueAngles) {
  std::mt19937_64 random(3);
  for (int trial = 0; trial < 200000; ++trial) {
    const std::int64_t n = trial % 2 ? static_cast<std::int64_t>(random() % 100) + 1
                                     : static_cast<std::int64_t>(random() % (1ull << 40)) + 1;
    const std::int64_t k = static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(n));
    const Rotation turn = RingAngles(n)(k);
    const long double angle = 2 * kPi * k / n;
    ASSERT_LT(fabsl(turn.cos / 0x1p62L - cosl(angle)), 1e-16L) << k << "/" << n;
    ASSERT_LT(fabsl(turn.sin / 0x1p62L - sinl(angle)), 1e-16L) << k << "/" << n;
  }
  // A point's angle is the same however a walk along the ring reaches it, and the steps from
  // the first point of a block leave quarter turns within a few units of 2^-62 of the axes.
  for (const std::int64_t n : {4, 8, 1000, 1 << 20, 2147483647}) {
    const RingAngles angles(n);
    for (const std::int64_t start : {std::int64_t{0}, n / 4 - 3, n / 2 - 1, n - 1}) {
      if (start < 0) continue;
      RingWalk walk(angles, start);
      for (std::int64_t k = start; k < std::min(n, start + 40); ++k) {
        const Rotation walked = walk.next();
        const Rotation alone = angles(k);
        ASSERT_TRUE(walked.cos == alone.cos && walked.sin == alone.sin) << k << " of " << n;
      }
    }
    for (int quarter = 0; quarter < 4 && n % 4 == 0; ++quarter) {
      const Rotation turn = angles(quarter * n / 4);
      EXPECT_LE(std::llabs(turn.cos - (quarter == 0 ? kOneQ62 : quarter == 2 ? -kOneQ62 : 0)), 64);
      EXPECT_LE(std::llabs(turn.sin - (quarter == 1 ? kOneQ62 : quarter == 3 ? -kOneQ62 : 0)), 64);
    }
  }
}

TEST(Geometry, SixDecimalsAsPrintfWritesThem) {
  std::mt19937_64 random(5);
  for (int trial = 0; trial < 100000; ++trial) {
    const auto micro =
        static_cast<std::int64_t>(random() >> (random() % 64)) * (trial % 2 ? 1 : -1) / 1000;
    char ours[64];
    char* end = ours;
    if (micro < 0) *end++ = '-';
    const auto magnitude = static_cast<std::uint64_t>(std::llabs(micro));
    end = decimal::write_unsigned(end, magnitude / 1000000);
    *end++ = '.';
    const std::string written(ours, write_six_decimals(end, magnitude % 1000000));
    char expected[64];
    std::snprintf(expected, sizeof expected, "%s%" PRIu64 ".%06" PRIu64, micro < 0 ? "-" : "",
                  static_cast<std::uint64_t>(std::llabs(micro)) / 1000000,
                  static_cast<std::uint64_t>(std::llabs(micro)) % 1000000);
    ASSERT_EQ(written, expected);
  }
}

struct Layouts {
  std::string metis;
  std::string plain;
  std::string scotch_geometry;
  std::string dot;
  std::string edge_list;
};

// Scotch's geometry and the drawing hold at most three axes; past that they are refused, and
// left empty here.
Layouts layouts_of(const GraphSource& source, RelabelSeed seed) {
  const bool drawn = source.facts().dimension <= 3;
  std::vector<OutputSpec> outputs = {
      {"", Format::kMetis}, {"", Format::kCoordinates}, {"", Format::kEdgeList}};
  if (drawn) outputs.insert(outputs.end(), {{"", Format::kScotchGeometry}, {"", Format::kDot}});
  std::vector<std::string> bytes;
  const Outcome outcome = MemoryDestination({outputs, {}, seed}, bytes).write(source);
  EXPECT_EQ(outcome.status, 0) << outcome.error;
  bytes.resize(5);
  return {bytes[0], bytes[1], bytes[3], bytes[4], bytes[2]};
}

// The dot file's vertex lines as points (undoing the drawing's scale, y flip and view of 3D)
// and its edge lines as pairs.
struct DotGraph {
  std::vector<std::vector<double>> points;
  std::vector<std::pair<std::int64_t, std::int64_t>> edges;
  bool closed = false;
};

DotGraph read_dot(const std::string& text) {
  DotGraph graph;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    long long label = 0;
    long long other = 0;
    double x = 0;
    double y = 0;
    if (std::sscanf(line.c_str(), "  %lld [pos=\"%lf,%lf\"];", &label, &x, &y) == 3) {
      if (label == static_cast<long long>(graph.points.size()) + 1)
        graph.points.push_back({x / 36, -y / 36});
    } else if (std::sscanf(line.c_str(), "  %lld -- %lld;", &label, &other) == 2) {
      graph.edges.emplace_back(label, other);
    } else if (line == "}") {
      graph.closed = true;
    }
  }
  return graph;
}

// Relabelled, line u holds the point of π⁻¹(u).
void expect_relabelled_points(const GraphSource& source, const Points& points, std::size_t n) {
  const GraphFacts& facts = source.facts();
  const Layouts relabelled = layouts_of(source, 4);
  const Points moved = read_points(relabelled.plain, facts.dimension, facts.decimals, false);
  ASSERT_EQ(moved.points.size(), n);
  const Relabelling pi(static_cast<std::int64_t>(n), 4);
  for (std::size_t u = 1; u <= n; ++u) {
    EXPECT_EQ(moved.points[u - 1],
              points.points[static_cast<std::size_t>(pi.backward(static_cast<Vertex>(u))) - 1]);
  }
}

TEST(Coordinates, EveryLayoutOfPositionsAgreesInVertexOrder) {
  for (const KeywordSizes& graph : small_graphs()) {
    with_source(graph, [&](const GraphSource& source) {
      SCOPED_TRACE(graph.name());
      const GraphFacts& facts = source.facts();
      const auto n = static_cast<std::size_t>(facts.line_count());
      const Layouts plain = layouts_of(source, {});
      const Points points = read_points(plain.plain, facts.dimension, facts.decimals, false);
      ASSERT_TRUE(points.faults.empty()) << points.faults.front();
      ASSERT_EQ(points.points.size(), n);
      EdgeLines edge_list = read_edge_lines(plain.edge_list, '#', 0);
      if (facts.dimension > 3) {
        EXPECT_EQ(plain.scotch_geometry + plain.dot, "");
        expect_relabelled_points(source, points, n);
        return;
      }
      const std::string heading = std::to_string(facts.dimension) + "\n" + std::to_string(n) + "\n";
      ASSERT_EQ(plain.scotch_geometry.substr(0, heading.size()), heading);
      const Points labelled = read_points(plain.scotch_geometry.substr(heading.size()),
                                          facts.dimension, facts.decimals, true);
      ASSERT_TRUE(labelled.faults.empty()) << labelled.faults.front();
      EXPECT_EQ(labelled.points, points.points);

      const DotGraph dot = read_dot(plain.dot);
      EXPECT_EQ(plain.dot.rfind("graph \"" + facts.title + "\" {\n", 0), 0u);
      EXPECT_TRUE(dot.closed);
      ASSERT_EQ(dot.points.size(), n);
      for (std::size_t k = 0; k < n; ++k) {
        const std::vector<double>& p = points.points[k];
        const double y = facts.dimension == 3 ? p[2] + p[1] / 2 : facts.dimension == 2 ? p[1] : 0;
        const auto scale = static_cast<double>(facts.drawing_scale);
        EXPECT_NEAR(dot.points[k][0], p[0] * scale, 1e-6 * scale) << k;
        EXPECT_NEAR(dot.points[k][1], y * scale, 1e-6 * scale) << k;
      }
      EXPECT_EQ(dot.edges, edge_list.edges);
      expect_relabelled_points(source, points, n);
    });
  }
}

double distance(const std::vector<double>& p, const std::vector<double>& q) {
  double sum = 0;
  for (std::size_t k = 0; k < p.size(); ++k)
    sum += (p[k] - q[k]) * (p[k] - q[k]);
  return std::sqrt(sum);
}

// The chord between neighbours on a circle of circumference n.
double chord(double n) {
  return n / kPi * std::sin(kPi / n);
}

bool near(double a, double b) {
  return std::fabs(a - b) < 3e-6;
}

// Whether the edge u-v (vertices from 1) lies as the family's drawing puts it.
bool edge_as_drawn(const std::string& keyword, std::int64_t first, std::int64_t second,
                   std::int64_t u, std::int64_t v, const std::vector<double>& p,
                   const std::vector<double>& q) {
  const double length = distance(p, q);
  if (u == v) return length == 0;  // a vertex that names itself (the smallest rings)
  if (keyword == "grid" || keyword == "partial_grid") return length == 1;
  if (keyword == "folded_grid" || keyword == "partial_folded_grid") {
    const std::int64_t corners[] = {1, second, (first - 1) * second + 1, first * second};
    const auto corner = [&](std::int64_t w) { return std::count(corners, corners + 4, w) > 0; };
    return length == 1 || (corner(u) && corner(v));
  }
  if (keyword == "circle") return near(length, chord(static_cast<double>(first)));
  if (keyword == "star") {
    const auto ring = static_cast<double>(first - 1);
    return near(length, u == 1 || v == 1 ? ring / (2 * kPi) : chord(ring));
  }
  if (keyword == "torus" || keyword == "cylinder") {
    const bool same_ring = (u - 1) / second == (v - 1) / second;
    if (same_ring) return near(length, chord(static_cast<double>(second)));
    // Across rings: the same place on the tube, one unit up (cylinder), or around the axis.
    if (keyword == "cylinder") return near(length, 1);
    return near(p[2], q[2]) && near(std::hypot(p[0], p[1]), std::hypot(q[0], q[1]));
  }
  if (keyword == "tree") {
    const std::int64_t parent = std::min(u, v);
    const int depth = static_cast<int>(std::bit_width(static_cast<std::uint64_t>(parent))) - 1;
    const double step = std::ldexp(1.0, static_cast<int>(first) - 2 - depth);
    return std::fabs(p[1] - q[1]) == 1 && std::fabs(p[0] - q[0]) == step;
  }
  if (keyword == "hypercube") {
    // Bit b's steps are √5^⌊b/2⌋ long, bit 0's along the x axis.
    const auto bits = static_cast<std::uint64_t>((u - 1) ^ (v - 1));
    if (!std::has_single_bit(bits)) return false;
    const int bit = std::countr_zero(bits);
    const double squared = (p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]);
    return squared == std::pow(5.0, bit / 2) && (bit != 0 || p[1] == q[1]);
  }
  if (keyword == "sierpinski") return near(length, 1);
  if (keyword == "completegraph" || keyword == "unconnected_completegraph") {
    const auto n = static_cast<double>(first);
    const double radius = n / (2 * kPi);
    const double centre = (2 * radius + 2) * static_cast<double>((u - 1) / first);
    return near(std::hypot(p[0] - centre, p[1]), radius) &&
           near(std::hypot(q[0] - centre, q[1]), radius);
  }
  return false;
}

// A mesh edge joins lattice points that differ by one step, or by a wrap along a periodic axis,
// in one axis (star) or in any (box). The points list the axes from the last to the first.
bool mesh_edge_as_drawn(const KeywordSizes& graph, const std::vector<double>& p,
                        const std::vector<double>& q) {
  std::vector<double> sizes;
  for (std::size_t at = 0; at != std::string::npos;) {
    const std::size_t comma = graph.sizes.find(',', at);
    sizes.push_back(std::stod(graph.sizes.substr(at, comma - at)));
    at = comma == std::string::npos ? comma : comma + 1;
  }
  const auto option = [&](const std::string& name) {
    const auto at = std::find(graph.options.begin(), graph.options.end(), name);
    return at == graph.options.end() ? std::string() : *(at + 1);
  };
  const std::string periodic = option("-periodic");
  const std::size_t d = sizes.size();
  int moved = 0;
  for (std::size_t k = 0; k < d; ++k) {
    const std::size_t axis = d - 1 - k;
    const bool wraps =
        periodic == "all" || (periodic.size() > 2 * axis && periodic[2 * axis] == '1');
    const double step = std::fabs(p[k] - q[k]);
    if (step == 0) continue;
    if (step != 1 && !(wraps && step == sizes[axis] - 1)) return false;
    ++moved;
  }
  return option("-stencil") == "box" ? moved >= 1 : moved == 1;
}

TEST(Coordinates, EdgesJoinPointsAtTheirDrawnDistances) {
  std::vector<KeywordSizes> graphs = small_graphs();
  for (const KeywordSizes& more :
       std::vector<KeywordSizes>{{"grid", "7,9"},
                                 {"partial_folded_grid", "9,8"},
                                 {"circle", "1000"},
                                 {"star", "100"},
                                 {"torus", "5,7"},
                                 {"cylinder", "4,6"},
                                 {"tree", "6"},
                                 {"hypercube", "7"},
                                 {"sierpinski", "4"},
                                 {"unconnected_completegraph", "7,4"},
                                 {"mesh", "5,6,7", {"-stencil", "box", "-periodic", "1,0,1"}}})
    graphs.push_back(more);
  for (const KeywordSizes& graph : graphs) {
    with_source(graph, [&](const GraphSource& source) {
      SCOPED_TRACE(graph.name());
      const GraphFacts& facts = source.facts();
      const Layouts files = layouts_of(source, {});
      const ReadGraph metis = parse_graph(files.metis, facts.has_heading);
      const Points points = read_points(files.plain, facts.dimension, facts.decimals, false);
      ASSERT_EQ(points.points.size(), metis.adjacency.size());
      std::int64_t first = 0;
      std::int64_t second = 0;
      std::sscanf(graph.sizes.c_str(), "%" SCNd64 ",%" SCNd64, &first, &second);
      for (std::size_t k = 0; k < metis.adjacency.size(); ++k) {
        const auto u = static_cast<std::int64_t>(k + 1);
        for (const std::int64_t v : metis.adjacency[k]) {
          const std::vector<double>& p = points.points[k];
          const std::vector<double>& q = points.points[static_cast<std::size_t>(v - 1)];
          if (graph.keyword.starts_with("rgg")) continue;  // rgg_test.cpp: within the radius
          ASSERT_TRUE(graph.keyword == "mesh"
                          ? mesh_edge_as_drawn(graph, p, q)
                          : edge_as_drawn(graph.keyword, first, second, u, v, p, q))
              << u << "-" << v;
        }
      }
    });
  }
}

// Every edge of a hypercube's drawing can be seen: no two edges lie along one line over a
// common stretch, no edge runs over a vertex, and no two vertices share a point, so the drawing
// shows as many segments as the graph has edges.
TEST(Coordinates, HypercubeEdgesAreSeparateSegments) {
  for (int dimension = 2; dimension <= 7; ++dimension) {
    with_source({"hypercube", std::to_string(dimension)}, [&](const GraphSource& source) {
      SCOPED_TRACE(dimension);
      const GraphFacts& facts = source.facts();
      const Layouts files = layouts_of(source, {});
      const Points read = read_points(files.plain, facts.dimension, facts.decimals, false);
      const EdgeLines edge_list = read_edge_lines(files.edge_list, '#', 0);
      ASSERT_EQ(static_cast<std::int64_t>(edge_list.edges.size()), facts.counts.edges);
      using Point = std::pair<double, double>;
      const auto at = [&](std::int64_t vertex) {  // vertices from 1
        const std::vector<double>& p = read.points[static_cast<std::size_t>(vertex - 1)];
        return Point{p[0], p[1]};
      };
      const auto cross = [](Point a, Point b) { return a.first * b.second - a.second * b.first; };
      const auto minus = [](Point a, Point b) {
        return Point{a.first - b.first, a.second - b.second};
      };
      const auto dot = [](Point a, Point b) { return a.first * b.first + a.second * b.second; };
      std::vector<Point> points;
      for (std::int64_t vertex = 1; vertex <= facts.counts.vertices; ++vertex)
        points.push_back(at(vertex));
      std::sort(points.begin(), points.end());
      EXPECT_EQ(std::adjacent_find(points.begin(), points.end()), points.end());
      // The coordinates are integers, so the products are exact.
      std::int64_t overlaps = 0;
      for (std::size_t e = 0; e < edge_list.edges.size(); ++e) {
        const Point p = at(edge_list.edges[e].first);
        const Point along = minus(at(edge_list.edges[e].second), p);
        const double length = dot(along, along);
        // Where r lies along the edge's line (0 at p, length at its other end), if on it.
        const auto inside = [&](Point r) -> std::optional<double> {
          const Point to = minus(r, p);
          if (cross(along, to) != 0) return std::nullopt;
          return dot(along, to);
        };
        for (std::int64_t vertex = 1; vertex <= facts.counts.vertices; ++vertex) {
          const std::optional<double> place = inside(at(vertex));
          overlaps += place && *place > 0 && *place < length ? 1 : 0;
        }
        for (std::size_t f = e + 1; f < edge_list.edges.size(); ++f) {
          const std::optional<double> a = inside(at(edge_list.edges[f].first));
          const std::optional<double> b = inside(at(edge_list.edges[f].second));
          overlaps += a && b && std::max(*a, *b) > 0 && std::min(*a, *b) < length ? 1 : 0;
        }
      }
      EXPECT_EQ(overlaps, 0);
    });
  }
}

}  // namespace
