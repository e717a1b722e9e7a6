// The program run as a process, as a user runs it: what reaches standard output and standard
// error, the exit status and the files, for arguments right and wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/graph_reader.hpp"

using namespace famgen;

namespace {

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
  *out << joined_arguments(c.arguments);
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

// Weights that the graph cannot have, that its readers could not add up, or that the layout
// cannot hold: one line, status 1, nothing written.
ArgumentCase weights_refused(std::vector<std::string> arguments, std::string line) {
  return {std::move(arguments), 1, "", std::move(line), false, false};
}

ArgumentCase weights_taken(std::vector<std::string> arguments) {
  return {std::move(arguments), 0, "", "", false, true};
}

std::vector<std::string> mesh_with(std::string sizes, std::vector<std::string> more) {
  std::vector<std::string> arguments = {"-graphtype",     "mesh", "-size",
                                        std::move(sizes), "-out", "OUT"};
  arguments.insert(arguments.end(), more.begin(), more.end());
  return arguments;
}

const std::string kVertexModels =
    "famgen: -vertex-weights takes one model for each constraint (1 to 8, separated by commas): "
    "uniform:LO-HI, constant:K, degree or bump:PEAK:VERTEX:RADIUS, with whole numbers, not ";
const std::string kEdgeModel =
    "famgen: -edge-weights takes one model: uniform:LO-HI, constant:K, length:SCALE or "
    "axes:W1,W2,..., with whole numbers of at least 1, not ";
const std::string kNoVertexWeights =
    " holds no vertex weights (-format metis, parhip or scotch does)";
const std::string kPastInt32 =
    " on this graph, past the 32-bit integers its readers sum weights in";

INSTANTIATE_TEST_SUITE_P(
    Program, ArgumentTest,
    testing::ValuesIn(std::vector<ArgumentCase>{
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
                   "famgen: unknown option '-s' (did you mean -size, -simple, -stencil or "
                   "-seed?)"),
        refused_as({"-vertex-weight", "degree"},
                   "famgen: unknown option '-vertex-weight' (did you mean -vertex-weights?)"),
        refused_as({"-p", "7"},
                   "famgen: unknown option '-p' (did you mean -permute, -progress or "
                   "-periodic?)"),
        refused_as({"-stencl", "box"}, "famgen: unknown option '-stencl' (did you mean -stencil?)"),
        // Two letters that the name lacks are two edits: still near.
        refused_as({"-fxrmxt", "mtx"}, "famgen: unknown option '-fxrmxt' (did you mean -format?)"),
        // The first slip is the one named.
        refused_as({"-fromat", "mtx", "-permtue", "7", "-fxrmxt"},
                   "famgen: unknown option '-fromat' (did you mean -format?)"),

        // Arguments near no option are skipped in silence, as are the requests beside a graph.
        // Three letters foreign to every name are three edits from each.
        ArgumentCase{circle_with({"-verbose", "-x", "-2", "--", "-", "--verbose", "-fxxmxt"}), 0,
                     "", "", false, true},
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
                     "% 3 vertices circle, relabelled at random with seed 5\n", "", false, false},
        // Weight models as they are written, 1 to 8 vertex models and one edge model.
        weights_refused(circle_with({"-vertex-weights", "uniform:5-1"}),
                        kVertexModels + "'uniform:5-1'"),
        weights_refused(circle_with({"-vertex-weights", "uniform:5"}),
                        kVertexModels + "'uniform:5'"),
        weights_refused(circle_with({"-vertex-weights", "degree,"}), kVertexModels + "'degree,'"),
        weights_refused(circle_with({"-vertex-weights", "degree,,constant:1"}),
                        kVertexModels + "'degree,,constant:1'"),
        weights_refused(circle_with({"-vertex-weights", ""}), kVertexModels + "''"),
        weights_refused(circle_with({"-vertex-weights", "bump:5:0:1"}),
                        kVertexModels + "'bump:5:0:1'"),
        weights_refused(circle_with({"-vertex-weights", "length:2"}), kVertexModels + "'length:2'"),
        weights_refused(circle_with({"-vertex-weights", "constant:99999999999999999999"}),
                        kVertexModels + "'constant:99999999999999999999'"),
        weights_refused(circle_with({"-vertex-weights",
                                     "degree,degree,degree,degree,degree,degree,"
                                     "degree,degree,degree"}),
                        kVertexModels +
                            "'degree,degree,degree,degree,degree,degree,degree,degree,degree'"),
        weights_taken(circle_with({"-vertex-weights",
                                   "degree,degree,degree,degree,degree,degree,"
                                   "degree,constant:0"})),
        weights_refused(circle_with({"-edge-weights", "uniform:0-3"}),
                        kEdgeModel + "'uniform:0-3'"),
        weights_refused(circle_with({"-edge-weights", "constant:0"}), kEdgeModel + "'constant:0'"),
        weights_refused(circle_with({"-edge-weights", "uniform:1-5,"}),
                        kEdgeModel + "'uniform:1-5,'"),
        weights_refused(circle_with({"-edge-weights", "degree"}), kEdgeModel + "'degree'"),
        weights_refused(circle_with({"-edge-weights", "length:0"}), kEdgeModel + "'length:0'"),
        weights_refused(circle_with({"-edge-weights", ""}), kEdgeModel + "''"),
        // The bump's centre and the mesh's axes against the graph.
        weights_refused(circle_with({"-vertex-weights", "bump:5:4:1"}),
                        "famgen: -vertex-weights bump:5:4:1 centres on vertex 4, past the "
                        "graph's 3"),
        weights_taken(circle_with({"-vertex-weights", "bump:5:3:1"})),
        weights_refused(circle_with({"-edge-weights", "axes:1"}),
                        "famgen: -edge-weights axes:1 applies to the mesh alone"),
        weights_refused(mesh_with("3,4", {"-edge-weights", "axes:1,2,3"}),
                        "famgen: -edge-weights axes:1,2,3 gives 3 axis weights for a mesh of 2 "
                        "axes"),
        weights_refused(mesh_with("3,4,2", {"-edge-weights", "axes:1,2"}),
                        "famgen: -edge-weights axes:1,2 gives 2 axis weights for a mesh of 3 "
                        "axes"),
        weights_refused(mesh_with("3,4", {"-edge-weights", "axes:1,0"}), kEdgeModel + "'axes:1,0'"),
        weights_refused(mesh_with("2,2,2,2,2,2,2,2", {"-edge-weights", "axes:1,2,3,4,5,6,7,8,9"}),
                        kEdgeModel + "'axes:1,2,3,4,5,6,7,8,9'"),
        weights_taken(mesh_with("2,2,2,2,2,2,2,2", {"-edge-weights", "axes:1,2,3,4,5,6,7,8"})),
        // Totals: the 3-vertex circle's 3 vertex weights and 6 edge entries must add up within
        // 2^31 - 1, its figures being of 32 bits.
        weights_taken(circle_with({"-vertex-weights", "uniform:1-715827882"})),
        weights_refused(circle_with({"-vertex-weights", "uniform:1-715827883"}),
                        "famgen: -vertex-weights uniform:1-715827883 may add up to 2147483649" +
                            kPastInt32),
        weights_taken(circle_with({"-vertex-weights", "constant:1,uniform:0-715827882"})),
        weights_refused(circle_with({"-vertex-weights", "constant:1,uniform:0-715827883"}),
                        "famgen: -vertex-weights uniform:0-715827883 may add up to 2147483649" +
                            kPastInt32),
        weights_taken(circle_with({"-edge-weights", "constant:357913941"})),
        weights_refused(circle_with({"-edge-weights", "constant:357913942"}),
                        "famgen: -edge-weights constant:357913942 adds up to 2147483652" +
                            kPastInt32),
        // Past 32-bit figures, totals past 64 bits (written to /dev/full, so that a run that is
        // let through ends at once).
        weights_refused({"-graphtype", "hypercube", "-size", "33", "-out", "/dev/full",
                         "-vertex-weights", "uniform:1-4000000000"},
                        "famgen: -vertex-weights uniform:1-4000000000 may add up to ..."),
        weights_refused({"-graphtype", "hypercube", "-size", "33", "-out", "/dev/full",
                         "-edge-weights", "uniform:1-100000000"},
                        "famgen: -edge-weights uniform:1-100000000 may add up to ..."),
        // The drawn lengths of the circle's edges are all about 1: the total is the edge count.
        weights_taken({"-graphtype", "circle", "-size", "150000", "-out", "OUT", "-edge-weights",
                       "length:1"}),
        // Where the bound of the drawing's diagonal, or of the peak on every vertex, passes the
        // limit, the weights' own sum decides: the 3 x 4 mesh's 34 entries, each 1 long.
        weights_taken(mesh_with("2000,2000", {"-edge-weights", "length:1"})),
        weights_refused(mesh_with("3,4", {"-edge-weights", "length:200000000"}),
                        "famgen: -edge-weights length:200000000 adds up to 6800000000" +
                            kPastInt32),
        weights_taken(mesh_with("2000,2000", {"-vertex-weights", "bump:600:1:10"})),
        // A value with a line end or another control character: still a message of one line,
        // the character escaped.
        ArgumentCase{{"-graphtype", "grid", "-size", "3,3", "-out", "OUT", "-format", "me\ntis"},
                     1,
                     "",
                     "famgen: unknown format 'me\\ntis': the formats are metis, parhip, scotch, "
                     "mtx, edgelist and dot",
                     false,
                     false},
        ArgumentCase{{"-graphtype", "mesh", "-size", "3,3", "-out", "OUT", "-stencil", "b\x1b[2Jx"},
                     1,
                     "",
                     "famgen: unknown stencil 'b\\x1b[2Jx': the stencils are star and box",
                     false,
                     false},
        // ParHIP's byte offsets past 64 bits: refused on a pipe as in a file, where no space
        // guard stops them first.
        ArgumentCase{{"-graphtype", "mesh", "-size", "2147483647,1073741823", "-format", "parhip",
                      "-out", "-"},
                     1,
                     "",
                     "famgen: the ParHIP offsets of this graph pass the 64-bit byte positions "
                     "its layout holds",
                     false,
                     false},
        // Weights a layout cannot hold.
        weights_refused(circle_with({"-vertex-weights", "degree", "-format", "mtx"}),
                        "famgen: Matrix Market's matrix" + kNoVertexWeights),
        weights_refused(circle_with({"-vertex-weights", "degree", "-format", "edgelist"}),
                        "famgen: an edge list" + kNoVertexWeights),
        weights_refused(circle_with({"-vertex-weights", "uniform:1-2", "-edge-weights",
                                     "constant:1", "-format", "dot"}),
                        "famgen: a Graphviz drawing" + kNoVertexWeights),
        weights_refused(circle_with({"-vertex-weights", "degree,degree", "-format", "parhip"}),
                        "famgen: ParHIP's binary layout holds one vertex weight a vertex, not 2 "
                        "(give -vertex-weights one model)"),
        weights_refused(circle_with({"-vertex-weights", "degree,constant:1,degree", "-format",
                                     "scotch"}),
                        "famgen: Scotch's graph holds one vertex load a vertex, not 3 (give "
                        "-vertex-weights one model)"),
        weights_taken(circle_with({"-edge-weights", "constant:1", "-format", "mtx"})),
        // The seed of the weights: a whole number of 64 bits.
        weights_refused(circle_with({"-seed", "-1"}),
                        "famgen: -seed takes a whole number " + kSeedRange + ", not '-1'"),
        weights_refused(circle_with({"-seed", "18446744073709551616"}),
                        "famgen: -seed takes a whole number " + kSeedRange +
                            ", not '18446744073709551616'"),
        weights_refused(circle_with({"-seed", "abc", "-vertex-weights", "degree"}),
                        "famgen: -seed takes a whole number " + kSeedRange + ", not 'abc'"),
        weights_refused(circle_with({"-seed", "1.5"}),
                        "famgen: -seed takes a whole number " + kSeedRange + ", not '1.5'"),
        weights_refused(circle_with({"-seed", ""}),
                        "famgen: -seed takes a whole number " + kSeedRange + ", not ''"),
        weights_taken(circle_with({"-seed", "18446744073709551615", "-vertex-weights",
                                   "uniform:0-9"}))}));

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

