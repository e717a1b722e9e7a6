// Vertex and edge weights as the files carry them. Over every family at small sizes and a table
// of weight requests: the METIS file is the unweighted graph with weights that keep each model's
// promise (its range, its constant, the line's degree; the bump and the drawn length from the
// coordinates file; the mesh's axes from its lattice numbering), every other layout that holds
// the weights reads back to the METIS file's, those that cannot hold them refuse, and -permute
// carries the weights with their vertices. Then larger runs of the program: every thread count
// writes the same bytes, every word of the seed counts, the -simple graph keeps the plain graph's
// weights, and uniform weights pass the statistics that a weak mixer fails.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "graphfile/output/destinations.hpp"
#include "graphfile/relabelling.hpp"
#include "tests/family_sweep.hpp"
#include "tests/graph_reader.hpp"

using namespace famgen;

namespace {

// Exact squares of distances and of lengths.
__extension__ typedef __int128 Wide;
__extension__ typedef unsigned __int128 UWide;

enum class Model { kUniform, kConstant, kDegree, kBump, kLength, kAxes };

// One model of a request. The bump is centred on the graph's middle vertex; the axes model gives
// the mesh's axes, in -size order, the first of kAxisWeights (not in order, so that axes taken
// in another order weigh differently).
struct Weight {
  Model model;
  std::int64_t first = 0;   // uniform: LO; constant: K; bump: PEAK; length: SCALE
  std::int64_t second = 0;  // uniform: HI; bump: RADIUS
};

constexpr std::int64_t kAxisWeights[] = {7, 2, 5, 3, 11, 13, 17, 19};

struct Request {
  std::string label;
  std::vector<Weight> vertex;  // one per constraint
  std::optional<Weight> edge;
  std::string seed;  // "" for the default
};

const std::vector<Request> kRequests = {
    {"uniform", {{Model::kUniform, 1, 100}}, Weight{Model::kUniform, 1, 9}, "5"},
    {"two constraints", {{Model::kDegree}, {Model::kConstant, 7}}, Weight{Model::kConstant, 3}, ""},
    {"vertex weights alone", {{Model::kUniform, 0, 3}}, std::nullopt, ""},
    {"edge weights alone", {}, Weight{Model::kUniform, 1, 100000}, "18446744073709551615"},
    {"bump and length",
     {{Model::kBump, 50, 2}, {Model::kUniform, 0, 1}},
     Weight{Model::kLength, 10},
     "0"},
    {"axes", {{Model::kBump, 9, 1}}, Weight{Model::kAxes}, ""},
};

// What the tests know of a graph apart from its weights: its lines, its positions (from the
// coordinates file, in units of 10^-decimals) and, for a mesh, its sizes.
struct Drawing {
  Adjacency adjacency;
  std::vector<std::vector<std::int64_t>> points;
  std::int64_t unit = 1;
  std::vector<std::int64_t> mesh_sizes;  // empty off the mesh
  std::int64_t period = 0;  // positions that wrap with this period (the torus's points)
  std::int64_t vertex_count() const { return static_cast<std::int64_t>(adjacency.size()); }
  std::int64_t middle() const { return (vertex_count() + 1) / 2; }
};

std::string model_text(const Weight& weight, const Drawing& drawing) {
  const auto number = [](std::int64_t value) { return std::to_string(value); };
  switch (weight.model) {
    case Model::kUniform:
      return "uniform:" + number(weight.first) + "-" + number(weight.second);
    case Model::kConstant:
      return "constant:" + number(weight.first);
    case Model::kDegree:
      return "degree";
    case Model::kBump:
      return "bump:" + number(weight.first) + ":" + number(drawing.middle()) + ":" +
             number(weight.second);
    case Model::kLength:
      return "length:" + number(weight.first);
    case Model::kAxes: {
      std::string text = "axes:";
      for (std::size_t axis = 0; axis < drawing.mesh_sizes.size(); ++axis) {
        if (axis > 0) text += ',';
        text += number(kAxisWeights[axis]);
      }
      return text;
    }
  }
  return {};
}

// The options that ask for the request on the graph; none where it does not fit the graph (the
// axes off the mesh, a bump on a graph without vertices).
std::optional<std::vector<std::string>> options_for(const Request& request,
                                                    const Drawing& drawing) {
  std::vector<std::string> options;
  std::string vertex_models;
  for (const Weight& weight : request.vertex) {
    if (weight.model == Model::kBump && drawing.vertex_count() == 0) return std::nullopt;
    if (!vertex_models.empty()) vertex_models += ',';
    vertex_models += model_text(weight, drawing);
  }
  if (!vertex_models.empty()) options.insert(options.end(), {"-vertex-weights", vertex_models});
  if (request.edge) {
    if (request.edge->model == Model::kAxes && drawing.mesh_sizes.empty()) return std::nullopt;
    options.insert(options.end(), {"-edge-weights", model_text(*request.edge, drawing)});
  }
  if (!request.seed.empty()) options.insert(options.end(), {"-seed", request.seed});
  return options;
}

UWide squared_distance(const Drawing& drawing, std::int64_t u, std::int64_t v) {
  const auto& p = drawing.points[static_cast<std::size_t>(u - 1)];
  const auto& q = drawing.points[static_cast<std::size_t>(v - 1)];
  UWide sum = 0;
  for (std::size_t k = 0; k < p.size(); ++k) {
    Wide step = static_cast<Wide>(p[k]) - q[k];
    if (step < 0) step = -step;
    if (drawing.period > 0) step = std::min<Wide>(step, drawing.period - step);  // the short way
    sum += static_cast<UWide>(step * step);
  }
  return sum;
}

// The least and the most weight the model may give vertex v (the same for a model of one
// value).
std::pair<std::int64_t, std::int64_t> vertex_bounds(const Weight& weight, const Drawing& drawing,
                                                    std::int64_t v) {
  switch (weight.model) {
    case Model::kUniform:
      return {weight.first, weight.second};
    case Model::kConstant:
      return {weight.first, weight.first};
    case Model::kDegree: {
      const auto degree = static_cast<std::int64_t>(drawing.adjacency[v - 1].size());
      return {degree, degree};
    }
    case Model::kBump: {
      // 1 + ⌊(PEAK − 1)·R² / (R² + d²)⌋, with R and d in the positions' units.
      const UWide near = static_cast<UWide>(weight.second * drawing.unit) *
                         static_cast<UWide>(weight.second * drawing.unit);
      const UWide far = squared_distance(drawing, v, drawing.middle());
      const auto value =
          1 + static_cast<std::int64_t>(static_cast<UWide>(weight.first - 1) * near / (near + far));
      return {value, value};
    }
    case Model::kLength:
    case Model::kAxes:
      break;
  }
  return {1, 0};  // no weight fits
}

// The same for the edge {u, v}.
std::pair<std::int64_t, std::int64_t> edge_bounds(const Weight& weight, const Drawing& drawing,
                                                  std::int64_t u, std::int64_t v) {
  switch (weight.model) {
    case Model::kUniform:
      return {weight.first, weight.second};
    case Model::kConstant:
      return {weight.first, weight.first};
    case Model::kLength: {
      // ⌈SCALE·|pu − pv|⌉, at least 1: the least k with (k·unit)² >= SCALE²·d².
      const UWide wanted =
          static_cast<UWide>(weight.first * weight.first) * squared_distance(drawing, u, v);
      auto k = static_cast<std::int64_t>(std::sqrt(static_cast<long double>(wanted)) /
                                         static_cast<long double>(drawing.unit));
      const auto square = [&](std::int64_t x) {
        return static_cast<UWide>(x * drawing.unit) * static_cast<UWide>(x * drawing.unit);
      };
      while (square(k) < wanted)
        ++k;
      while (k > 0 && square(k - 1) >= wanted)
        --k;
      return {std::max<std::int64_t>(k, 1), std::max<std::int64_t>(k, 1)};
    }
    case Model::kAxes: {
      // The largest weight of the axes along which the lattice points of u and v differ; the
      // lattice numbers its points with the last axis fastest.
      std::int64_t a = u - 1;
      std::int64_t b = v - 1;
      std::int64_t most = 0;
      for (std::size_t axis = drawing.mesh_sizes.size(); axis-- > 0;) {
        const std::int64_t size = drawing.mesh_sizes[axis];
        if (a % size != b % size) most = std::max(most, kAxisWeights[axis]);
        a /= size;
        b /= size;
      }
      return {most, most};
    }
    case Model::kDegree:
    case Model::kBump:
      break;
  }
  return {1, 0};
}

// Whole files of a source: the bytes, or none when the layout refuses the graph.
std::optional<std::string> written(const GraphSource& source, Format format, RelabelSeed seed) {
  std::vector<std::string> outputs;
  const Outcome outcome = MemoryDestination({{{"", format}}, {}, seed}, outputs).write(source);
  if (outcome.status == kStatusRefused) return std::nullopt;
  EXPECT_EQ(outcome.status, 0) << outcome.error;
  return outputs.at(0);
}

bool header_suppressed(const KeywordSizes& graph) {
  return graph.keyword == "completegraph" &&
         std::find(graph.options.begin(), graph.options.end(), "-simple") == graph.options.end();
}

// The weight of each edge {u, v} (u <= v) of a weighted METIS file. Weights are of the edge's
// vertex numbers alone, so entries that repeat an edge carry its weight too.
std::map<std::pair<std::int64_t, std::int64_t>, std::int64_t> weight_of_edges(
    const ReadGraph& metis) {
  std::map<std::pair<std::int64_t, std::int64_t>, std::int64_t> weights;
  for (std::size_t k = 0; k < metis.edge_weights.size(); ++k) {
    const auto u = static_cast<std::int64_t>(k + 1);
    for (std::size_t j = 0; j < metis.adjacency[k].size(); ++j) {
      const std::int64_t v = metis.adjacency[k][j];
      const auto at = weights.emplace(std::minmax(u, v), metis.edge_weights[k][j]).first;
      EXPECT_EQ(at->second, metis.edge_weights[k][j]) << "the edge " << u << "-" << v;
    }
  }
  return weights;
}

// Constraint c of every vertex.
std::vector<std::int64_t> constraint(const ReadGraph& metis, std::size_t c) {
  std::vector<std::int64_t> weights;
  for (const auto& line : metis.vertex_weights)
    weights.push_back(line.at(c));
  return weights;
}

// The edge lines of a drawing, "  u -- v;" or "  u -- v [weight=w];", as an edge list holds
// them; anything else that names an edge is a fault.
EdgeLines read_dot_edges(const std::string& text) {
  EdgeLines result;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.find(" -- ") == std::string::npos) continue;
    long long u = 0;
    long long v = 0;
    long long w = 0;
    const bool weighted =
        std::sscanf(line.c_str(), "  %lld -- %lld [weight=%lld];", &u, &v, &w) == 3;
    if (!weighted) std::sscanf(line.c_str(), "  %lld -- %lld;", &u, &v);
    const std::string again = "  " + std::to_string(u) + " -- " + std::to_string(v) +
                              (weighted ? " [weight=" + std::to_string(w) + "]" : "") + ";";
    const bool like_the_first = result.edges.empty() || weighted == !result.weights.empty();
    if (again != line || !like_the_first) {
      result.faults.push_back("an edge line out of form: '" + line + "'");
      continue;
    }
    result.edges.emplace_back(u, v);
    if (weighted) result.weights.push_back(w);
  }
  return result;
}

