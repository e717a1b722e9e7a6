// Integer to decimal text, the innermost loop of every generator.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace decimal {

// "00" "01" ... "99": one table load and one two-byte store per pair of digits halves the
// divisions and the stores of a digit-at-a-time loop.
inline constexpr char kDigitPairs[201] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

inline constexpr std::uint64_t kPowersOfTen[20] = {1ULL,
                                                   10ULL,
                                                   100ULL,
                                                   1000ULL,
                                                   10000ULL,
                                                   100000ULL,
                                                   1000000ULL,
                                                   10000000ULL,
                                                   100000000ULL,
                                                   1000000000ULL,
                                                   10000000000ULL,
                                                   100000000000ULL,
                                                   1000000000000ULL,
                                                   10000000000000ULL,
                                                   100000000000000ULL,
                                                   1000000000000000ULL,
                                                   10000000000000000ULL,
                                                   100000000000000000ULL,
                                                   1000000000000000000ULL,
                                                   10000000000000000000ULL};

// The number of digits of value, without a loop: bit_width × 1233 / 4096 is log10(2) × bits
// rounded down, which is the digit count or one less; one compare settles it. The "| 1" makes
// 0 count as one digit and never changes the compare, since every power of ten above 1 is even.
inline int digit_count(std::uint64_t value) {
  const std::uint64_t odd = value | 1;
  const int guess = (std::bit_width(odd) * 1233) >> 12;
  return guess + (odd >= kPowersOfTen[guess] ? 1 : 0);
}

// Writes value at out and returns the end. Knowing the length first lets the digits be
// stored from the back straight into place, with no reversal and no temporary.
inline char* write_unsigned(char* out, std::uint64_t value) {
  char* const end = out + digit_count(value);
  char* cursor = end;
  while (value >= 100) {
    cursor -= 2;
    std::memcpy(cursor, &kDigitPairs[(value % 100) * 2], 2);
    value /= 100;
  }
  if (value >= 10) {
    std::memcpy(cursor - 2, &kDigitPairs[value * 2], 2);
  } else {
    cursor[-1] = static_cast<char>('0' + value);
  }
  return end;
}

// As "%d" writes it: a minus sign before a negative value, no plus sign, no padding.
inline char* write_signed(char* out, std::int64_t value) {
  std::uint64_t magnitude = static_cast<std::uint64_t>(value);
  if (value < 0) {
    *out++ = '-';
    magnitude = 0 - magnitude;  // well defined for INT64_MIN too, unlike -value
  }
  return write_unsigned(out, magnitude);
}

}  // namespace decimal
