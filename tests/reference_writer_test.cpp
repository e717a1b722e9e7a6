// Large files against a straightforward reference writer: one snprintf per number, the formulas
// taken as they stand, so that every shortcut of the fast path (four-digit table, block flushes,
// tests hoisted out of inner loops) must give the same bytes over many blocks.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <string>

#include "generators/families.hpp"
#include "graphfile/output/destinations.hpp"
#include "tests/graph_reader.hpp"

using namespace famgen;

namespace {

void append(std::string& text, const char* format, std::int64_t value) {
  char number[64];
  std::snprintf(number, sizeof number, format, value);
  text += number;
}

std::string reference_grid(std::int64_t r, std::int64_t w, bool folded, bool partial) {
  std::string text;
  append(text, "%% %" PRId64, r);
  append(text, " x %" PRId64, w);
  append(text, " square grid (%" PRId64 " vertices)\n", r * w);
  std::int64_t edges = 2 * r * w - r - w + (folded ? 2 : 0);
  if (partial) edges -= (2 * r / 3 - r / 3) * (2 * w / 3 - w / 3);
  append(text, "%" PRId64, r * w);
  append(text, " %" PRId64 " \n", edges);
  for (std::int64_t i = 0; i < r; ++i) {
    for (std::int64_t j = 0; j < w; ++j) {
      const bool band_row = partial && r / 3 < i && i <= 2 * r / 3;
      if (j > 0 && !(band_row && w / 3 < j && j <= 2 * w / 3))
        append(text, "%" PRId64 " ", i * w + j);
      if (j < w - 1 && !(band_row && w / 3 <= j && j < 2 * w / 3)) {
        append(text, "%" PRId64 " ", i * w + j + 2);
      }
      if (i > 0) append(text, "%" PRId64 " ", (i - 1) * w + j + 1);
      if (i < r - 1) append(text, "%" PRId64 " ", (i + 1) * w + j + 1);
      if (folded) {
        if (i == 0 && j == 0) {
          append(text, "%" PRId64 " ", r * w);
        } else if (i == r - 1 && j == 0) {
          append(text, "%" PRId64 " ", w);
        } else if (i == 0 && j == w - 1) {
          append(text, "%" PRId64 " ", (r - 1) * w + 1);
        } else if (i == r - 1 && j == w - 1) {
          append(text, "%" PRId64 " ", 1);
        }
      }
      text += "\n";
    }
  }
  return text;
}

std::string reference_torus(std::int64_t a, std::int64_t b) {
  std::string text;
  append(text, "%% %" PRId64, a);
  append(text, " x %" PRId64, b);
  append(text, " torus (%" PRId64 " vertices)\n", a * b);
  append(text, "%" PRId64, a * b);
  append(text, " %" PRId64 "\n", 2 * a * b);
  for (std::int64_t r = 1; r <= a; ++r) {
    const std::int64_t s = (r - 1) * b;
    for (std::int64_t p = 1; p <= b; ++p) {
      append(text, "%" PRId64, s + (p % b) + 1);
      append(text, " %" PRId64, s + ((p + b - 2) % b) + 1);
      append(text, " %" PRId64, (r % a) * b + p);
      append(text, " %" PRId64 "\n", ((r + a - 2) % a) * b + p);
    }
  }
  return text;
}

// The single pass and three threads, whose jobs end inside rows and rings.
WriteOptions options_for(const std::string& name, bool threaded) {
  WriteOptions options{{{name}}, {}, {}};
  if (threaded) options.threads = 3;
  return options;
}

TEST(ReferenceWriter, GridFamilyOverManyBlocks) {
  for (const auto& [r, w] : std::vector<std::pair<int, int>>{{601, 599}, {2, 90001}, {90001, 2}}) {
    for (int flags = 0; flags < 8; ++flags) {
      const bool folded = (flags & 1) != 0;
      const bool partial = (flags & 2) != 0;
      const bool threaded = (flags & 4) != 0;
      const std::string file = generated_file([&](const std::string& name) {
        return generate_grid(r, w, write_to(FileDestination(options_for(name, threaded))),
                             folded ? 1 : 0, partial ? 1 : 0);
      });
      ASSERT_GT(file.size(), std::size_t{3} << 20);
      EXPECT_TRUE(file == reference_grid(r, w, folded, partial))
          << r << "x" << w << " folded " << folded << " partial " << partial << " threaded "
          << threaded;
    }
  }
}

TEST(ReferenceWriter, TorusOverManyBlocks) {
  for (const auto& [a, b] :
       std::vector<std::pair<int, int>>{{500, 400}, {1, 200001}, {200001, 1}}) {
    for (const bool threaded : {false, true}) {
      const std::string file = generated_file([&](const std::string& name) {
        return generate_torus(a, b, write_to(FileDestination(options_for(name, threaded))));
      });
      ASSERT_GT(file.size(), std::size_t{3} << 20);
      EXPECT_TRUE(file == reference_torus(a, b)) << a << "x" << b << " threaded " << threaded;
    }
  }
}

}  // namespace