// Line π(v) of the relabelled file holds v's vertex weights and, for each neighbour w on v's
// line in its order, π(w) and the weight of {v, w}.
void expect_relabelled(const ReadGraph& plain, const ReadGraph& relabelled, std::uint64_t seed) {
  const auto n = static_cast<std::int64_t>(plain.adjacency.size());
  ASSERT_EQ(static_cast<std::int64_t>(relabelled.adjacency.size()), n);
  EXPECT_EQ(relabelled.fmt, plain.fmt);
  EXPECT_EQ(relabelled.ncon, plain.ncon);
  const Relabelling pi(n, seed);
  for (std::int64_t v = 1; v <= n; ++v) {
    const auto from = static_cast<std::size_t>(v - 1);
    const auto to = static_cast<std::size_t>(pi.forward(v) - 1);
    std::vector<std::int64_t> mapped;
    for (const std::int64_t w : plain.adjacency[from])
      mapped.push_back(pi.forward(w));
    ASSERT_EQ(relabelled.adjacency[to], mapped) << "vertex " << v;
    if (!plain.vertex_weights.empty()) {
      EXPECT_EQ(relabelled.vertex_weights[to], plain.vertex_weights[from]) << "vertex " << v;
    }
    if (!plain.edge_weights.empty()) {
      EXPECT_EQ(relabelled.edge_weights[to], plain.edge_weights[from]) << "vertex " << v;
    }
  }
}

