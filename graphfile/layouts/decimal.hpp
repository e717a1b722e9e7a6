// Integer to decimal text, the innermost loop of every generator.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace famgen::decimal {

static_assert(std::endian::native == std::endian::little,
              "the four-digit texts are laid out for little-endian stores");

// Every number below 10^4 as four zero-filled digits, and its length without the zeros.
// Four digits per table load means a number below 10^8 costs one division, two loads and one
// 8-byte store, with no loop and no bit scan (bsr is slow on some x86 processors, and lzcnt
// cannot be assumed). 50 KB, of which a run of rising vertex numbers touches a few lines.
struct FourDigitTable {
  std::array<std::uint32_t, 10000> text;   // first digit in the lowest byte
  std::array<std::uint8_t, 10000> length;  // 0 counts as one digit
};

constexpr FourDigitTable make_four_digit_table() {
  FourDigitTable table{};
  for (std::uint32_t n = 0; n < 10000; ++n) {
    table.text[n] = (0x30 + n / 1000) | (0x30 + n / 100 % 10) << 8 | (0x30 + n / 10 % 10) << 16 |
                    (0x30 + n % 10) << 24;
    table.length[n] = n >= 1000 ? 4 : n >= 100 ? 3 : n >= 10 ? 2 : 1;
  }
  return table;
}

inline constexpr FourDigitTable kFourDigits = make_four_digit_table();

// The eight digits of a value below 10^8, zero-filled, as one word ready to store.
inline std::uint64_t eight_digits(std::uint64_t value) {
  const std::uint64_t high = value / 10000;
  return kFourDigits.text[high] | std::uint64_t{kFourDigits.text[value - high * 10000]} << 32;
}

// Writes a value below 10^8 and returns the end. Stores 8 bytes whatever the length: the
// caller's buffer must have 8 bytes of room at out, and the bytes past the end are garbage.
inline char* write_below_10e8(char* out, std::uint64_t value) {
  const std::uint64_t high = value / 10000;
  const std::uint64_t low = value - high * 10000;
  const int length = high != 0 ? 4 + kFourDigits.length[high] : kFourDigits.length[low];
  // The leading zeros sit in the low bytes; shifting them out leaves the digits first.
  const std::uint64_t text =
      (kFourDigits.text[high] | std::uint64_t{kFourDigits.text[low]} << 32) >> (8 * (8 - length));
  std::memcpy(out, &text, 8);
  return out + length;
}

// Writes value at out and returns the end. Needs 24 bytes of room at out (20 digits at most,
// written in 8-byte stores).
inline char* write_unsigned(char* out, std::uint64_t value) {
  constexpr std::uint64_t k10e8 = 100000000;
  if (value < k10e8) return write_below_10e8(out, value);
  if (value < k10e8 * k10e8) {
    const std::uint64_t high = value / k10e8;
    out = write_below_10e8(out, high);
    const std::uint64_t low = eight_digits(value - high * k10e8);
    std::memcpy(out, &low, 8);
    return out + 8;
  }
  const std::uint64_t top = value / (k10e8 * k10e8);  // at most 1844
  const std::uint64_t rest = value - top * (k10e8 * k10e8);
  const std::uint64_t middle = rest / k10e8;
  out = write_below_10e8(out, top);
  const std::uint64_t words[2] = {eight_digits(middle), eight_digits(rest - middle * k10e8)};
  std::memcpy(out, words, 16);
  return out + 16;
}

// Writes vertex numbers that mostly fall in the same block of 10^4 as the last number written
// through the same instance: the neighbours at one position of consecutive lines (vertex - 1,
// vertex + row length, label XOR 2^b, ...) rise with the line, and a long line lists rising
// numbers. The text of the part above the last four digits is kept, so such a number costs a
// subtraction, a 16-byte copy and one table load; only a number in another block pays for the
// division. Values up to 2^64 - 1 (the kept part has at most 16 digits).
class CachedDecimal {
 public:
  // Needs 24 bytes of room at out; the bytes past the returned end are garbage.
  char* write(char* out, std::uint64_t value) {
    std::uint64_t low = value - block_start_;
    if (low >= 10000) [[unlikely]] {
      enter_block(value);
      low = value - block_start_;
    }
    if (high_length_ == 0) {  // below 10^4: the length varies and the leading zeros go
      const unsigned length = kFourDigits.length[low];
      const std::uint32_t text = kFourDigits.text[low] >> (8 * (4 - length));
      std::memcpy(out, &text, 4);
      return out + length;
    }
    std::memcpy(out, high_text_, 16);
    out += high_length_;
    std::memcpy(out, &kFourDigits.text[low], 4);
    return out + 4;
  }

 private:
  void enter_block(std::uint64_t value) {
    const std::uint64_t high = value / 10000;
    block_start_ = high * 10000;
    char text[24] = {};
    high_length_ = high == 0 ? 0 : static_cast<unsigned>(write_unsigned(text, high) - text);
    std::memcpy(high_text_, text, 16);
  }

  std::uint64_t block_start_ = 0;  // a multiple of 10^4; starts on the block of 0..9999
  unsigned high_length_ = 0;       // digits of block_start_ / 10^4, 0 for the first block
  char high_text_[16] = {};
};

// Writes any number, keeping nothing: for numbers in no order (relabelled vertices), where a kept
// block would seldom serve the next number and refilling it costs more than writing afresh.
class PlainDecimal {
 public:
  char* write(char* out, std::uint64_t value) { return write_unsigned(out, value); }
};

// As "%d" writes it: a minus sign before a negative value, no plus sign, no padding.
inline char* write_signed(char* out, std::int64_t value) {
  std::uint64_t magnitude = static_cast<std::uint64_t>(value);
  if (value < 0) {
    *out++ = '-';
    magnitude = 0 - magnitude;  // well defined for INT64_MIN too, unlike -value
  }
  return write_unsigned(out, magnitude);
}

}  // namespace famgen::decimal
