// Vertex and edge weights: the models that -vertex-weights and -edge-weights name, read from
// their text, and the counter-based random numbers behind them. A weight is of the graph, not
// of its numbering or of how its writing is cut up: the weight of vertex v (constraint c) and of
// edge {u, w} are functions of the seed, the model and the vertex numbers in the family's own
// numbering alone (symmetric in u and w), so every thread count, process count, layout and the
// library give the same weights, and a relabelling carries them with their vertices.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "graphfile/graph.hpp"

namespace famgen {

// Exact products of 64-bit words (the same typedefs as generators/geometry.hpp's).
__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

inline constexpr int kMostConstraints = 8;  // METIS's ncon, at most
inline constexpr std::uint64_t kDefaultWeightSeed = 1;

enum class WeightModelKind {
  kUniform,   // uniform:LO-HI, a whole number from LO to HI at random
  kConstant,  // constant:K
  kDegree,    // degree: the entries of the vertex's line (vertex weights only)
  kBump,      // bump:PEAK:VERTEX:RADIUS, heavier near a vertex's position (vertex weights only)
  kLength,    // length:SCALE, the drawn length times SCALE, rounded up (edge weights only)
  kAxes,      // axes:W1,W2,..., a weight for each axis of the mesh (edge weights only)
};

struct WeightModel {
  WeightModelKind kind = WeightModelKind::kConstant;
  std::int64_t low = 1;     // uniform: LO; constant: K
  std::int64_t high = 1;    // uniform: HI; constant: K; bump: PEAK
  Vertex centre = 1;        // bump: the vertex whose position is the peak's
  std::int64_t radius = 1;  // bump: where the weight is halfway down, in position units
  std::int64_t scale = 1;   // length
  // axes: a weight for each coordinate of the positions (the mesh's axes from the last to the
  // first, as it draws them)
  std::vector<std::int64_t> axes;
  std::string text;  // as given
};

struct WeightRequest {
  std::vector<WeightModel> vertex;  // one per constraint; none: no vertex weights
  std::optional<WeightModel> edge;
  std::uint64_t seed = kDefaultWeightSeed;
  bool any() const { return !vertex.empty() || edge.has_value(); }
  WeightFacts facts() const { return {static_cast<int>(vertex.size()), edge.has_value()}; }
};

// The models of -vertex-weights (one per constraint, separated by commas) and of -edge-weights
// (one). Nothing when the text is well formed; otherwise why not, in one line.
std::optional<std::string> read_vertex_weights(std::string_view text,
                                               std::vector<WeightModel>& models);
std::optional<std::string> read_edge_weights(std::string_view text,
                                             std::optional<WeightModel>& model);

// SplitMix64's finalizer (Steele, Lea and Flood, "Fast splittable pseudorandom number
// generators", 2014): a bijection of 64-bit words whose every output bit depends on every input
// bit. Chained over the inputs, it is the counter-based generator of every random weight.
inline std::uint64_t mix64(std::uint64_t z) {
  z += 0x9e3779b97f4a7c15;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
  z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
  return z ^ (z >> 31);
}

// What a random number is for: the vertex weights of constraint c use stream 1 + c, the edge
// weights this one.
inline constexpr std::uint64_t kEdgeWeightStream = 0x65646765;  // "edge"

// The key of one stream of random numbers under a seed: mixed once, when a model is set up.
inline std::uint64_t stream_key(std::uint64_t seed, std::uint64_t stream) {
  return mix64(mix64(seed) ^ stream);
}

// The 64-bit word for (key, a, b): the two numbers mixed in one after the other, two mixes a
// word. Draws after the first (attempt 1, 2, ...) mix the word again with the attempt added.
inline std::uint64_t random_word(std::uint64_t key, std::uint64_t a, std::uint64_t b,
                                 std::uint64_t attempt = 0) {
  const std::uint64_t word = mix64(mix64(key ^ a) ^ b);
  return attempt == 0 ? word : mix64(word + attempt * 0x9e3779b97f4a7c15);
}

// A whole number from low to high inclusive, each equally likely, for (key, a, b): Lemire's
// multiply-and-shift ("Fast random integer generation in an interval", 2019), a word drawn again
// (the next attempt) when it falls in the few that would favour some values.
inline std::int64_t random_between(std::int64_t low, std::int64_t high, std::uint64_t key,
                                   std::uint64_t a, std::uint64_t b) {
  const std::uint64_t range =
      static_cast<std::uint64_t>(high) - static_cast<std::uint64_t>(low) + 1;
  if (range == 0) return static_cast<std::int64_t>(random_word(key, a, b));  // every 64-bit word
  UInt128 product = static_cast<UInt128>(random_word(key, a, b)) * range;
  if (static_cast<std::uint64_t>(product) < range) {  // maybe among the few: look closer
    const std::uint64_t threshold = (0 - range) % range;
    for (std::uint64_t attempt = 1; static_cast<std::uint64_t>(product) < threshold; ++attempt)
      product = static_cast<UInt128>(random_word(key, a, b, attempt)) * range;
  }
  return low + static_cast<std::int64_t>(product >> 64);
}

}  // namespace famgen