// The unweighted files a weighted one is compared with: of the edge layouts, by layout and
// whether relabelled.
using Unweighted = std::map<std::pair<Format, bool>, std::string>;

// Every layout of the weighted source under seed read back against its METIS file: ParHIP and
// Scotch hold one vertex weight a vertex and the edge weights, Matrix Market, the edge list and
// the drawing the edge weights alone; a layout refuses weights it cannot hold.
void expect_layouts_agree(const GraphSource& source, RelabelSeed seed, const ReadGraph& metis,
                          const Unweighted& unweighted) {
  const bool vertex_weights = metis.ncon > 0;
  const bool edge_weights = metis.fmt % 10 == 1;
  const auto n = static_cast<std::int64_t>(metis.adjacency.size());
  std::int64_t entries = 0;
  for (const auto& line : metis.adjacency)
    entries += static_cast<std::int64_t>(line.size());
  const std::vector<std::int64_t> first_constraint =
      vertex_weights ? constraint(metis, 0) : std::vector<std::int64_t>{};

  const std::optional<std::string> parhip_bytes = written(source, Format::kParhip, seed);
  const std::optional<std::string> scotch_text = written(source, Format::kScotch, seed);
  EXPECT_EQ(parhip_bytes.has_value(), metis.ncon <= 1) << "parhip";
  EXPECT_EQ(scotch_text.has_value(), metis.ncon <= 1) << "scotch";
  if (parhip_bytes) {
    const ParhipGraph parhip = read_parhip(*parhip_bytes);
    ASSERT_TRUE(parhip.faults.empty()) << parhip.faults.front();
    EXPECT_EQ(parhip.version, 3u & ~(edge_weights ? 1u : 0u) & ~(vertex_weights ? 2u : 0u));
    EXPECT_EQ(parhip.vertex_count, static_cast<std::uint64_t>(n));
    EXPECT_EQ(parhip.entry_count, static_cast<std::uint64_t>(entries));
    EXPECT_EQ(parhip.adjacency, metis.adjacency);
    EXPECT_EQ(parhip.vertex_weights, first_constraint);
    EXPECT_EQ(parhip.edge_weights, metis.edge_weights);
  }
  if (scotch_text) {
    const ScotchGraph scotch = read_scotch(*scotch_text);
    ASSERT_TRUE(scotch.faults.empty()) << scotch.faults.front();
    EXPECT_EQ(scotch.flags,
              std::string("0") + (edge_weights ? "1" : "0") + (vertex_weights ? "1" : "0"));
    EXPECT_EQ(scotch.vertex_count, n);
    EXPECT_EQ(scotch.arc_count, entries);
    EXPECT_EQ(scotch.adjacency, metis.adjacency);
    EXPECT_EQ(scotch.vertex_weights, first_constraint);
    EXPECT_EQ(scotch.edge_weights, metis.edge_weights);
  }

  const auto weights = weight_of_edges(metis);
  const std::vector<std::pair<Format, EdgeLines (*)(const std::string&)>> edge_layouts = {
      {Format::kMatrixMarket, [](const std::string& t) { return read_edge_lines(t, '%', 1); }},
      {Format::kEdgeList, [](const std::string& t) { return read_edge_lines(t, '#', 0); }},
      {Format::kDot, read_dot_edges}};
  for (const auto& [format, read] : edge_layouts) {
    SCOPED_TRACE(format_name(format));
    const auto plain = unweighted.find({format, seed.has_value()});
    if (plain == unweighted.end()) continue;  // a drawing of more than three axes
    const std::optional<std::string> text = written(source, format, seed);
    EXPECT_EQ(text.has_value(), !vertex_weights);
    if (!text) continue;
    const EdgeLines lines = read(*text);
    ASSERT_TRUE(lines.faults.empty()) << lines.faults.front();
    const EdgeLines unweighted_lines = read(plain->second);
    EXPECT_EQ(lines.edges, unweighted_lines.edges);
    EXPECT_EQ(lines.figures, unweighted_lines.figures);
    if (format == Format::kMatrixMarket) {
      ASSERT_FALSE(lines.comments.empty());
      EXPECT_EQ(lines.comments[0], std::string("%%MatrixMarket matrix coordinate ") +
                                       (edge_weights ? "integer" : "pattern") + " symmetric");
    }
    ASSERT_EQ(lines.weights.size(), edge_weights ? lines.edges.size() : 0u);
    for (std::size_t j = 0; j < lines.weights.size(); ++j) {
      const auto edge = std::minmax(lines.edges[j].first, lines.edges[j].second);
      const auto known = weights.find(edge);
      ASSERT_NE(known, weights.end()) << edge.first << "-" << edge.second;
      EXPECT_EQ(lines.weights[j], known->second) << edge.first << "-" << edge.second;
    }
  }
}

