#include "generators/geometry.hpp"

#include <array>

namespace famgen {

namespace {

// π / 4 and 1 / (2π), rounded down, with 62 and 64 fractional bits.
constexpr std::int64_t kQuarterPiQ62 = 3622009729038561421;
constexpr std::uint64_t kInverseTwoPiQ64 = 2935890503282001226;

// cos and sin of x in [0, π/4] by their Taylor series, to about 2^-60: the terms shrink by at
// least (π/4)² / 6 a step, and 13 steps take them below 2^-62.
Rotation series(std::int64_t x) {
  const std::int64_t x2 = q62_product(x, x);
  std::int64_t cos = kOneQ62;
  std::int64_t sin = x;
  std::int64_t cos_term = kOneQ62;
  std::int64_t sin_term = x;
  for (std::int64_t i = 1; i <= 13; ++i) {
    cos_term = -q62_product(cos_term, x2) / ((2 * i - 1) * (2 * i));
    sin_term = -q62_product(sin_term, x2) / ((2 * i) * (2 * i + 1));
    cos += cos_term;
    sin += sin_term;
  }
  return {cos, sin};
}

// The angle π/4 · (part / whole), for 0 <= part <= whole < 2^62. Below 2^32 two 64-bit
// divisions give the quotient that a far slower 128-bit one would.
Rotation octant_rotation(std::int64_t part, std::int64_t whole) {
  if (whole < (std::int64_t{1} << 32)) {
    const std::int64_t quotient = kQuarterPiQ62 / whole;
    const std::int64_t rest = kQuarterPiQ62 % whole;
    return series(quotient * part + rest * part / whole);
  }
  return series(static_cast<std::int64_t>(static_cast<Int128>(kQuarterPiQ62) * part / whole));
}

// The angle 2π·k/n, straight from the series: exact to about 2^-60, too slow for every point
// (a 128-bit division and two dozen products), and so used for the table alone.
Rotation exact_rotation(std::int64_t k, std::int64_t n) {
  // 8k/n in octants: the octant, and how far into it. Odd octants are read from their far end,
  // so that the series only ever sees angles up to π/4.
  const std::int64_t eighths = 8 * k;
  const auto octant = static_cast<int>(eighths / n);
  const std::int64_t into = eighths - octant * n;
  const Rotation r = octant % 2 == 0 ? octant_rotation(into, n) : octant_rotation(n - into, n);
  // The angle in octant o is o·π/4 + a (even o) or (o + 1)·π/4 - a (odd o), a = the series'.
  switch (octant) {
    case 0:
      return {r.cos, r.sin};
    case 1:
      return {r.sin, r.cos};
    case 2:
      return {-r.sin, r.cos};
    case 3:
      return {-r.cos, r.sin};
    case 4:
      return {-r.cos, -r.sin};
    case 5:
      return {-r.sin, -r.cos};
    case 6:
      return {r.sin, -r.cos};
    default:
      return {r.cos, -r.sin};
  }
}

const RingAngles::Table& rotation_table() {
  static const RingAngles::Table table = [] {
    RingAngles::Table rotations{};
    for (std::int64_t k = 0; k < RingAngles::kTableSize; ++k)
      rotations[static_cast<std::size_t>(k)] = exact_rotation(k, RingAngles::kTableSize);
    return rotations;
  }();
  return table;
}

}  // namespace

// A size of no ring (below 1, for sizes a family refuses) is taken as one point.
RingAngles::RingAngles(std::int64_t n) : n_(static_cast<std::uint64_t>(n > 0 ? n : 1)) {
  whole_turns_ = ~std::uint64_t{0} / n_;
  reciprocal_ = whole_turns_;
  rest_ = ~std::uint64_t{0} - whole_turns_ * n_ + 1;  // 2^64 - whole_turns · n
  if (rest_ == n_) {                                  // n divides 2^64
    ++whole_turns_;
    rest_ = 0;
  }
  table_ = &rotation_table();
  step_ = placed(1);
}

// For circumferences below 2^32 units.
Radius radius_of_circumference(std::int64_t circumference) {
  if (circumference <= 0) return {0};
  const auto micro = static_cast<std::uint64_t>(circumference) * kMicro;
  const UInt128 radius = static_cast<UInt128>(micro) * kInverseTwoPiQ64;
  return {static_cast<std::int64_t>(radius >> 52)};
}

}  // namespace famgen
