#include "cli/command_line.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "graphfile/layouts/family_source.hpp"
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

std::string joined(const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::string& argument : arguments) {
    if (!text.empty()) text += ' ';
    text.append(argument, 0, 40);
  }
  return text;
}

void PrintTo(const ParseCase& c, std::ostream* out) {
  *out << joined(c.arguments);
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
    testing::Values(
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
        ParseCase{{"-graphtype"}, GRAPH_NONE, 0, 0, ""}));

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
    testing::Values(
        RefusalCase{"grid", "3 x4", kGrid}, RefusalCase{"grid", "3", kGrid},
        RefusalCase{"grid", "0,4", kGrid}, RefusalCase{"folded_grid", "4,0", kGrid},
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
        RefusalCase{"mesh", ",,", kMesh}, RefusalCase{"mesh", "4,0,4", kMesh},
        RefusalCase{"mesh", "3,-1", kMesh}, RefusalCase{"mesh", "1,1,1,1,1,1,1,1,1", kMesh}));

TEST(DispatchGraph, MessageLengthsAreTheDocumentedStatuses) {
  const std::vector<std::pair<std::string, int>> expected = {
      {"grid", 56},       {"circle", 44},    {"tree", 38}, {"torus", 57},        {"cylinder", 60},
      {"sierpinski", 44}, {"hypercube", 46}, {"star", 44}, {"completegraph", 27}};
  for (const auto& [type, status] : expected) {
    EXPECT_EQ(dispatch_graph(parse({"-graphtype", type, "-size", "-9,-9"})).status, status) << type;
  }
}

// What a user types, right or wrong, as the program takes it: the exit status, what reaches
// standard output (its start) and standard error (its first line, and whether the usage text
// follows), and whether the file is written. OUT stands for a file in a scratch folder.
struct ArgumentCase {
  std::vector<std::string> arguments;
  int status;
  std::string output_start;  // "" for nothing at all
  std::string error_line;    // "" for none: nothing at all, or the usage text alone
  bool usage_follows;
  bool file_written;
};

void PrintTo(const ArgumentCase& c, std::ostream* out) {
  *out << joined(c.arguments);
}

class ArgumentTest : public testing::TestWithParam<ArgumentCase> {};

const std::string kUsageStart = "famgen " FAMGEN_VERSION " writes one undirected graph";

TEST_P(ArgumentTest, StatusStreamsAndFile) {
  const ArgumentCase& c = GetParam();
  const ScratchFolder folder;
  const std::string out = folder.path("out").string();
  std::vector<std::string> arguments = c.arguments;
  for (std::string& argument : arguments) {
    if (argument == "OUT") argument = out;
  }
  const ProcessResult result = run_famgen(arguments);
  EXPECT_EQ(result.exit_status, c.status);
  if (c.output_start.empty()) {
    EXPECT_EQ(result.standard_output, "");
  } else {
    EXPECT_EQ(result.standard_output.substr(0, c.output_start.size()), c.output_start);
  }
  // The first line of standard error: error_line, or its start where it ends with "...".
  std::string rest = result.standard_error;
  if (!c.error_line.empty()) {
    const std::size_t end = rest.find('\n');
    ASSERT_NE(end, std::string::npos) << rest;
    const std::string line = rest.substr(0, end);
    rest.erase(0, end + 1);
    const bool start_only = c.error_line.ends_with("...");
    EXPECT_EQ(start_only ? line.substr(0, c.error_line.size() - 3) : line,
              start_only ? c.error_line.substr(0, c.error_line.size() - 3) : c.error_line);
  }
  if (!c.usage_follows) {
    EXPECT_EQ(rest, "");
  } else {
    EXPECT_EQ(rest.rfind(kUsageStart, 0), 0u) << rest;
    for (const char* needed :
         {"usage: famgen -graphtype", "unconnected_completegraph N,C", "-permute SEED", "-simple",
          "-progress", "exit status", "man famgen"}) {
      EXPECT_NE(rest.find(needed), std::string::npos) << needed;
    }
  }
  EXPECT_EQ(std::filesystem::exists(out), c.file_written);
}