// The first weight of the METIS file that its model does not allow; "" when none.
std::string first_unkept_promise(const Request& request, const Drawing& drawing,
                                 const ReadGraph& metis) {
  const auto outside = [](std::int64_t value, std::pair<std::int64_t, std::int64_t> bounds) {
    return value < bounds.first || value > bounds.second;
  };
  for (std::size_t c = 0; c < request.vertex.size(); ++c) {
    for (std::int64_t v = 1; v <= drawing.vertex_count(); ++v) {
      const std::int64_t value = metis.vertex_weights[v - 1][c];
      const auto bounds = vertex_bounds(request.vertex[c], drawing, v);
      if (outside(value, bounds)) {
        return "vertex " + std::to_string(v) + " weighs " + std::to_string(value) +
               " in constraint " + std::to_string(c) + ", not within " +
               std::to_string(bounds.first) + ".." + std::to_string(bounds.second);
      }
    }
  }
  if (!request.edge) return "";
  for (std::int64_t v = 1; v <= drawing.vertex_count(); ++v) {
    const auto& line = drawing.adjacency[v - 1];
    for (std::size_t j = 0; j < line.size(); ++j) {
      const std::int64_t value = metis.edge_weights[v - 1][j];
      const auto bounds = edge_bounds(*request.edge, drawing, v, line[j]);
      if (outside(value, bounds)) {
        return "edge " + std::to_string(v) + "-" + std::to_string(line[j]) + " weighs " +
               std::to_string(value) + ", not within " + std::to_string(bounds.first) + ".." +
               std::to_string(bounds.second);
      }
    }
  }
  return "";
}

