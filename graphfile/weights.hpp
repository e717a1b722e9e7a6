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

// The 64-bit word for (key, a, b): one mix of a point of a two-dimensional Weyl sequence, a
// step of the golden ratio's word along a and of another odd constant's along b. With b = 0 it
// is SplitMix64's own output a + 1 from the state key. Draws after the first (attempt 1, 2, ...)
// mix the word again with the attempt added.
inline std::uint64_t random_word(std::uint64_t key, std::uint64_t a, std::uint64_t b,
                                 std::uint64_t attempt = 0) {
  constexpr std::uint64_t kStepA = 0x9e3779b97f4a7c15;  // 2^64 / φ, odd
  constexpr std::uint64_t kStepB = 0xd1b54a32d192ed03;  // odd, far from kStepA's multiples
  const std::uint64_t word = mix64(key + a * kStepA + b * kStepB);
  return attempt == 0 ? word : mix64(word + attempt * kStepA);
}

// Whole numbers from low to high inclusive, each equally likely: Lemire's multiply-and-shift
// ("Fast random integer generation in an interval", 2019), a word drawn again (the next
// attempt) when it falls among the few that would favour some values. The range and that
// threshold are worked out once, so that a draw is a mix, a multiplication and a comparison.
class UniformDraw {
 public:
  UniformDraw(std::int64_t low, std::int64_t high)
      : low_(low),
        range_(static_cast<std::uint64_t>(high) - static_cast<std::uint64_t>(low) + 1),
        threshold_(range_ == 0 ? 0 : (0 - range_) % range_) {}
  // The number for (key, a, b).
  std::int64_t operator()(std::uint64_t key, std::uint64_t a, std::uint64_t b) const {
    if (range_ == 0) return static_cast<std::int64_t>(random_word(key, a, b));  // every word
    UInt128 product = static_cast<UInt128>(random_word(key, a, b)) * range_;
    for (std::uint64_t attempt = 1; static_cast<std::uint64_t>(product) < threshold_; ++attempt)
      [[unlikely]] {
        product = static_cast<UInt128>(random_word(key, a, b, attempt)) * range_;
      }
    return low_ + static_cast<std::int64_t>(product >> 64);
  }

 private:
  std::int64_t low_;
  std::uint64_t range_;  // 0: all 2^64 words
  std::uint64_t threshold_;
};

}  // namespace famgen