const std::vector<std::string> kCircle = {"-graphtype", "circle", "-size", "3", "-out", "OUT"};
const std::string kCircleFile = "% 3 vertices circle\n3 3\n3 2\n1 3\n2 1\n";

std::vector<std::string> circle_with(std::vector<std::string> more) {
  std::vector<std::string> arguments = kCircle;
  arguments.insert(arguments.end(), more.begin(), more.end());
  return arguments;
}

std::vector<std::string> to_standard_output(std::vector<std::string> more) {
  std::vector<std::string> arguments = {"-graphtype", "circle", "-size", "3", "-out", "-"};
  arguments.insert(arguments.end(), more.begin(), more.end());
  return arguments;
}

ArgumentCase refused_as(std::vector<std::string> slip, std::string line) {
  return {circle_with(std::move(slip)), 2, "", std::move(line), false, false};
}

ArgumentCase no_graph_type(std::vector<std::string> arguments, std::string line) {
  return {std::move(arguments), 2, "", std::move(line), true, false};
}

const std::string kSeedRange = "from 0 to 18446744073709551615";

INSTANTIATE_TEST_SUITE_P(
    Program, ArgumentTest,
    testing::Values(
        // Near misses of famgen's own options: refused before anything is written.
        refused_as({"-fromat", "parhip"},
                   "famgen: unknown option '-fromat' (did you mean -format?)"),
        refused_as({"-permtue", "7"}, "famgen: unknown option '-permtue' (did you mean -permute?)"),
        refused_as({"-thread", "2"}, "famgen: unknown option '-thread' (did you mean -threads?)"),
        refused_as({"-coords", "c.xyz"},
                   "famgen: unknown option '-coords' (did you mean -coordinates?)"),
        refused_as({"-perm", "7"}, "famgen: unknown option '-perm' (did you mean -permute?)"),
        refused_as({"-simpel"}, "famgen: unknown option '-simpel' (did you mean -simple?)"),
        refused_as({"-progess"}, "famgen: unknown option '-progess' (did you mean -progress?)"),
        refused_as({"-Format", "mtx"}, "famgen: unknown option '-Format' (did you mean -format?)"),
        refused_as({"--fromat", "parhip"},
                   "famgen: unknown option '--fromat' (did you mean -format?)"),
        refused_as({"-s"},
                   "famgen: unknown option '-s' (did you mean -size, -simple or -stencil?)"),
        refused_as({"-p", "7"},
                   "famgen: unknown option '-p' (did you mean -permute, -progress or "
                   "-periodic?)"),
        refused_as({"-stencl", "box"}, "famgen: unknown option '-stencl' (did you mean -stencil?)"),

        // Arguments near no option are skipped in silence, as are the requests beside a graph.
        ArgumentCase{circle_with({"-verbose", "-x", "-2", "--", "-", "--verbose"}), 0, "", "",
                     false, true},
        ArgumentCase{to_standard_output({"-h", "--help", "-V"}), 0, kCircleFile, "", false, false},
        // Slips in the three options of old fail as they always did: the size message, the
        // run without a name.
        ArgumentCase{{"-graphtype", "circle", "-siz", "3", "-out", "OUT"},
                     44,
                     "Circle perimeter is not available. Exiting.\n",
                     "",
                     false,
                     false},
        ArgumentCase{{"-graphtype", "circle", "-size", "3", "-ou", "OUT"},
                     255,
                     "",
                     "famgen: no output file (give -out FILE, or -out - for standard output)",
                     false,
                     false},
        // --NAME for each of famgen's own options.
        ArgumentCase{to_standard_output({"--permute", "7"}), 0,
                     "% 3 vertices circle, relabelled at random with seed 7\n3 3\n", "", false,
                     false},
        ArgumentCase{to_standard_output({"--format", "mtx"}), 0,
                     "%%MatrixMarket matrix coordinate pattern symmetric\n% 3 vertices circle\n",
                     "", false, false},
        ArgumentCase{to_standard_output({"--threads", "2", "--coordinates", "OUT"}), 0, kCircleFile,
                     "", false, true},
        ArgumentCase{{"-graphtype", "circle", "-size", "2", "-out", "-", "--simple"},
                     0,
                     "% 2 vertices circle, simple graph\n2 1\n2\n1\n",
                     "",
                     false,
                     false},
        ArgumentCase{circle_with({"--progress"}), 0, "",
                     "famgen: 3 vertices, 3 edges, 36 bytes in ...", false, true},
        // Help and version, without a graph type.
        ArgumentCase{{"-h"}, 0, kUsageStart, "", false, false},
        ArgumentCase{{"-help"}, 0, kUsageStart, "", false, false},
        ArgumentCase{{"--help", "-size", "3", "-out", "OUT"}, 0, kUsageStart, "", false, false},
        ArgumentCase{{"-V"}, 0, "famgen " FAMGEN_VERSION "\n", "", false, false},
        ArgumentCase{{"-version"}, 0, "famgen " FAMGEN_VERSION "\n", "", false, false},
        ArgumentCase{{"--version"}, 0, "famgen " FAMGEN_VERSION "\n", "", false, false},
        // No graph type: what was not recognised, then the usage text.
        no_graph_type({}, ""),
        no_graph_type({"-graphtype", "gird", "-size", "3,3", "-out", "OUT"},
                      "famgen: unknown graph type 'gird' (did you mean grid?)"),
        no_graph_type({"-graphtype", "Grid", "-size", "3,4", "-out", "OUT"},
                      "famgen: unknown graph type 'Grid' (did you mean grid?)"),
        no_graph_type({"-graphtype", "c", "-size", "3", "-out", "OUT"},
                      "famgen: unknown graph type 'c' (did you mean circle, cylinder or "
                      "completegraph?)"),
        no_graph_type({"-graphtype", "blob", "-size", "3", "-out", "OUT"},
                      "famgen: unknown graph type 'blob'"),
        no_graph_type({"-graphtyp", "grid", "-size", "3,3", "-out", "OUT"},
                      "famgen: unknown option '-graphtyp' (did you mean -graphtype?)"),
        no_graph_type({"--graphtype", "grid", "-size", "3,3", "-out", "OUT"},
                      "famgen: unknown option '--graphtype' (did you mean -graphtype?)"),
        no_graph_type({"-graphtype=circle", "-size", "3", "-out", "OUT"},
                      "famgen: unknown graph type '-size'"),
        no_graph_type({"-size", "3", "-out", "OUT", "-format", "parhip", "-threads", "2"},
                      "famgen: no graph type (give -graphtype KEYWORD)"),
        // A layout and a seed are named in full, or refused.
        ArgumentCase{circle_with({"-format", ""}), 1, "",
                     "famgen: unknown format '': the formats are metis, parhip, scotch, mtx, "
                     "edgelist and dot",
                     false, false},
        ArgumentCase{to_standard_output({"-permute", "18446744073709551615"}), 0,
                     "% 3 vertices circle, relabelled at random with seed 18446744073709551615\n",
                     "", false, false},
        ArgumentCase{circle_with({"-permute", "18446744073709551616"}), 1, "",
                     "famgen: -permute takes a seed " + kSeedRange + ", not '18446744073709551616'",
                     false, false},
        ArgumentCase{circle_with({"-permute", "abc"}), 1, "",
                     "famgen: -permute takes a seed " + kSeedRange + ", not 'abc'", false, false},
        ArgumentCase{circle_with({"-permute", "-1"}), 1, "",
                     "famgen: -permute takes a seed " + kSeedRange + ", not '-1'", false, false},
        ArgumentCase{circle_with({"-permute", "7x"}), 1, "",
                     "famgen: -permute takes a seed " + kSeedRange + ", not '7x'", false, false},
        ArgumentCase{circle_with({"-permute", ""}), 1, "",
                     "famgen: -permute takes a seed " + kSeedRange + ", not ''", false, false},
        ArgumentCase{to_standard_output({"-permute", "abc", "-permute", "5"}), 0,
                     "% 3 vertices circle, relabelled at random with seed 5\n", "", false, false}));