TEST(Weights, EveryLayoutCarriesEachModelsWeights) {
  // Of the models with few values, each value is drawn somewhere in the sweep.
  std::map<std::string, std::set<std::int64_t>> drawn;
  for (const KeywordSizes& graph : small_graphs()) {
    Drawing drawing;
    ReadGraph plain;
    Unweighted unweighted;
    with_source(graph, [&](const GraphSource& source) {
      const GraphFacts& facts = source.facts();
      plain = parse_graph(*written(source, Format::kMetis, {}), !header_suppressed(graph));
      drawing.adjacency = plain.adjacency;
      for (int d = 0; d < facts.decimals; ++d)
        drawing.unit *= 10;
      drawing.period = facts.period;
      const Points points = read_points(*written(source, Format::kCoordinates, {}), facts.dimension,
                                        facts.decimals, false);
      for (const auto& point : points.points) {
        std::vector<std::int64_t> units;
        for (const double x : point)
          units.push_back(std::llround(x * static_cast<double>(drawing.unit)));
        drawing.points.push_back(units);
      }
      for (const Format format : {Format::kMatrixMarket, Format::kEdgeList, Format::kDot}) {
        for (const RelabelSeed seed : {RelabelSeed{}, RelabelSeed{7}}) {
          if (const auto text = written(source, format, seed))
            unweighted[{format, seed.has_value()}] = *text;
        }
      }
    });
    ASSERT_EQ(drawing.points.size(), drawing.adjacency.size()) << graph.name();
    if (graph.keyword == "mesh") {
      std::istringstream sizes(graph.sizes);
      for (std::string size; std::getline(sizes, size, ',');)
        drawing.mesh_sizes.push_back(std::stoll(size));
    }

    for (const Request& request : kRequests) {
      std::optional<std::vector<std::string>> options = options_for(request, drawing);
      if (!options) continue;
      // -seed also draws a random geometric graph's points: there the weights keep the graph's.
      const auto seed = std::ranges::find(*options, "-seed");
      if (graph.keyword.starts_with("rgg") && seed != options->end())
        options->erase(seed, seed + 2);
      KeywordSizes weighted = graph;
      weighted.options.insert(weighted.options.end(), options->begin(), options->end());
      SCOPED_TRACE(weighted.name());
      with_source(weighted, [&](const GraphSource& source) {
        // The unweighted graph, with a counts line that says which weights follow.
        const ReadGraph metis = parse_graph(*written(source, Format::kMetis, {}));
        ASSERT_TRUE(metis.format_faults.empty()) << metis.format_faults.front();
        EXPECT_EQ(check_graph(metis, header_suppressed(graph), 2), std::vector<std::string>{});
        EXPECT_EQ(metis.fmt, (request.vertex.empty() ? 0 : 10) + (request.edge ? 1 : 0));
        EXPECT_EQ(metis.ncon, static_cast<int>(request.vertex.size()));
        ASSERT_EQ(metis.adjacency, plain.adjacency);
        if (header_suppressed(graph)) {
          EXPECT_EQ(metis.comment_line, "% " + source.facts().title);
        } else {
          EXPECT_EQ(metis.comment_line, plain.comment_line);
          EXPECT_EQ(metis.vertex_count, plain.vertex_count);
          EXPECT_EQ(metis.edge_figure, plain.edge_figure);
          EXPECT_EQ(metis.counts_line_trailing_space, plain.counts_line_trailing_space);
        }
        EXPECT_EQ(first_unkept_promise(request, drawing, metis), "");
        for (std::size_t c = 0; c < request.vertex.size(); ++c) {
          const Weight& weight = request.vertex[c];
          if (weight.model == Model::kBump) {
            EXPECT_EQ(metis.vertex_weights[drawing.middle() - 1][c], weight.first) << "the peak";
          }
          if (weight.model == Model::kUniform && weight.second - weight.first < 10) {
            const std::vector<std::int64_t> values = constraint(metis, c);
            drawn[model_text(weight, drawing)].insert(values.begin(), values.end());
          }
        }
        if (request.edge && request.edge->model == Model::kUniform &&
            request.edge->second - request.edge->first < 10) {
          for (const auto& line : metis.edge_weights)
            drawn["edges " + model_text(*request.edge, drawing)].insert(line.begin(), line.end());
        }

        expect_layouts_agree(source, {}, metis, unweighted);
        const ReadGraph relabelled = parse_graph(*written(source, Format::kMetis, 7));
        ASSERT_TRUE(relabelled.format_faults.empty()) << relabelled.format_faults.front();
        expect_relabelled(metis, relabelled, 7);
        expect_layouts_agree(source, 7, relabelled, unweighted);
      });
    }
  }
  const std::map<std::string, std::set<std::int64_t>> every_value = {
      {"uniform:0-3", {0, 1, 2, 3}},
      {"uniform:0-1", {0, 1}},
      {"edges uniform:1-9", {1, 2, 3, 4, 5, 6, 7, 8, 9}}};
  EXPECT_EQ(drawn, every_value);
}

