// Arithmetic the families share.
#pragma once

#include <cstdint>

namespace famgen {

// index / size and index % size, for a range's first vertex. Relabelled output asks for its
// lines one vertex at a time, so this runs once a line; a 64-bit division takes several times
// as long as a 32-bit one on many processors, and most graphs' indices fit in 32 bits.
struct QuotientRemainder {
  std::int64_t quotient;
  std::int64_t remainder;
};
inline QuotientRemainder divide(std::int64_t index, std::int64_t size) {
  if (((index | size) >> 32) == 0) {
    const auto quotient = static_cast<std::uint32_t>(index) / static_cast<std::uint32_t>(size);
    return {quotient, index - std::int64_t{quotient} * size};
  }
  return {index / size, index % size};
}

// factor × count, or the largest 64-bit value when that passes it: the entry counts of graphs
// that no disk could hold (the space guard refuses them before anything is written).
inline std::int64_t saturating_product(std::int64_t factor, std::int64_t count) {
  std::int64_t product = 0;
  return __builtin_mul_overflow(factor, count, &product) ? INT64_MAX : product;
}

}  // namespace famgen
