#include "generators/rgg_near.hpp"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace famgen {

namespace {

template <int kDimension, bool kPeriodic>
inline bool near(const std::int32_t* p, const NearRun& run, std::size_t i,
                 std::uint64_t threshold) {
  std::uint64_t squared = 0;
  for (int a = 0; a < kDimension; ++a)
    squared +=
        squared_gap<kPeriodic>(p[a], run.coordinates[static_cast<std::size_t>(a) * run.stride + i]);
  return squared < threshold;
}

// Each point is written and kept only if near: no branch to mispredict.
template <int kDimension, bool kPeriodic>
std::size_t keep_plain(const std::int32_t* p, const NearRun* runs, int run_count,
                       std::uint64_t threshold, Vertex* out) {
  std::size_t kept = 0;
  for (int r = 0; r < run_count; ++r) {
    const NearRun& run = runs[r];
    Vertex w = run.vertex;
    for (std::size_t i = run.first; i < run.end; ++i, ++w) {
      out[kept] = w;
      kept += near<kDimension, kPeriodic>(p, run, i, threshold);
    }
  }
  return kept;
}

template <int kDimension, bool kPeriodic>
std::int64_t count_plain(const std::int32_t* p, const NearRun* runs, int run_count,
                         std::uint64_t threshold) {
  std::int64_t found = 0;
  for (int r = 0; r < run_count; ++r) {
    for (std::size_t i = runs[r].first; i < runs[r].end; ++i)
      found += near<kDimension, kPeriodic>(p, runs[r], i, threshold);
  }
  return found;
}

#if defined(__x86_64__)

#define FAMGEN_AVX2 __attribute__((target("avx2,popcnt")))

// For each mask of four lanes, the lanes that are set, first to last, then zeros: the offsets
// from the first vertex of four points that a store through it packs to the front.
alignas(32) constexpr std::int64_t kSetLanes[16][4] = {
    {0, 0, 0, 0}, {0, 0, 0, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}, {2, 0, 0, 0}, {0, 2, 0, 0},
    {1, 2, 0, 0}, {0, 1, 2, 0}, {3, 0, 0, 0}, {0, 3, 0, 0}, {1, 3, 0, 0}, {0, 1, 3, 0},
    {2, 3, 0, 0}, {0, 2, 3, 0}, {1, 2, 3, 0}, {0, 1, 2, 3},
};

// Of four points from i on, a mask of those nearer than the radius (the lanes past the run's
// end cleared): gaps in 32 bits, squares and sums in 64.
template <int kDimension, bool kPeriodic>
FAMGEN_AVX2 inline int near_mask(const __m128i* centre, const NearRun& run, std::size_t i,
                                 __m256i limit) {
  __m256i squared = _mm256_setzero_si256();
  for (int a = 0; a < kDimension; ++a) {
    const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(
        run.coordinates + static_cast<std::size_t>(a) * run.stride + i));
    __m128i gap = _mm_abs_epi32(_mm_sub_epi32(centre[a], q));
    if constexpr (kPeriodic) gap = _mm_min_epi32(gap, _mm_sub_epi32(_mm_set1_epi32(kRggUnit), gap));
    const __m256i wide = _mm256_cvtepu32_epi64(gap);
    squared = _mm256_add_epi64(squared, _mm256_mul_epu32(wide, wide));
  }
  int mask = _mm256_movemask_pd(_mm256_castsi256_pd(_mm256_cmpgt_epi64(limit, squared)));
  if (run.end - i < 4) mask &= (1 << (run.end - i)) - 1;
  return mask;
}

template <int kDimension, bool kPeriodic>
FAMGEN_AVX2 std::size_t keep_avx2(const std::int32_t* p, const NearRun* runs, int run_count,
                                  std::uint64_t threshold, Vertex* out) {
  __m128i centre[kDimension];
  for (int a = 0; a < kDimension; ++a)
    centre[a] = _mm_set1_epi32(p[a]);
  const __m256i limit = _mm256_set1_epi64x(static_cast<std::int64_t>(threshold));
  std::size_t kept = 0;
  for (int r = 0; r < run_count; ++r) {
    const NearRun& run = runs[r];
    Vertex w = run.vertex;
    for (std::size_t i = run.first; i < run.end; i += 4, w += 4) {
      const int mask = near_mask<kDimension, kPeriodic>(centre, run, i, limit);
      const __m256i lanes = _mm256_load_si256(reinterpret_cast<const __m256i*>(kSetLanes[mask]));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + kept),
                          _mm256_add_epi64(_mm256_set1_epi64x(w), lanes));
      kept += static_cast<std::size_t>(__builtin_popcount(static_cast<unsigned>(mask)));
    }
  }
  return kept;
}

template <int kDimension, bool kPeriodic>
FAMGEN_AVX2 std::int64_t count_avx2(const std::int32_t* p, const NearRun* runs, int run_count,
                                    std::uint64_t threshold) {
  __m128i centre[kDimension];
  for (int a = 0; a < kDimension; ++a)
    centre[a] = _mm_set1_epi32(p[a]);
  const __m256i limit = _mm256_set1_epi64x(static_cast<std::int64_t>(threshold));
  std::int64_t found = 0;
  for (int r = 0; r < run_count; ++r) {
    for (std::size_t i = runs[r].first; i < runs[r].end; i += 4) {
      const int mask = near_mask<kDimension, kPeriodic>(centre, runs[r], i, limit);
      found += __builtin_popcount(static_cast<unsigned>(mask));
    }
  }
  return found;
}

bool has_avx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
}

#endif

constexpr NearSearch kPlain[2][2] = {
    {{keep_plain<2, false>, count_plain<2, false>}, {keep_plain<2, true>, count_plain<2, true>}},
    {{keep_plain<3, false>, count_plain<3, false>}, {keep_plain<3, true>, count_plain<3, true>}},
};

}  // namespace

const NearSearch& portable_near_search(int dimension, bool periodic) {
  return kPlain[dimension == 3][periodic];
}

const NearSearch& near_search(int dimension, bool periodic) {
#if defined(__x86_64__)
  static constexpr NearSearch kWide[2][2] = {
      {{keep_avx2<2, false>, count_avx2<2, false>}, {keep_avx2<2, true>, count_avx2<2, true>}},
      {{keep_avx2<3, false>, count_avx2<3, false>}, {keep_avx2<3, true>, count_avx2<3, true>}},
  };
  static const bool wide = has_avx2();
  if (wide) return kWide[dimension == 3][periodic];
#endif
  return portable_near_search(dimension, periodic);
}

}  // namespace famgen