// Seeds past 2^31 each choose their own numbering: none saturates into another.
TEST(Seeds, EveryWordOfTheSeedCounts) {
  std::vector<std::string> files;
  for (const char* seed :
       {"2147483647", "2147483648", "4294967296", "9223372036854775808", "18446744073709551615"}) {
    const ProcessResult result =
        run_famgen({"-graphtype", "grid", "-size", "8,8", "-permute", seed, "-out", "-"});
    ASSERT_EQ(result.exit_status, 0) << result.standard_error;
    const std::size_t heading_end = result.standard_output.find('\n');
    files.push_back(result.standard_output.substr(heading_end));
    for (std::size_t earlier = 0; earlier + 1 < files.size(); ++earlier)
      EXPECT_NE(files[earlier], files.back()) << seed;
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

// The program itself: what reaches standard output and standard error, and the exit status.
struct ProcessCase {
  std::vector<std::string> arguments;
  int exit_status;
  std::string standard_output;
  bool error_expected;
};

void PrintTo(const ProcessCase& c, std::ostream* out) {
  *out << joined(c.arguments);
}

class ProcessTest : public testing::TestWithParam<ProcessCase> {};

TEST_P(ProcessTest, PrintsAndExitsAsDocumented) {
  const ProcessCase& c = GetParam();
  const ProcessResult result = run_famgen(c.arguments);
  EXPECT_EQ(result.exit_status, c.exit_status);
  EXPECT_EQ(result.standard_output, c.standard_output);
  if (c.error_expected) {
    EXPECT_EQ(std::count(result.standard_error.begin(), result.standard_error.end(), '\n'), 1)
        << result.standard_error;
  } else {
    EXPECT_EQ(result.standard_error, "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Program, ProcessTest,
    testing::Values(
        // Unknown arguments beside a recognised keyword are still skipped silently.
        ProcessCase{{"--help", "-graphtype", "circle", "-size", "3", "-out", "-", "-verbose"},
                    0,
                    "% 3 vertices circle\n3 3\n3 2\n1 3\n2 1\n",
                    false},
        ProcessCase{{"-graphtype", "circle", "-size", "3", "-out", "/dev/null", "-format", "csv"},
                    1,
                    "",
                    true},
        ProcessCase{{"-graphtype", "grid", "-size", "3", "4", "-out", "/nonexistent/g"},
                    56,
                    "One or more grid dimensions are not available. Exiting.\n",
                    false},
        ProcessCase{{"-graphtype", "star", "-size", "2", "-out", "/nonexistent/s"},
                    44,
                    "Star size must be greatwer than 2. Exiting.\n",
                    false},
        ProcessCase{{"-graphtype", "circle", "-size", "3", "-out", "/dev/stdout"},
                    0,
                    "% 3 vertices circle\n3 3\n3 2\n1 3\n2 1\n",
                    false},
        // -coordinates: the positions beside the graph, Scotch's geometry beside its graph; the
        // two outputs cannot both be standard output.
        ProcessCase{{"-graphtype", "grid", "-size", "2,2", "-out", "/dev/null", "-coordinates",
                     "/dev/stdout"},
                    0,
                    "0 0\n1 0\n0 1\n1 1\n",
                    false},
        ProcessCase{{"-graphtype", "grid", "-size", "2,2", "-out", "/dev/null", "-format", "scotch",
                     "-coordinates", "/dev/stdout"},
                    0,
                    "2\n4\n1 0 0\n2 1 0\n3 0 1\n4 1 1\n",
                    false},
        ProcessCase{{"-graphtype", "circle", "-size", "4", "-out", "/dev/null", "-coordinates",
                     "/dev/stdout"},
                    0,
                    "0.636620 0.000000\n0.000000 0.636620\n-0.636620 0.000000\n"
                    "0.000000 -0.636620\n",
                    false},
        ProcessCase{
            {"-graphtype", "circle", "-size", "3", "-out", "-", "-coordinates", "-"}, 1, "", true},
        // The file cannot be opened or written: one line on standard error, status 255.
        ProcessCase{
            {"-graphtype", "circle", "-size", "3", "-out", "/nonexistent/c"}, 255, "", true},
        ProcessCase{{"-graphtype", "circle", "-size", "3"}, 255, "", true},
        ProcessCase{{"-graphtype", "circle", "-size", "3", "-out", "/dev/full"}, 255, "", true},
        ProcessCase{
            {"-graphtype", "circle", "-size", "200000", "-out", "/dev/full"}, 255, "", true},
        // The mesh: its sizes, stencil and periodic axes on the comment line, neighbours
        // ascending; values its options do not take, a -periodic list of another length, the
        // options on another family, figures past 64 bits and drawings of four axes are refused
        // before anything is written.
        ProcessCase{{"-graphtype", "mesh", "-size", "2 3", "-out", "-", "-stencil", "box"},
                    0,
                    "% 2 x 3 mesh, 9-point box stencil, periodic 0,0 (6 vertices)\n6 11\n"
                    "2 4 5 \n1 3 4 5 6 \n2 5 6 \n1 2 5 \n1 2 3 4 6 \n2 3 5 \n",
                    false},
        ProcessCase{{"-graphtype", "mesh", "-size", "4", "-out", "-", "-periodic", "all"},
                    0,
                    "% 4 mesh, 3-point star stencil, periodic 1 (4 vertices)\n4 4\n"
                    "2 4 \n1 3 \n2 4 \n1 3 \n",
                    false},
        ProcessCase{{"-graphtype", "mesh", "-size", "2,1,2", "-out", "/dev/null", "-format",
                     "scotch", "-coordinates", "/dev/stdout"},
                    0,
                    "3\n4\n1 0 0 0\n2 1 0 0\n3 0 0 1\n4 1 0 1\n",
                    false},
        ProcessCase{{"-graphtype", "mesh", "-size", "1,1,1,2", "-out", "/dev/null", "-coordinates",
                     "/dev/stdout"},
                    0,
                    "0 0 0 0\n1 0 0 0\n",
                    false},
        ProcessCase{
            {"-graphtype", "mesh", "-size", "3", "-out", "-", "-stencil", "cube"}, 1, "", true},
        ProcessCase{
            {"-graphtype", "mesh", "-size", "3", "-out", "-", "-periodic", "yes"}, 1, "", true},
        ProcessCase{
            {"-graphtype", "mesh", "-size", "3,3", "-out", "-", "-periodic", "1,0,1"}, 1, "", true},
        ProcessCase{
            {"-graphtype", "grid", "-size", "3,3", "-out", "-", "-stencil", "box"}, 1, "", true},
        ProcessCase{
            {"-graphtype", "mesh", "-size", "2147483647,2147483647,3", "-out", "-"}, 1, "", true},
        ProcessCase{
            {"-graphtype", "mesh", "-size", "65536,65536,65536,65536", "-out", "-"}, 1, "", true},
        ProcessCase{
            {"-graphtype", "mesh", "-size", "2,2,2,2", "-out", "/dev/null", "-format", "dot"},
            1,
            "",
            true},
        ProcessCase{{"-graphtype", "mesh", "-size", "2,2,2,2", "-out", "/dev/null", "-format",
                     "scotch", "-coordinates", "/dev/null"},
                    1,
                    "",
                    true}));

}  // namespace

namespace {

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
    testing::Values(
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
        RoutingCase{"completegraph", "3",
                    [](auto& n) {
                      return generate_complete_graphs(3, 0, write_to(FileDestination(n)), true);
                    }},
        RoutingCase{"completegraph", "3,2",
                    [](auto& n) {
                      return generate_complete_graphs(3, 2, write_to(FileDestination(n)), true);
                    }},
        RoutingCase{"unconnected_completegraph", "3,2",
                    [](auto& n) {
                      return generate_complete_graphs(3, 2, write_to(FileDestination(n)), false);
                    }},
        RoutingCase{
            "mesh", "3,4,2", [](auto& n) {
              return generate_mesh({3, 4, 2}, Stencil::kStar, {}, write_to(FileDestination(n)));
            }}));

}  // namespace
