#include "cli/command_line.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "graphfile/output/destinations.hpp"
#include "tests/graph_reader.hpp"

using namespace famgen;

namespace {

Settings parse(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "famgen");
  std::vector<const char*> argv;
  for (const std::string& argument : arguments)
    argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  Settings settings;
  EXPECT_EQ(parse_command_line(static_cast<int>(arguments.size()), argv.data(), settings), 1);
  return settings;
}

struct ParseCase {
  std::vector<std::string> arguments;
  GraphType type;
  std::int32_t first_size;
  std::int32_t second_size;
  std::string output_name;
};

void PrintTo(const ParseCase& c, std::ostream* out) {
  *out << joined_arguments(c.arguments);
}

class ParseTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, FillsSettings) {
  const ParseCase& c = GetParam();
  const Settings settings = parse(c.arguments);
  EXPECT_EQ(settings.graph_type, c.type);
  EXPECT_EQ(settings.first_size, c.first_size);
  EXPECT_EQ(settings.second_size, c.second_size);
  EXPECT_EQ(settings.output_name, c.output_name);
}

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

INSTANTIATE_TEST_SUITE_P(
    Arguments, ParseTest,
    testing::ValuesIn(std::vector<ParseCase>{
        ParseCase{{}, GRAPH_NONE, 0, 0, ""},
        ParseCase{{"-graphtype", "torus", "-size", "3,4", "-out", "t"}, GRAPH_TORUS, 3, 4, "t"},
        // Prefix matches, over the option's and the keyword's own length.
        ParseCase{
            {"-graphtype", "gridfoo", "-sizes", "3,4", "-output", "g"}, GRAPH_GRID, 3, 4, "g"},
        ParseCase{{"-graphtype=grid", "circle", "-size", "3"}, GRAPH_CIRCLE, 3, 0, ""},
        ParseCase{{"-graphtype", "circles"}, GRAPH_CIRCLE, 0, 0, ""},
        ParseCase{{"-graphtype", "Grid"}, GRAPH_NONE, 0, 0, ""},
        ParseCase{{"-graphtype", "gri"}, GRAPH_NONE, 0, 0, ""},
        ParseCase{{"-graphtype", "partial_folded_grid"}, GRAPH_PARTIAL_FOLDED_GRID, 0, 0, ""},
        ParseCase{{"-graphtype", "completegraph"}, GRAPH_COMPLETEGRAPH, 0, 0, ""},
        ParseCase{
            {"-graphtype", "unconnected_completegraph"}, GRAPH_UNCONNECTED_COMPLETEGRAPH, 0, 0, ""},
        ParseCase{{"-graphtype", "hypercube"}, GRAPH_HYPERCUBE, 0, 0, ""},
        // A value that matches nothing keeps the earlier type.
        ParseCase{{"-graphtype", "circle", "-graphtype", "bogus"}, GRAPH_CIRCLE, 0, 0, ""},
        // Values are consumed whatever they hold and never read as options.
        ParseCase{{"-graphtype", "-size", "4", "circle", "-out", "c"}, GRAPH_NONE, 0, 0, "c"},
        ParseCase{{"-out", "-graphtype"}, GRAPH_NONE, 0, 0, "-graphtype"},
        // Sizes: both in one argument; delimiters " ,\t\n" in any run.
        ParseCase{{"-size", "3", "4"}, GRAPH_NONE, 3, 0, ""},
        ParseCase{{"-size", "3 4"}, GRAPH_NONE, 3, 4, ""},
        ParseCase{{"-size", ",5"}, GRAPH_NONE, 5, 0, ""},
        ParseCase{{"-size", " ,\t3,,\n4, "}, GRAPH_NONE, 3, 4, ""},
        ParseCase{{"-size", "3,4,5"}, GRAPH_NONE, 3, 4, ""},
        ParseCase{{"-size", ",,"}, GRAPH_NONE, 0, 0, ""},
        ParseCase{{"-size", "4x,3.9"}, GRAPH_NONE, 4, 3, ""},
        ParseCase{{"-size", "x4,-2"}, GRAPH_NONE, 0, -2, ""},
        ParseCase{{"-size", "+7,\v\r-8"}, GRAPH_NONE, 7, -8, ""},
        ParseCase{{"-size", "--3,+-4"}, GRAPH_NONE, 0, 0, ""},
        // Later occurrences overwrite only what they set.
        ParseCase{{"-size", "3,4", "-size", "5", "-graphtype", "torus", "-out", "a", "-out", "b"},
                  GRAPH_TORUS,
                  5,
                  4,
                  "b"},
        ParseCase{{"-out", "a", "-out", " \t "}, GRAPH_NONE, 0, 0, "a"},
        // The name is the value's first word, of any length.
        ParseCase{{"-out", "  my graph.txt"}, GRAPH_NONE, 0, 0, "my"},
        ParseCase{{"-out", std::string(300, 'n')}, GRAPH_NONE, 0, 0, std::string(300, 'n')},
        // Saturation at the 32-bit limits.
        ParseCase{{"-size", "2147483647,-2147483648"}, GRAPH_NONE, kMax, kMin, ""},
        ParseCase{{"-size", "2147483648,-2147483649"}, GRAPH_NONE, kMax, kMin, ""},
        ParseCase{{"-size", "99999999999999999999999,-99999999999999999999999"},
                  GRAPH_NONE,
                  kMax,
                  kMin,
                  ""},
        // An option that is the last argument has no value and is ignored.
        ParseCase{{"-graphtype", "circle", "-size", "4", "-out"}, GRAPH_CIRCLE, 4, 0, ""},
        ParseCase{{"-out", "c", "-size"}, GRAPH_NONE, 0, 0, "c"},
        ParseCase{{"-graphtype"}, GRAPH_NONE, 0, 0, ""}}));

