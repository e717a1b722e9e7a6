#include "graphfile/graph_file.hpp"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "graphfile/decimal.hpp"
#include "tests/graph_reader.hpp"

namespace {

std::string printf_decimal(std::int64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%" PRId64, value);
  return text;
}

std::int64_t power_of_ten(int exponent) {
  std::int64_t power = 1;
  while (exponent-- > 0)
    power *= 10;
  return power;
}

std::string fast_decimal(std::int64_t value) {
  char text[32];
  return std::string(text, decimal::write_signed(text, value));
}

TEST(Decimal, MatchesPrintfAroundEveryPowerOfTen) {
  std::vector<std::int64_t> values = {
      0, std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::min(),
      std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min()};
  for (int exponent = 0; exponent <= 18; ++exponent) {
    const auto power = static_cast<std::int64_t>(power_of_ten(exponent));
    for (const std::int64_t near : {power - 1, power, power + 1, 2 * power - 1, 5 * power}) {
      values.push_back(near);
      values.push_back(-near);
    }
  }
  for (std::int64_t v = 0; v < 100000; v += 7)
    values.push_back(v);
  for (const std::int64_t value : values) {
    EXPECT_EQ(fast_decimal(value), printf_decimal(value)) << value;
  }
}

// Writes lines through GraphFile and, alongside, the bytes that printf-style templates would
// give, across several blocks, so that every flush boundary falls somewhere inside a number.
TEST(GraphFile, ManyBlocksMatchAStraightforwardWriter) {
  const ScratchFolder folder;
  const auto path = folder.path("blocks");
  std::string expected;
  GraphFile file = open_graph_file(path.string());
  write_comment_line(file, "%% %d x %d of %d%%\n", {-3, 1234567890123, 0});
  expected += "% -3 x 1234567890123 of 0%\n";
  write_counts_line(file, 5000000000, -7, CountsLineEnd::kSpaceThenNewline);
  expected += "5000000000 -7 \n";
  char line[128];
  for (std::int64_t v = 1; v < 400000; ++v) {
    const std::int64_t big = v * 1000003;
    switch (v % 5) {
      case 0:
        write_fixed_line(file, v, big);
        std::snprintf(line, sizeof line, "%" PRId64 " %" PRId64 "\n", v, big);
        break;
      case 1:
        write_fixed_line(file, v, -v, big);
        std::snprintf(line, sizeof line, "%" PRId64 " %" PRId64 " %" PRId64 "\n", v, -v, big);
        break;
      case 2:
        write_fixed_line(file, big, v, 1, v + 1);
        std::snprintf(line, sizeof line, "%" PRId64 " %" PRId64 " 1 %" PRId64 "\n", big, v, v + 1);
        break;
      case 3:
        end_vertex_line(file);
        std::snprintf(line, sizeof line, "\n");
        break;
      default:
        write_neighbour(file, v);
        write_neighbour(file, big);
        end_vertex_line(file);
        std::snprintf(line, sizeof line, "%" PRId64 " %" PRId64 " \n", v, big);
    }
    expected += line;
  }
  ASSERT_GT(expected.size(), 4 * kBlockSize);
  EXPECT_EQ(close_graph_file(file), 0);
  EXPECT_TRUE(file.error.empty());
  EXPECT_EQ(read_file(path), expected);
}

TEST(GraphFile, CountsLineTemplates) {
  const ScratchFolder folder;
  const auto path = folder.path("counts");
  GraphFile file = open_graph_file(path.string());
  write_counts_line(file, 6, 12, CountsLineEnd::kSpaceThenNewline);
  write_counts_line(file, 6, 12, CountsLineEnd::kNewline);
  ASSERT_EQ(close_graph_file(file), 0);
  EXPECT_EQ(read_file(path), "6 12 \n6 12\n");
}

TEST(GraphFile, TruncatesALongerExistingFile) {
  const ScratchFolder folder;
  const auto path = folder.path("old");
  {
    std::ofstream old(path);
    old << std::string(1000000, 'x');
  }
  GraphFile file = open_graph_file(path.string());
  write_fixed_line(file, 1, 2);
  ASSERT_EQ(close_graph_file(file), 0);
  EXPECT_EQ(read_file(path), "1 2\n");
}

// Failures: each is reported as a close status of -1 with one line saying what and where.
struct FailureCase {
  std::string name;
  std::size_t bytes;  // how much to write
  std::string expected_error_start;
};

void PrintTo(const FailureCase& c, std::ostream* out) {
  *out << c.name.substr(0, 40) << " " << c.bytes << " bytes";
}

class GraphFileFailureTest : public testing::TestWithParam<FailureCase> {};

TEST_P(GraphFileFailureTest, ReportsTheFirstFailure) {
  const FailureCase& c = GetParam();
  GraphFile file = open_graph_file(c.name);
  for (std::size_t written = 0; written < c.bytes; ++written)
    end_vertex_line(file);
  EXPECT_EQ(close_graph_file(file), -1);
  EXPECT_EQ(file.error.rfind(c.expected_error_start, 0), 0u) << file.error;
  EXPECT_EQ(file.error.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Files, GraphFileFailureTest,
    testing::Values(
        FailureCase{"", 10, "famgen: cannot open '': No such file or directory"},
        FailureCase{"/nonexistent-folder/g", 10, "famgen: cannot open '/nonexistent-folder/g'"},
        FailureCase{"/tmp", 10, "famgen: cannot open '/tmp': Is a directory"},
        FailureCase{std::string(5000, 'n'), 10, "famgen: cannot open 'nnnn"},
        // /dev/full below, at and above one block: the close, the first flush, a later flush.
        FailureCase{"/dev/full", kBlockSize - 2, "famgen: cannot write '/dev/full': No space"},
        FailureCase{"/dev/full", kBlockSize, "famgen: cannot write '/dev/full': No space"},
        FailureCase{"/dev/full", 3 * kBlockSize + 2,
                    "famgen: cannot write '/dev/full': No space"}));

TEST(GraphFile, WritesToAPipeAsItIs) {
  // /dev/stdout of a child with a pipe: the file is opened as named, never replaced.
  FILE* pipe = popen("exec " FAMGEN_BINARY
                     " -graphtype circle -size 100000 -out /dev/stdout | head -c 100 | wc -c",
                     "r");
  ASSERT_NE(pipe, nullptr);
  char text[64] = {};
  ASSERT_NE(std::fgets(text, sizeof text, pipe), nullptr);
  pclose(pipe);
  EXPECT_EQ(std::stoi(text), 100);
}

}  // namespace