// A -simple graph's vertices and edges weigh what they weigh in the plain graph: the weights
// are of the vertex numbers, which taking out self-loops and repeats does not change.
TEST(Weights, TheSimpleGraphKeepsThePlainGraphsWeights) {
  const std::vector<std::string> weights = {"-vertex-weights",  "uniform:1-100", "-edge-weights",
                                            "uniform:1-100000", "-seed",         "3"};
  for (const KeywordSizes& graph : small_graphs()) {
    if (std::find(graph.options.begin(), graph.options.end(), "-simple") == graph.options.end())
      continue;
    KeywordSizes simple = graph;
    simple.options.insert(simple.options.end(), weights.begin(), weights.end());
    KeywordSizes plain = simple;
    plain.options.erase(std::find(plain.options.begin(), plain.options.end(), "-simple"));
    SCOPED_TRACE(simple.name());
    ReadGraph simple_file;
    ReadGraph plain_file;
    with_source(simple, [&](const GraphSource& source) {
      simple_file = parse_graph(*written(source, Format::kMetis, {}));
    });
    with_source(plain, [&](const GraphSource& source) {
      plain_file = parse_graph(*written(source, Format::kMetis, {}));
    });
    EXPECT_EQ(simple_file.vertex_weights, plain_file.vertex_weights);
    const auto plain_weights = weight_of_edges(plain_file);
    const auto simple_weights = weight_of_edges(simple_file);
    for (const auto& [edge, weight] : simple_weights) {
      const auto known = plain_weights.find(edge);
      ASSERT_NE(known, plain_weights.end()) << edge.first << "-" << edge.second;
      EXPECT_EQ(weight, known->second) << edge.first << "-" << edge.second;
    }
  }
}

