// Every family behind one switch. generators/ knows graphs and nothing about bytes: each family
// is a value type in its own file (graph.hpp says what it provides), made by its generate_
// function (generators.hpp) from the sizes and handed to a use (written to a destination, or
// asked its facts). Adding a family is its file, its unit under sources/ with its generate_
// function, its GraphType, a row of kFamilies and a case of make_family.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "generators/generators.hpp"
#include "generators/mesh_options.hpp"
#include "generators/rgg_shape.hpp"
#include "graphfile/graph.hpp"
#include "graphfile/weights.hpp"

namespace famgen {

// The family code; the values follow the order in which the keywords are tested.
enum GraphType : std::int32_t {
  GRAPH_NONE = 0,
  GRAPH_GRID = 1,
  GRAPH_FOLDED_GRID = 2,
  GRAPH_PARTIAL_GRID = 3,
  GRAPH_PARTIAL_FOLDED_GRID = 4,
  GRAPH_CIRCLE = 5,
  GRAPH_TREE = 6,
  GRAPH_TORUS = 7,
  GRAPH_CYLINDER = 8,
  GRAPH_SIERPINSKI = 9,
  GRAPH_HYPERCUBE = 10,
  GRAPH_STAR = 11,
  GRAPH_COMPLETEGRAPH = 12,
  GRAPH_UNCONNECTED_COMPLETEGRAPH = 13,
  GRAPH_MESH = 14,
  GRAPH_RGG2D = 15,
  GRAPH_RGG3D = 16,
  GRAPH_LAST = GRAPH_RGG3D,
};

// What names one graph: its family and its sizes, as the command line gives them.
struct FamilyRequest {
  GraphType graph_type = GRAPH_NONE;
  std::int32_t first_size = 0;
  std::int32_t second_size = 0;
  // Every number of the size value, in order: the mesh takes them all, one per axis.
  std::vector<std::int32_t> sizes;
  Stencil stencil = Stencil::kStar;  // the mesh's
  PeriodicAxes periodic;             // the mesh's, and all or none for rgg2d and rgg3d
  // -stencil and -periodic: whether either was given (and -stencil itself), and why the first
  // value that names nothing they take was refused.
  bool mesh_options_given = false;
  bool stencil_given = false;
  std::string mesh_option_error;
  // -radius (rgg2d's and rgg3d's) in units of 10^-18, if given, and why a value was refused.
  std::optional<std::int64_t> radius;
  std::string radius_error;
  // -threads N: the threads a family may work out its figures on before its first line (a
  // random geometric graph counts its edges), 0 or less for one per core; absent, one.
  std::optional<std::int32_t> threads;
  // -vertex-weights, -edge-weights and -seed, and why the first value that names no model or
  // seed was refused.
  WeightRequest weights;
  std::string weights_error;
};

// What the command line knows of a family: its keyword, the least sizes it takes and the
// message when they fall short, and its line of the usage text.
struct FamilyRow {
  GraphType type;
  std::string_view keyword;
  std::int32_t first_size_above;  // first_size must be greater than this
  bool second_size_checked;       // second_size must then be greater than 0
  std::string_view message;
  std::string_view sizes;    // for the usage text
  std::string_view summary;  // for the usage text
  // The sizes are a list, each at least 1, of 1 to kMostMeshAxes numbers (first_size_above and
  // second_size_checked play no part).
  bool size_list = false;
};

inline constexpr std::string_view kGridMessage =
    "One or more grid dimensions are not available. Exiting.\n";
inline constexpr std::string_view kCompleteMessage = "setting is error. Exiting.\n";

// In code order, which is the order the keywords are tested in. No keyword is a prefix of
// another, so at most one can match.
inline constexpr auto kFamilies = std::to_array<FamilyRow>({
    {GRAPH_GRID, "grid", 0, true, kGridMessage, "R,W", "R rows of W vertices (R, W >= 1)"},
    {GRAPH_FOLDED_GRID, "folded_grid", 0, true, kGridMessage, "R,W",
     "the grid with opposite corners joined"},
    {GRAPH_PARTIAL_GRID, "partial_grid", 0, true, kGridMessage, "R,W",
     "the grid without the horizontal edges of a central block"},
    {GRAPH_PARTIAL_FOLDED_GRID, "partial_folded_grid", 0, true, kGridMessage, "R,W",
     "both of the above"},
    {GRAPH_CIRCLE, "circle", 0, false, "Circle perimeter is not available. Exiting.\n", "N",
     "the cycle of N vertices (N >= 1)"},
    {GRAPH_TREE, "tree", 0, false, "Tree depth is not available. Exiting.\n", "DEPTH",
     "complete binary tree of 2^DEPTH - 1 vertices (DEPTH >= 1)"},
    {GRAPH_TORUS, "torus", 0, true, "One or more torus dimensions are not available. Exiting.\n",
     "A,B", "A rings of B vertices, closed into a loop (A, B >= 1)"},
    {GRAPH_CYLINDER, "cylinder", 0, true,
     "One or more cylinder dimensions are not available. Exiting.\n", "A,B",
     "A rings of B vertices, open at both ends (A, B >= 1)"},
    {GRAPH_SIERPINSKI, "sierpinski", 0, false, "Sierpinski depth is not available. Exiting.\n",
     "DEPTH", "Sierpinski graph of 3(3^DEPTH + 1)/2 vertices (DEPTH 1 to 19)"},
    {GRAPH_HYPERCUBE, "hypercube", 1, false, "Hyper-cube dimension is not correct. Exiting.\n", "D",
     "hypercube of 2^D vertices (D >= 2)"},
    {GRAPH_STAR, "star", 2, false, "Star size must be greatwer than 2. Exiting.\n", "N",
     "a wheel: hub 1 joined to the closed ring 2..N (N >= 3)"},
    {GRAPH_COMPLETEGRAPH, "completegraph", 0, false, kCompleteMessage, "N,C",
     "as below, vertex lines only (N >= 1)"},
    {GRAPH_UNCONNECTED_COMPLETEGRAPH, "unconnected_completegraph", 0, true, kCompleteMessage, "N,C",
     "C disjoint complete graphs of N vertices (N, C >= 1)"},
    {GRAPH_MESH, "mesh", 0, false, "Mesh needs 1 to 8 sizes, each at least 1. Exiting.\n",
     "N1,...,Nd", "the N1 x ... x Nd mesh, d from 1 to 8 (-stencil, -periodic)", true},
    {GRAPH_RGG2D, "rgg2d", 0, false, "Random geometric graph size is not available. Exiting.\n",
     "N", "N random points in the unit square joined within R (N >= 1)"},
    {GRAPH_RGG3D, "rgg3d", 0, false, "Random geometric graph size is not available. Exiting.\n",
     "N", "the same in the unit cube (-radius, -periodic, -seed)"},
});

// Row k - 1 is that of GraphType k, and every GraphType but GRAPH_NONE has one.
constexpr bool rows_follow_graph_types() {
  for (std::size_t row = 0; row < kFamilies.size(); ++row) {
    if (kFamilies[row].type != static_cast<GraphType>(row + 1)) return false;
  }
  return kFamilies.size() == GRAPH_LAST;
}
static_assert(rows_follow_graph_types(), "kFamilies must hold one row per GraphType, in order");

inline const FamilyRow& family_row(GraphType type) {
  return kFamilies[static_cast<std::size_t>(type) - 1];
}

inline bool is_rgg(GraphType type) {
  return type == GRAPH_RGG2D || type == GRAPH_RGG3D;
}

// The random geometric graph that request names: its dimension, size, radius (the default when
// none is given), torus or not, and seed.
inline RggShape rgg_shape(const FamilyRequest& request) {
  RggShape shape;
  shape.dimension = request.graph_type == GRAPH_RGG3D ? 3 : 2;
  // A size below 1 is refused before any graph is made; as a graph, it has no point.
  shape.points = std::max<std::int64_t>(0, request.first_size);
  shape.radius =
      request.radius ? *request.radius : default_rgg_radius(shape.dimension, shape.points);
  shape.periodic = request.periodic.kind == PeriodicAxes::Kind::kAll;
  shape.seed = request.weights.seed;
  return shape;
}

// The family's message when the sizes fall short of its least sizes; nothing when they pass.
inline std::optional<std::string_view> size_message(const FamilyRequest& request) {
  const FamilyRow& row = family_row(request.graph_type);
  if (row.size_list) {
    const bool fits = !request.sizes.empty() && request.sizes.size() <= kMostMeshAxes &&
                      std::ranges::all_of(request.sizes, [](std::int32_t n) { return n >= 1; });
    return fits ? std::nullopt : std::optional(row.message);
  }
  if (request.first_size > row.first_size_above &&
      (!row.second_size_checked || request.second_size > 0)) {
    return std::nullopt;
  }
  return row.message;
}

// The one switch over GraphType: the family that request names, made by its generator and
// handed to use (a FamilyUse or an ArrayUse), whose result is the outcome. For GRAPH_NONE
// nothing is made.
template <class Use>
Outcome make_family(const FamilyRequest& request, const Use& use) {
  const std::int32_t first = request.first_size;
  const std::int32_t second = request.second_size;
  switch (request.graph_type) {
    case GRAPH_GRID:
      return generate_grid(first, second, use, 0, 0);
    case GRAPH_FOLDED_GRID:
      return generate_grid(first, second, use, 1, 0);
    case GRAPH_PARTIAL_GRID:
      return generate_grid(first, second, use, 0, 1);
    case GRAPH_PARTIAL_FOLDED_GRID:
      return generate_grid(first, second, use, 1, 1);
    case GRAPH_CIRCLE:
      return generate_circle(first, use);
    case GRAPH_TREE:
      return generate_binary_tree(first, use);
    case GRAPH_TORUS:
      return generate_torus(first, second, use);
    case GRAPH_CYLINDER:
      return generate_cylinder(first, second, use);
    case GRAPH_SIERPINSKI:
      return generate_sierpinski(first, use);
    case GRAPH_HYPERCUBE:
      return generate_hypercube(first, use);
    case GRAPH_STAR:
      return generate_star(first, use);
    case GRAPH_COMPLETEGRAPH:
      return generate_complete_graphs(first, second, use, true);
    case GRAPH_UNCONNECTED_COMPLETEGRAPH:
      return generate_complete_graphs(first, second, use, false);
    case GRAPH_MESH:
      return generate_mesh(request.sizes, request.stencil, request.periodic, use);
    case GRAPH_RGG2D:
    case GRAPH_RGG3D:
      return generate_rgg(rgg_shape(request), request.threads, use);
    case GRAPH_NONE:
      break;
  }
  return {};
}

// The counts of the graph that request names, without building or writing it: nothing for
// GRAPH_NONE or a family that refuses its sizes. Lets a caller judge a run's size first.
std::optional<GraphCounts> family_counts(const FamilyRequest& request);

}  // namespace famgen
