// A pseudo-random numbering of the vertices 1..V chosen by a seed, computed rather than stored:
// O(1) memory whatever V, the same on every machine.
//
// π is a Feistel network on the smallest power-of-two domain of at least V values (at most 2V),
// walked along its cycle until it lands inside 0..V-1 again ("cycle-walking"): a bijection of
// 0..V-1 because every cycle of the domain's bijection that holds a value of 0..V-1 is cut into
// runs that each start and end there. Fewer than two steps are needed on average.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>

class Relabelling {
 public:
  Relabelling(std::int64_t vertex_count, std::int64_t seed) : vertex_count_(vertex_count) {
    const auto largest = static_cast<std::uint64_t>(vertex_count > 1 ? vertex_count - 1 : 1);
    const int bits = std::max(2, static_cast<int>(std::bit_width(largest)));
    right_bits_ = bits / 2;
    left_bits_ = bits - right_bits_;
    std::uint64_t state = static_cast<std::uint64_t>(seed);
    for (std::uint64_t& key : keys_)
      key = split_mix(state);
  }

  std::int64_t vertex_count() const { return vertex_count_; }

  // π(v) and π⁻¹(u) for vertex numbers from 1.
  std::int64_t forward(std::int64_t vertex) const {
    std::uint64_t x = static_cast<std::uint64_t>(vertex - 1);
    do {
      x = encrypt(x);
    } while (x >= static_cast<std::uint64_t>(vertex_count_));
    return static_cast<std::int64_t>(x) + 1;
  }

  std::int64_t backward(std::int64_t vertex) const {
    std::uint64_t x = static_cast<std::uint64_t>(vertex - 1);
    do {
      x = decrypt(x);
    } while (x >= static_cast<std::uint64_t>(vertex_count_));
    return static_cast<std::int64_t>(x) + 1;
  }

 private:
  static constexpr int kRounds = 6;  // even, so the halves end with the widths they began with

  static std::uint64_t split_mix(std::uint64_t& state) {
    std::uint64_t z = state += 0x9e3779b97f4a7c15;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
    z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
    return z ^ (z >> 31);
  }

  // The round function: a keyed 64-bit mix whose every output bit depends on every input bit.
  static std::uint64_t mix(std::uint64_t half, std::uint64_t key) {
    std::uint64_t h = (half ^ key) * 0x9e3779b97f4a7c15;
    h ^= h >> 29;
    h *= 0xbf58476d1ce4e5b9;
    return h ^ (h >> 32);
  }

  static std::uint64_t mask(int bits) { return (std::uint64_t{1} << bits) - 1; }

  // The halves may differ in width by one bit; each round the right half becomes the left and
  // the left, masked by the round function of the right, becomes the right.
  std::uint64_t encrypt(std::uint64_t x) const {
    int left_bits = left_bits_;
    int right_bits = right_bits_;
    std::uint64_t left = x >> right_bits;
    std::uint64_t right = x & mask(right_bits);
    for (int round = 0; round < kRounds; ++round) {
      const std::uint64_t new_right = left ^ (mix(right, keys_[round]) & mask(left_bits));
      left = right;
      right = new_right;
      std::swap(left_bits, right_bits);
    }
    return left << right_bits | right;
  }

  std::uint64_t decrypt(std::uint64_t x) const {
    int left_bits = left_bits_;
    int right_bits = right_bits_;
    std::uint64_t left = x >> right_bits;
    std::uint64_t right = x & mask(right_bits);
    for (int round = kRounds - 1; round >= 0; --round) {
      const std::uint64_t old_left = right ^ (mix(left, keys_[round]) & mask(right_bits));
      right = left;
      left = old_left;
      std::swap(left_bits, right_bits);
    }
    return left << right_bits | right;
  }

  std::int64_t vertex_count_;
  int left_bits_ = 1;
  int right_bits_ = 1;
  std::uint64_t keys_[kRounds] = {};
};
