// The binomial sampler of the random families, driven by the counter-based words of
// graphfile/weights.hpp: a variate is a function of its key and its two counters alone, so that
// any thread or process that asks for it gets the same number.
//
// Two exact methods, as W. Hörmann, "The generation of binomial random variates", Journal of
// Statistical Computation and Simulation 46 (1993), pairs them: inversion by sequential search
// (Kachitvichyanukul and Schmeiser's BINV) when the mean min(p, 1 - p)·n is below 10, and
// Hörmann's transformed rejection with decomposition (BTRD) above it. Both are exact up to the
// rounding of double arithmetic; their words come from the stream (key, a, b) in order.
#pragma once

#include <cstdint>

#include "graphfile/weights.hpp"

namespace famgen {

// The words random_word(key, a, b, 0), random_word(key, a, b, 1), ..., one after the other.
class WordStream {
 public:
  WordStream(std::uint64_t key, std::uint64_t a, std::uint64_t b) : key_(key), a_(a), b_(b) {}
  std::uint64_t next() { return random_word(key_, a_, b_, drawn_++); }
  // Uniform in the open interval (0, 1): the top 53 bits of a word, offset by half a step, so
  // that neither end (and no logarithm of 0) can come up.
  double uniform() { return (static_cast<double>(next() >> 11) + 0.5) * 0x1p-53; }

 private:
  std::uint64_t key_;
  std::uint64_t a_;
  std::uint64_t b_;
  std::uint64_t drawn_ = 0;
};

// The number of successes in n independent trials of probability p (0 <= p <= 1), n >= 0.
std::int64_t binomial_variate(std::int64_t n, double p, WordStream& words);

}  // namespace famgen
