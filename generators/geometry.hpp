// Positions on circles, the same to the last digit on every machine. The ring families place
// their vertices with cosines and sines, and a floating-point library (or a compiler that fuses
// a multiply and an add) may round them differently from one machine to the next; here they are
// computed in integer arithmetic alone and rounded to micro-units (6 decimals), so no byte of a
// coordinates file depends on where it was written.
#pragma once

#include <array>
#include <cstdint>

namespace famgen {

// The 128-bit integers of GCC and Clang, which ISO C++ lacks; __extension__ says they are meant.
__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

// The decimals of the positions these helpers make, and a unit in their terms.
inline constexpr int kMicroDecimals = 6;
inline constexpr std::int64_t kMicro = 1000000;

// Fixed-point reals with 62 fractional bits: 1.0 is 2^62.
inline constexpr std::int64_t kOneQ62 = std::int64_t{1} << 62;
inline constexpr std::int64_t kHalfSqrt3Q62 = 3993837246235628775;  // √3 / 2, rounded down

inline std::int64_t q62_product(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>((static_cast<Int128>(a) * b) >> 62);
}

// cos and sin of an angle, as Q62.
struct Rotation {
  std::int64_t cos;
  std::int64_t sin;
};

inline Rotation turned(Rotation r, Rotation by) {
  return {q62_product(r.cos, by.cos) - q62_product(r.sin, by.sin),
          q62_product(r.sin, by.cos) + q62_product(r.cos, by.sin)};
}

// The angles 2π·k/n of n points around a circle, k from 0, to about 10^-17. Points come in
// blocks of 16: the first point of a block is placed directly (the turn k/n taken to 64 bits,
// its first 10 bits picking one of 1024 rotations worked out once, and a short series turning
// the rest), and each point after it is the one before turned by 2π/n. A point's angle is so
// the same whichever point a range of them starts at, and a walk along the ring (RingWalk)
// costs four multiplications a point.
class RingAngles {
 public:
  static constexpr int kTableBits = 10;
  static constexpr std::int64_t kTableSize = 1 << kTableBits;
  using Table = std::array<Rotation, kTableSize>;  // the angles 2π·i/1024
  static constexpr std::int64_t kBlock = 16;

  explicit RingAngles(std::int64_t n);
  Rotation operator()(std::int64_t k) const;
  Rotation placed(std::int64_t k) const;  // directly, for the first point of a block
  Rotation step() const { return step_; }

 private:
  static constexpr std::uint64_t kTwoPiQ61 = 14488038916154245684u;  // 2π, rounded down

  std::uint64_t n_;
  std::uint64_t whole_turns_;  // 2^64 = whole_turns_ · n + rest_
  std::uint64_t rest_;
  std::uint64_t reciprocal_;  // floor((2^64 - 1) / n), for quotients by n without dividing
  const Table* table_;
  Rotation step_;  // 2π/n
};

// The angles of the points first, first + 1, ... of a ring, one next() at a time.
class RingWalk {
 public:
  RingWalk(const RingAngles& angles, std::int64_t first) : angles_(&angles), next_(first) {}
  Rotation next() {
    const std::int64_t into_block = next_ % RingAngles::kBlock;
    if (!started_ || into_block == 0) {
      current_ = angles_->placed(next_ - into_block);
      for (std::int64_t k = 0; k < into_block; ++k)
        current_ = turned(current_, angles_->step());
      started_ = true;
    } else {
      current_ = turned(current_, angles_->step());
    }
    ++next_;
    return current_;
  }

 private:
  const RingAngles* angles_;
  std::int64_t next_;
  Rotation current_{};
  bool started_ = false;
};

inline Rotation RingAngles::operator()(std::int64_t k) const {
  return RingWalk(*this, k).next();
}

inline Rotation RingAngles::placed(std::int64_t k) const {
  // The turn k/n to 64 bits: k · 2^64 / n = k · whole_turns + k · rest / n.
  const auto point = static_cast<std::uint64_t>(k);
  std::uint64_t turn = point * whole_turns_;
  if (n_ < (std::uint64_t{1} << 32)) {
    const std::uint64_t spill = point * rest_;  // below n² < 2^64
    std::uint64_t quotient =
        static_cast<std::uint64_t>((static_cast<UInt128>(spill) * reciprocal_) >> 64);
    while (spill - quotient * n_ >= n_)
      ++quotient;
    turn += quotient;
  } else {
    turn += static_cast<std::uint64_t>(static_cast<UInt128>(point) * rest_ / n_);
  }
  // The table's rotation, then the rest of the turn, δ < 2π/1024: cos δ and sin δ to the δ^6
  // and δ^5 terms, which leave less than 10^-16.
  const Rotation& base = (*table_)[turn >> (64 - kTableBits)];
  const std::uint64_t rest_of_turn = turn & ((std::uint64_t{1} << (64 - kTableBits)) - 1);
  const auto delta =
      static_cast<std::int64_t>((static_cast<UInt128>(rest_of_turn) * kTwoPiQ61) >> 63);
  const std::int64_t delta2 = q62_product(delta, delta);
  const std::int64_t delta4 = q62_product(delta2, delta2);
  const std::int64_t cos = kOneQ62 - (delta2 >> 1) + q62_product(delta4, kOneQ62 / 24) -
                           q62_product(q62_product(delta4, delta2), kOneQ62 / 720);
  const std::int64_t sin = delta - q62_product(q62_product(delta, delta2), kOneQ62 / 6) +
                           q62_product(q62_product(delta, delta4), kOneQ62 / 120);
  return turned(base, {cos, sin});
}

// A length in micro-units with 12 fractional bits, below 2^50 micro-units (a circle of up to
// 2^32 units around); made for a circle whose circumference is a whole number of units, so
// that n points on a circle of circumference n lie about one unit apart.
struct Radius {
  std::int64_t micro_q12;
  static Radius of_micro(std::int64_t micro) { return {micro << 12}; }
};
Radius radius_of_circumference(std::int64_t circumference);

// radius × q62, in micro-units with 74 fractional bits: add such terms, then round once.
inline Int128 scaled(Radius radius, std::int64_t q62) {
  return static_cast<Int128>(radius.micro_q12) * q62;
}

// Such a sum rounded to whole micro-units, halves up.
inline std::int64_t rounded_micro(Int128 micro_q74) {
  return static_cast<std::int64_t>((micro_q74 + (Int128{1} << 73)) >> 74);
}

}  // namespace famgen