TEST(ParseCommandLine, ExaminesElementZeroLikeAnyOther) {
  const char* argv[] = {"-graphtype", "star", "-size", "5", nullptr};
  Settings settings;
  parse_command_line(4, argv, settings);
  EXPECT_EQ(settings.graph_type, GRAPH_STAR);
  EXPECT_EQ(settings.first_size, 5);
}

// A failed check prints its message, whose length is the status, and touches no file.
struct RefusalCase {
  std::string type;
  std::string sizes;
  std::string message;
};

void PrintTo(const RefusalCase& c, std::ostream* out) {
  *out << c.type << " " << c.sizes;
}

class SizeCheckTest : public testing::TestWithParam<RefusalCase> {};

TEST_P(SizeCheckTest, PrintsMessageAndTouchesNoFile) {
  const RefusalCase& c = GetParam();
  const ScratchFolder folder;
  const std::string out = folder.path("g").string();
  const Outcome outcome =
      dispatch_graph(parse({"-graphtype", c.type, "-size", c.sizes, "-out", out}));
  EXPECT_EQ(outcome.message, c.message);
  EXPECT_EQ(outcome.status, static_cast<int>(c.message.size()));
  EXPECT_TRUE(outcome.error.empty());
  EXPECT_FALSE(std::filesystem::exists(out));
}

const std::string kGrid = "One or more grid dimensions are not available. Exiting.\n";
const std::string kComplete = "setting is error. Exiting.\n";
const std::string kMesh = "Mesh needs 1 to 8 sizes, each at least 1. Exiting.\n";

INSTANTIATE_TEST_SUITE_P(
    Families, SizeCheckTest,
    testing::ValuesIn(std::vector<RefusalCase>{
        RefusalCase{"grid", "3 x4", kGrid},
        RefusalCase{"grid", "3", kGrid},
        RefusalCase{"grid", "0,4", kGrid},
        RefusalCase{"folded_grid", "4,0", kGrid},
        RefusalCase{"partial_grid", "-1,4", kGrid},
        RefusalCase{"partial_folded_grid", "4,-1", kGrid},
        RefusalCase{"circle", "abc", "Circle perimeter is not available. Exiting.\n"},
        RefusalCase{"circle", "-5", "Circle perimeter is not available. Exiting.\n"},
        RefusalCase{"tree", "0", "Tree depth is not available. Exiting.\n"},
        RefusalCase{"torus", ",5", "One or more torus dimensions are not available. Exiting.\n"},
        RefusalCase{"cylinder", "5",
                    "One or more cylinder dimensions are not available. Exiting.\n"},
        RefusalCase{"sierpinski", "0", "Sierpinski depth is not available. Exiting.\n"},
        RefusalCase{"hypercube", "1", "Hyper-cube dimension is not correct. Exiting.\n"},
        RefusalCase{"star", "2", "Star size must be greatwer than 2. Exiting.\n"},
        RefusalCase{"completegraph", "0,5", kComplete},
        RefusalCase{"unconnected_completegraph", "3", kComplete},
        RefusalCase{"unconnected_completegraph", "0,3", kComplete},
        RefusalCase{"mesh", ",,", kMesh},
        RefusalCase{"mesh", "4,0,4", kMesh},
        RefusalCase{"mesh", "3,-1", kMesh},
        RefusalCase{"mesh", "1,1,1,1,1,1,1,1,1", kMesh}}));

