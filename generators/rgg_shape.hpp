// What names one random geometric graph (rgg.hpp), and its fixed-point units: all a request
// holds of it before the graph itself is made.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace famgen {

// A coordinate counts units of 10^-9 (kRggUnit to 1), printed with kRggDecimals decimals; the
// radius counts units of 10^-18, so that a decimal radius of up to 18 decimals is held exactly.
inline constexpr int kRggDecimals = 9;
inline constexpr std::int64_t kRggUnit = 1'000'000'000;
inline constexpr std::int64_t kRadiusUnit = 1'000'000'000'000'000'000;

struct RggShape {
  int dimension = 2;        // 2 (rgg2d) or 3 (rgg3d)
  std::int64_t points = 0;  // N >= 1
  std::int64_t radius = 0;  // R in units of 10^-18, 0 < R <= 10^18
  bool periodic = false;    // the unit torus rather than the unit square or cube
  std::uint64_t seed = 1;   // -seed, shared with the weights
};

// The radius when none is given, in units of 10^-18: 0.55·(ln N / N)^(1/d), the radius of the
// partitioning benchmarks' random geometric graphs, worked out in double and rounded once to
// the coordinates' grid, 10^-9 (the least radius, 10^-18, for N = 1).
std::int64_t default_rgg_radius(int dimension, std::int64_t points);

// R as a decimal with the least decimals that state it exactly ("0.000548", "1").
std::string radius_text(std::int64_t radius);

// A -radius value: digits with at most one decimal point among or before them, of at most 18
// decimals past trailing zeros, from 0 (excluded) to 1; in units of 10^-18. Nothing otherwise.
std::optional<std::int64_t> read_radius(std::string_view value);

}  // namespace famgen
