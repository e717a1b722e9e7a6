// Micro-benchmarks of the number formatting: the four-digit table in use against a digit-pair
// loop (the textbook choice) and snprintf, on rising numbers of 4, 8 and 10 digits.
#include <benchmark/benchmark.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <vector>

#include "graphfile/layouts/decimal.hpp"

using namespace famgen;

namespace {

std::vector<char> buffer(1 << 20);
constexpr std::uint64_t kBatch = 40000;

// Digit count from a bit scan, then two digits per division by 100.
char* write_by_pairs(char* out, std::uint64_t value) {
  static constexpr char kPairs[201] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  static constexpr std::uint64_t kPowers[20] = {1ULL,
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
  const std::uint64_t odd = value | 1;
  const int guess = (std::bit_width(odd) * 1233) >> 12;
  char* const end = out + guess + (odd >= kPowers[guess] ? 1 : 0);
  char* cursor = end;
  while (value >= 100) {
    cursor -= 2;
    std::memcpy(cursor, &kPairs[(value % 100) * 2], 2);
    value /= 100;
  }
  if (value >= 10) {
    std::memcpy(cursor - 2, &kPairs[value * 2], 2);
  } else {
    cursor[-1] = static_cast<char>('0' + value);
  }
  return end;
}

char* write_by_four_digit_table(char* out, std::uint64_t value) {
  return decimal::write_unsigned(out, value);
}

char* write_by_snprintf(char* out, std::uint64_t value) {
  return out + std::snprintf(out, 24, "%llu", static_cast<unsigned long long>(value));
}

template <char* (*Write)(char*, std::uint64_t)>
void rising_numbers(benchmark::State& state) {
  const auto first = static_cast<std::uint64_t>(state.range(0));
  for (auto _ : state) {
    char* cursor = buffer.data();
    for (std::uint64_t value = first; value < first + kBatch; ++value) {
      cursor = Write(cursor, value);
      *cursor++ = ' ';
    }
    benchmark::DoNotOptimize(cursor);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kBatch));
}

BENCHMARK(rising_numbers<write_by_four_digit_table>)->Arg(1000)->Arg(20000000)->Arg(5000000000);
BENCHMARK(rising_numbers<write_by_pairs>)->Arg(1000)->Arg(20000000)->Arg(5000000000);
BENCHMARK(rising_numbers<write_by_snprintf>)->Arg(20000000);

}  // namespace

BENCHMARK_MAIN();