TEST(DispatchGraph, MessageLengthsAreTheDocumentedStatuses) {
  const std::vector<std::pair<std::string, int>> expected = {
      {"grid", 56},       {"circle", 44},    {"tree", 38}, {"torus", 57},        {"cylinder", 60},
      {"sierpinski", 44}, {"hypercube", 46}, {"star", 44}, {"completegraph", 27}};
  for (const auto& [type, status] : expected) {
    EXPECT_EQ(dispatch_graph(parse({"-graphtype", type, "-size", "-9,-9"})).status, status) << type;
  }
}

TEST(DispatchGraph, FailedCheckLeavesAnExistingFileUntouched) {
  const ScratchFolder folder;
  const auto out = folder.path("keep");
  {
    std::ofstream existing(out);
    existing << "old contents\n";
  }
  const Outcome outcome = dispatch_graph(parse({"-graphtype", "star", "-size", "2", "-out", out}));
  EXPECT_EQ(outcome.status, 44);
  EXPECT_EQ(read_file(out), "old contents\n");
}

TEST(DispatchGraph, RepeatedOptionsActInTurn) {
  const ScratchFolder folder;
  const std::string last = folder.path("b").string();
  const Outcome outcome =
      dispatch_graph(parse({"-graphtype", "circle", "-graphtype", "bogus", "-size", "9", "-size",
                            "3", "-out", folder.path("a").string(), "-out", last}));
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(read_file(last), "% 3 vertices circle\n3 3\n3 2\n1 3\n2 1\n");
  EXPECT_FALSE(std::filesystem::exists(folder.path("a")));
}

// Each keyword reaches its own generator with the sizes and flags of the dispatch table: the
// file dispatch writes equals the one the generator writes when called directly.
struct RoutingCase {
  std::string type;
  std::string sizes;
  std::function<Outcome(const std::string&)> generate;
};

void PrintTo(const RoutingCase& c, std::ostream* out) {
  *out << c.type << " " << c.sizes;
}

class RoutingTest : public testing::TestWithParam<RoutingCase> {};

TEST_P(RoutingTest, KeywordCallsItsGenerator) {
  const RoutingCase& c = GetParam();
  const std::string via_dispatch = generated_file([&](const std::string& name) {
    return dispatch_graph(parse({"-graphtype", c.type, "-size", c.sizes, "-out", name}));
  });
  EXPECT_EQ(via_dispatch, generated_file(c.generate));
  EXPECT_EQ(via_dispatch.rfind("generator failed", 0), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Keywords, RoutingTest,
    testing::ValuesIn(std::vector<RoutingCase>{
        RoutingCase{
            "grid", "4,5",
            [](auto& n) { return generate_grid(4, 5, write_to(FileDestination(n)), 0, 0); }},
        RoutingCase{
            "folded_grid", "4,5",
            [](auto& n) { return generate_grid(4, 5, write_to(FileDestination(n)), 1, 0); }},
        RoutingCase{
            "partial_grid", "6,5",
            [](auto& n) { return generate_grid(6, 5, write_to(FileDestination(n)), 0, 1); }},
        RoutingCase{
            "partial_folded_grid", "6,5",
            [](auto& n) { return generate_grid(6, 5, write_to(FileDestination(n)), 1, 1); }},
        RoutingCase{"circle", "5,7",
                    [](auto& n) { return generate_circle(5, write_to(FileDestination(n))); }},
        RoutingCase{"tree", "4",
                    [](auto& n) { return generate_binary_tree(4, write_to(FileDestination(n))); }},
        RoutingCase{"torus", "3,4",
                    [](auto& n) { return generate_torus(3, 4, write_to(FileDestination(n))); }},
        RoutingCase{"cylinder", "3,4",
                    [](auto& n) { return generate_cylinder(3, 4, write_to(FileDestination(n))); }},
        RoutingCase{"hypercube", "3",
                    [](auto& n) { return generate_hypercube(3, write_to(FileDestination(n))); }},
        RoutingCase{"star", "5,7",
                    [](auto& n) { return generate_star(5, write_to(FileDestination(n))); }},
        RoutingCase{"sierpinski", "2",
                    [](auto& n) { return generate_sierpinski(2, write_to(FileDestination(n))); }},
        RoutingCase{
            "completegraph", "3",
            [](auto&
                   n) { return generate_complete_graphs(3, 0, write_to(FileDestination(n)), true); }},
        RoutingCase{
            "completegraph", "3,2",
            [](auto&
                   n) { return generate_complete_graphs(3, 2, write_to(FileDestination(n)), true); }},
        RoutingCase{
            "unconnected_completegraph", "3,2",
            [](auto&
                   n) { return generate_complete_graphs(3, 2, write_to(FileDestination(n)), false); }},
        RoutingCase{
            "mesh",
            "3,4,2", [](auto& n) {
              return generate_mesh({3, 4, 2}, Stencil::kStar, {}, write_to(FileDestination(n)));
            }}}));

}  // namespace
