#include "graphfile/output/graph_file.hpp"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "generators/families.hpp"
#include "graphfile/layouts/decimal.hpp"
#include "graphfile/layouts/family_source.hpp"
#include "graphfile/output/destinations.hpp"
#include "tests/graph_reader.hpp"

using namespace famgen;

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

// Rising runs that cross every length of a 64-bit number, the way a line position's numbers
// rise, and jumps between blocks of 10^4 in both directions, the way a hypercube's do: the
// cached writer must give printf's digits throughout, whatever state the last number left.
TEST(Decimal, CachedWriterMatchesPrintfAcrossEveryLength) {
  std::vector<std::uint64_t> values;
  for (int exponent = 1; exponent <= 19; ++exponent) {
    const auto power = static_cast<std::uint64_t>(power_of_ten(exponent - 1)) * 10;
    for (std::uint64_t v = power - 3; v <= power + 3; ++v)
      values.push_back(v);
    values.push_back(power / 10 * 9 + 9999);
    values.push_back(power / 2);
  }
  values.push_back(std::numeric_limits<std::uint64_t>::max());
  values.push_back(std::numeric_limits<std::int64_t>::max());
  std::mt19937_64 random(7);
  for (int i = 0; i < 20000; ++i) {
    const std::uint64_t base = random() >> (random() % 64);
    values.push_back(base);
    values.push_back(base ^ (std::uint64_t{1} << (random() % 20)));
    values.push_back(base + 1);
  }
  decimal::CachedDecimal writer;
  for (const std::uint64_t value : values) {
    char text[32];
    const std::string written(text, writer.write(text, value));
    char expected[32];
    std::snprintf(expected, sizeof expected, "%" PRIu64, value);
    ASSERT_EQ(written, expected);
  }
}

// A family made up for the test: a mix of list lines of any length and fixed lines of two to
// four numbers, with numbers past 2^32, over many buffers' worth of lines.
class MixedLines final : public VirtualFamily {
 public:
  explicit MixedLines(Vertex vertex_count) : vertex_count_(vertex_count) {}
  GraphFacts facts() const {
    return graph_facts(GraphCounts{vertex_count_, 0, 0, 0}, "% mixed\n",
                       CountsLineEnd::kSpaceThenNewline);
  }
  void list_positions(Vertex first, Vertex last, std::int64_t* coordinates) const override {
    PositionList list(coordinates);
    for (Vertex v = first; v <= last; ++v)
      list.write_point(v, -v);
  }
  void write_lines(Vertex first, Vertex last, VirtualLineSink& sink) const override {
    for (Vertex v = first; v <= last; ++v) {
      const Vertex big = v * 1000003;
      switch (v % 5) {
        case 0:
          sink.write_fixed_line(v, big);
          break;
        case 1:
          sink.write_fixed_line(v, big * 99991, big);
          break;
        case 2:
          sink.write_fixed_line(big, v, 1, v + 1);
          break;
        case 3:
          sink.end_vertex_line();
          break;
        default:
          for (Vertex k = 0; k < v % 97; ++k)
            sink.write_neighbour(v + k * 10007);
          sink.end_vertex_line();
      }
    }
  }

 private:
  Vertex vertex_count_;
};

std::string mixed_lines_by_printf(Vertex vertex_count) {
  std::string text = "% mixed\n" + std::to_string(vertex_count) + " 0 \n";
  char line[128];
  for (Vertex v = 1; v <= vertex_count; ++v) {
    const Vertex big = v * 1000003;
    switch (v % 5) {
      case 0:
        std::snprintf(line, sizeof line, "%" PRId64 " %" PRId64 "\n", v, big);
        break;
      case 1:
        std::snprintf(line, sizeof line, "%" PRId64 " %" PRId64 " %" PRId64 "\n", v, big * 99991,
                      big);
        break;
      case 2:
        std::snprintf(line, sizeof line, "%" PRId64 " %" PRId64 " 1 %" PRId64 "\n", big, v, v + 1);
        break;
      case 3:
        std::snprintf(line, sizeof line, "\n");
        break;
      default:
        line[0] = 0;
        for (Vertex k = 0; k < v % 97; ++k)
          text += std::to_string(v + k * 10007) + " ";
        text += "\n";
    }
    text += line;
  }
  return text;
}

// Every block and job boundary falls somewhere inside a number or a line; the single pass and
// every thread count give the bytes printf gives.
TEST(GraphWriter, ManyBlocksMatchPrintfOnAnyThreadCount) {
  constexpr Vertex kVertices = 300000;
  const std::string expected = mixed_lines_by_printf(kVertices);
  ASSERT_GT(expected.size(), std::size_t{8} << 20);
  for (const std::optional<std::int32_t> threads :
       {std::optional<std::int32_t>{}, std::optional<std::int32_t>{1},
        std::optional<std::int32_t>{2}, std::optional<std::int32_t>{5}}) {
    const ScratchFolder folder;
    WriteOptions options{{{folder.path("mixed").string()}}, threads, {}};
    const MixedLines lines(kVertices);
    const Outcome outcome = write_through_calls(lines, lines.facts(), FileDestination(options));
    EXPECT_EQ(outcome.status, 0) << outcome.error;
    EXPECT_EQ(read_file(options.outputs[0].name), expected) << threads.value_or(-1);
  }
}

TEST(GraphFile, ReplacesALongerExistingFile) {
  const ScratchFolder folder;
  const auto path = folder.path("old");
  {
    std::ofstream old(path);
    old << std::string(1000000, 'x');
  }
  ASSERT_EQ(generate_circle(1, write_to(FileDestination(path.string()))).status, 0);
  EXPECT_EQ(read_file(path), "% 1 vertices circle\n1 1\n1 1\n");
}

// Failures: each is reported as status -1 with one line saying what and where.
struct FailureCase {
  std::string name;
  std::int32_t circle_size;  // how much to write
  std::string expected_error_start;
};

void PrintTo(const FailureCase& c, std::ostream* out) {
  *out << c.name.substr(0, 40) << " circle " << c.circle_size;
}

class GraphFileFailureTest : public testing::TestWithParam<FailureCase> {};

TEST_P(GraphFileFailureTest, ReportsTheFirstFailure) {
  const FailureCase& c = GetParam();
  const Outcome outcome = generate_circle(c.circle_size, write_to(FileDestination(c.name)));
  EXPECT_EQ(outcome.status, -1);
  EXPECT_EQ(outcome.error.rfind(c.expected_error_start, 0), 0u) << outcome.error;
  EXPECT_EQ(outcome.error.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Files, GraphFileFailureTest,
    testing::ValuesIn(std::vector<FailureCase>{
        FailureCase{"", 10,
                    "famgen: no output file (give -out FILE, or -out - for standard output)"},
        FailureCase{"/nonexistent-folder/g", 10, "famgen: cannot open '/nonexistent-folder/g'"},
        FailureCase{"/tmp", 10, "famgen: cannot open '/tmp': Is a directory"},
        FailureCase{std::string(5000, 'n'), 10, "famgen: cannot open 'nnnn"},
        // /dev/full below, at and above one block: the heading, the first block, a later one.
        FailureCase{"/dev/full", 1, "famgen: cannot write '/dev/full': No space"},
        FailureCase{"/dev/full", 20000, "famgen: cannot write '/dev/full': No space"},
        FailureCase{"/dev/full", 300000, "famgen: cannot write '/dev/full': No space"}}));

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