// The program's bytes on 1, 2 and 3 threads are those of its single pass, in every layout that
// carries weights, plain and relabelled; each file is large enough to be cut into many jobs.
TEST(Weights, EveryThreadCountWritesTheSameBytes) {
  const std::vector<std::vector<std::string>> runs = {
      {"-graphtype", "grid", "-size", "300,300", "-vertex-weights", "uniform:1-100,degree",
       "-edge-weights", "uniform:1-9"},
      {"-graphtype", "torus", "-size", "300,300", "-format", "parhip", "-vertex-weights",
       "uniform:1-100", "-edge-weights", "uniform:1-9", "-permute", "3"},
      {"-graphtype", "mesh", "-size", "40,40,30", "-stencil", "box", "-periodic", "1,0,1",
       "-format", "scotch", "-vertex-weights", "bump:20:24000:5", "-edge-weights", "axes:3,2,1"},
      {"-graphtype", "circle", "-size", "150000", "-format", "mtx", "-edge-weights",
       "uniform:1-5000", "-seed", "9"},
      {"-graphtype", "partial_folded_grid", "-size", "301,299", "-format", "edgelist",
       "-edge-weights", "uniform:1-1000", "-permute", "5"},
      {"-graphtype", "sierpinski", "-size", "9", "-format", "dot", "-edge-weights", "length:10"},
  };
  const ScratchFolder folder;
  for (const std::vector<std::string>& run : runs) {
    SCOPED_TRACE(joined_arguments(run));
    std::vector<std::string> arguments = run;
    arguments.insert(arguments.end(), {"-out", folder.path("single").string()});
    const ProcessResult single = run_famgen(arguments);
    ASSERT_EQ(single.exit_status, 0) << single.standard_error;
    const std::string expected = read_file(folder.path("single"));
    ASSERT_GT(expected.size(), std::size_t{1} << 20);
    for (const std::string threads : {"1", "2", "3"}) {
      arguments.back() = folder.path("threads").string();
      std::vector<std::string> threaded = arguments;
      threaded.insert(threaded.end(), {"-threads", threads});
      const ProcessResult result = run_famgen(threaded);
      ASSERT_EQ(result.exit_status, 0) << result.standard_error;
      EXPECT_TRUE(read_file(folder.path("threads")) == expected) << threads << " threads";
    }
  }
}

// Each seed gives other weights, seeds that agree in their low 32 or 63 bits too; the two
// constraints and the edges draw apart; no -seed is -seed 1.
TEST(Weights, EveryWordOfTheSeedCounts) {
  const std::vector<std::string> graph = {"-graphtype",
                                          "grid",
                                          "-size",
                                          "8,8",
                                          "-out",
                                          "-",
                                          "-vertex-weights",
                                          "uniform:1-1000000,uniform:1-1000000",
                                          "-edge-weights",
                                          "uniform:1-1000000"};
  std::vector<std::string> seeds = {
      "", "1", "0", "2", "4294967297", "9223372036854775809", "18446744073709551615"};
  std::vector<std::string> files;
  std::vector<ReadGraph> read;
  for (const std::string& seed : seeds) {
    std::vector<std::string> arguments = graph;
    if (!seed.empty()) arguments.insert(arguments.end(), {"-seed", seed});
    const ProcessResult result = run_famgen(arguments);
    ASSERT_EQ(result.exit_status, 0) << result.standard_error;
    files.push_back(result.standard_output);
    read.push_back(parse_graph(result.standard_output));
    ASSERT_EQ(read.back().ncon, 2) << seed;
    EXPECT_NE(constraint(read.back(), 0), constraint(read.back(), 1)) << seed;
  }
  EXPECT_EQ(files[0], files[1]) << "no -seed and -seed 1";
  for (std::size_t a = 1; a < seeds.size(); ++a) {
    for (std::size_t b = a + 1; b < seeds.size(); ++b) {
      SCOPED_TRACE("-seed " + seeds[a] + " and -seed " + seeds[b]);
      EXPECT_NE(constraint(read[a], 0), constraint(read[b], 0));
      EXPECT_NE(constraint(read[a], 1), constraint(read[b], 1));
      EXPECT_NE(read[a].edge_weights, read[b].edge_weights);
    }
  }
}

// Counts of the values 1..100 among draws of uniform:1-100: each within 5 standard deviations
// of its expectation, sqrt(n·p·(1 − p)) with p = 1/100.
void expect_even(const std::vector<std::int64_t>& draws, const std::string& what) {
  std::vector<std::int64_t> counts(101);
  for (const std::int64_t value : draws) {
    ASSERT_TRUE(value >= 1 && value <= 100) << what << ": " << value;
    ++counts[static_cast<std::size_t>(value)];
  }
  const auto n = static_cast<double>(draws.size());
  const double expected = n / 100;
  const double deviation = std::sqrt(n * 0.01 * 0.99);
  for (std::size_t value = 1; value <= 100; ++value) {
    EXPECT_LT(std::abs(static_cast<double>(counts[value]) - expected), 5 * deviation)
        << what << ": " << value << " drawn " << counts[value] << " times of " << n;
  }
}