// The program itself: what reaches standard output and standard error, and the exit status.
struct ProcessCase {
  std::vector<std::string> arguments;
  int exit_status;
  std::string standard_output;
  bool error_expected;
};

void PrintTo(const ProcessCase& c, std::ostream* out) {
  *out << joined_arguments(c.arguments);
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
    testing::ValuesIn(std::vector<ProcessCase>{
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
        // A list with an empty place holds no flag there, whatever the others add up to.
        ProcessCase{
            {"-graphtype", "mesh", "-size", "3,3", "-out", "-", "-periodic", "1,,0"}, 1, "", true},
        ProcessCase{
            {"-graphtype", "mesh", "-size", "3,3", "-out", "-", "-periodic", ",1,0"}, 1, "", true},
        ProcessCase{
            {"-graphtype", "mesh", "-size", "3,3", "-out", "-", "-periodic", "1,0,"}, 1, "", true},
        ProcessCase{
            {"-graphtype", "mesh", "-size", "3,3", "-out", "-", "-periodic", "10"}, 1, "", true},
        ProcessCase{{"-graphtype", "mesh", "-size", "3,3", "-out", "-", "-periodic", " 1 , 0 "},
                    0,
                    "% 3 x 3 mesh, 5-point star stencil, periodic 1,0 (9 vertices)\n9 15\n"
                    "2 4 7 \n1 3 5 8 \n2 6 9 \n1 5 7 \n2 4 6 8 \n3 5 9 \n1 4 8 \n2 5 7 9 \n"
                    "3 6 8 \n",
                    false},
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
                    true}}));

}  // namespace
