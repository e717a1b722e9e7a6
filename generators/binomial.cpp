#include "generators/binomial.hpp"

#include <cmath>

namespace famgen {

namespace {

// log(k!) - [(k + 1/2)·log(k + 1) - (k + 1) + log(2π)/2], the error of Stirling's formula: from
// a table below 10, from the first terms of its series above.
double stirling_correction(std::int64_t k) {
  static constexpr double kTable[10] = {
      0.08106146679532733, 0.04134069595540946,  0.027677925684997717, 0.02079067210376584,
      0.01664469118982126, 0.013876128823072875, 0.011896709945893313, 0.010411265261973668,
      0.00925546218270945, 0.008330563433359472,
  };
  if (k < 10) return kTable[k];
  const double next = static_cast<double>(k + 1);
  const double square = next * next;
  return (1.0 / 12 - (1.0 / 360 - 1.0 / 1260 / square) / square) / next;
}

// BINV: the least k whose distribution function passes a uniform number, the probabilities
// taken one after the other from f(0) = q^n by f(k) = f(k - 1)·((n + 1)/k - 1)·p/q. A number
// beyond what the rounded probabilities add up to starts over with a fresh one. p <= 1/2.
std::int64_t binomial_by_inversion(std::int64_t n, double p, WordStream& words) {
  const double q = 1 - p;
  const double ratio = p / q;
  const double scaled = static_cast<double>(n + 1) * ratio;
  const double first = std::pow(q, static_cast<double>(n));
  for (;;) {
    double u = words.uniform();
    double f = first;
    std::int64_t k = 0;
    while (u > f && f > 0 && k < n) {
      u -= f;
      ++k;
      f *= scaled / static_cast<double>(k) - ratio;
    }
    if (u <= f) return k;
  }
}

// BTRD, steps 1 to 3.4 of Hörmann's paper: the transformed rejection hat, its box of immediate
// acceptance, and the test of a point against f(k)/f(m) by recursion near the mode m, by a
// squeeze, or by Stirling's formula. p <= 1/2 and n·p >= 10.
std::int64_t binomial_by_rejection(std::int64_t n, double p, WordStream& words) {
  const double q = 1 - p;
  const auto trials = static_cast<double>(n);
  const double npq = trials * p * q;
  const double spq = std::sqrt(npq);
  const double b = 1.15 + 2.53 * spq;
  const double a = -0.0873 + 0.0248 * b + 0.01 * p;
  const double c = trials * p + 0.5;
  const double alpha = (2.83 + 5.1 / b) * spq;
  const double v_r = 0.92 - 4.2 / b;
  const double u_r_v_r = 0.86 * v_r;
  const double ratio = p / q;
  const double scaled = (trials + 1) * ratio;
  const auto m = static_cast<std::int64_t>(std::floor((trials + 1) * p));
  const auto mode = static_cast<double>(m);
  for (;;) {
    double v = words.uniform();
    double u;
    if (v <= u_r_v_r) {  // step 1: inside the box, accepted at once
      u = v / v_r - 0.43;
      return static_cast<std::int64_t>(std::floor((2 * a / (0.5 - std::fabs(u)) + b) * u + c));
    }
    if (v >= v_r) {  // step 2
      u = words.uniform() - 0.5;
    } else {
      u = v / v_r - 0.93;
      u = std::copysign(0.5, u) - u;
      v = words.uniform() * v_r;
    }
    const double us = 0.5 - std::fabs(u);  // step 3.0
    const double kd = std::floor((2 * a / us + b) * u + c);
    if (kd < 0 || kd > trials) continue;
    const auto k = static_cast<std::int64_t>(kd);
    v = v * alpha / (a / (us * us) + b);
    const std::int64_t km = k > m ? k - m : m - k;
    if (km <= 15) {  // step 3.1: f(k)/f(m) by recursion
      double f = 1;
      if (m < k) {
        for (std::int64_t i = m + 1; i <= k; ++i)
          f *= scaled / static_cast<double>(i) - ratio;
      } else if (m > k) {
        for (std::int64_t i = k + 1; i <= m; ++i)
          v *= scaled / static_cast<double>(i) - ratio;
      }
      if (v <= f) return k;
      continue;
    }
    const auto kmd = static_cast<double>(km);  // step 3.2: squeeze
    v = std::log(v);
    const double rho = (kmd / npq) * (((kmd / 3 + 0.625) * kmd + 1.0 / 6) / npq + 0.5);
    const double t = -kmd * kmd / (2 * npq);
    if (v < t - rho) return k;
    if (v > t + rho) continue;
    const double nm = trials - mode + 1;  // steps 3.3 and 3.4: the final test
    const double h = (mode + 0.5) * std::log((mode + 1) / (ratio * nm)) + stirling_correction(m) +
                     stirling_correction(n - m);
    const double nk = trials - kd + 1;
    if (v <= h + (trials + 1) * std::log(nm / nk) + (kd + 0.5) * std::log(nk * ratio / (kd + 1)) -
                 stirling_correction(k) - stirling_correction(n - k)) {
      return k;
    }
  }
}

}  // namespace

std::int64_t binomial_variate(std::int64_t n, double p, WordStream& words) {
  if (n <= 0 || p <= 0) return 0;
  if (p >= 1) return n;
  // Both methods want the rarer outcome; the count of the other is what is left.
  if (p > 0.5) return n - binomial_variate(n, 1 - p, words);
  if (static_cast<double>(n) * p < 10) return binomial_by_inversion(n, p, words);
  return binomial_by_rejection(n, p, words);
}

}  // namespace famgen