// Pearson's r of two series, which must be below 5/sqrt(n) for independent ones.
void expect_uncorrelated(const std::vector<std::int64_t>& x, const std::vector<std::int64_t>& y,
                         const std::string& what) {
  ASSERT_EQ(x.size(), y.size());
  double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
  for (std::size_t k = 0; k < x.size(); ++k) {
    const auto a = static_cast<double>(x[k]);
    const auto b = static_cast<double>(y[k]);
    sx += a;
    sy += b;
    sxx += a * a;
    syy += b * b;
    sxy += a * b;
  }
  const auto n = static_cast<double>(x.size());
  const double r = (n * sxy - sx * sy) / std::sqrt((n * sxx - sx * sx) * (n * syy - sy * sy));
  EXPECT_LT(std::abs(r), 5 / std::sqrt(n)) << what << ": r = " << r;
}

ReadGraph weighted_file(const std::vector<std::string>& arguments) {
  const ScratchFolder folder;
  std::vector<std::string> out = arguments;
  out.insert(out.end(), {"-out", folder.path("graph").string()});
  const ProcessResult result = run_famgen(out);
  EXPECT_EQ(result.exit_status, 0) << result.standard_error;
  return parse_graph(read_file(folder.path("graph")));
}

// The weight of the edge from v to neighbour, as v's line gives it.
std::int64_t weight_to(const ReadGraph& graph, std::int64_t v, std::int64_t neighbour) {
  const auto& line = graph.adjacency[static_cast<std::size_t>(v - 1)];
  const auto at = std::find(line.begin(), line.end(), neighbour);
  return at == line.end() ? -1
                          : graph.edge_weights[static_cast<std::size_t>(v - 1)]
                                              [static_cast<std::size_t>(at - line.begin())];
}

// 10^6 vertex and edge draws of the circle: even over 1..100, and neither neighbours' weights nor
// an edge's weight and its ends' weights nor consecutive edges' weights go together.
TEST(WeightStatistics, UniformWeightsOfTheCircleAreEvenAndIndependent) {
  constexpr std::int64_t n = 1000000;
  const ReadGraph circle =
      weighted_file({"-graphtype", "circle", "-size", std::to_string(n), "-vertex-weights",
                     "uniform:1-100", "-edge-weights", "uniform:1-100"});
  ASSERT_EQ(static_cast<std::int64_t>(circle.vertex_weights.size()), n);
  const std::vector<std::int64_t> vertex = constraint(circle, 0);
  std::vector<std::int64_t> edge;  // edge[v - 1]: {v, v + 1}, and {n, 1} last
  for (std::int64_t v = 1; v <= n; ++v)
    edge.push_back(weight_to(circle, v, v % n + 1));
  expect_even(vertex, "vertex weights");
  expect_even(edge, "edge weights");
  const auto shifted = [](std::vector<std::int64_t> values) {
    std::rotate(values.begin(), values.begin() + 1, values.end());
    return values;
  };
  expect_uncorrelated(vertex, shifted(vertex), "the weights of v and v + 1");
  expect_uncorrelated(edge, vertex, "the weights of {v, v + 1} and v");
  expect_uncorrelated(edge, shifted(vertex), "the weights of {v, v + 1} and v + 1");
  expect_uncorrelated(edge, shifted(edge), "the weights of {v, v + 1} and {v + 1, v + 2}");
}

// 10^6 edge draws of a torus, whose edges join vertices 1 and 500 apart as well as the ends of
// each ring: even over 1..100, and the two edges a vertex lists first not going together.
TEST(WeightStatistics, UniformEdgeWeightsOfTheTorusAreEvenAndIndependent) {
  const ReadGraph torus = weighted_file(
      {"-graphtype", "torus", "-size", "1000,500", "-edge-weights", "uniform:1-100", "-seed", "2"});
  ASSERT_EQ(torus.edge_weights.size(), 500000u);
  std::vector<std::int64_t> once;  // each edge from its lower end
  std::vector<std::int64_t> first;
  std::vector<std::int64_t> second;
  for (std::size_t k = 0; k < torus.adjacency.size(); ++k) {
    const auto& line = torus.adjacency[k];
    for (std::size_t j = 0; j < line.size(); ++j) {
      if (line[j] > static_cast<std::int64_t>(k + 1)) once.push_back(torus.edge_weights[k][j]);
    }
    first.push_back(torus.edge_weights[k].at(0));
    second.push_back(torus.edge_weights[k].at(1));
  }
  ASSERT_EQ(once.size(), 1000000u);
  expect_even(once, "torus edge weights");
  expect_uncorrelated(first, second, "the first two edges of a line");
}

}  // namespace
