// Faults at the program level, for every keyword: each ends with one line on standard error
// and a nonzero status, never a crash and never status 0 on a short or missing file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/graph_reader.hpp"

using namespace famgen;

namespace {

struct KeywordSizes {
  std::string keyword;
  std::string sizes;
};

const std::vector<KeywordSizes> kEveryKeyword = {{"grid", "30,40"},
                                                 {"folded_grid", "30,40"},
                                                 {"partial_grid", "30,40"},
                                                 {"partial_folded_grid", "30,40"},
                                                 {"circle", "3000"},
                                                 {"tree", "12"},
                                                 {"torus", "30,40"},
                                                 {"cylinder", "30,40"},
                                                 {"sierpinski", "6"},
                                                 {"hypercube", "10"},
                                                 {"star", "3000"},
                                                 {"completegraph", "50,4"},
                                                 {"unconnected_completegraph", "50,4"}};

int count_lines(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST(Faults, EveryKeywordReportsAnUnwritableOutput) {
  const ScratchFolder folder;
  const std::vector<std::pair<std::string, std::string>> outputs = {
      {"/dev/full", "No space left on device"},
      {folder.path("missing/g").string(), "No such file or directory"},
      {folder.path("").string(), "Is a directory"},
      {std::string(300, 'n'), "File name too long"},
  };
  for (const KeywordSizes& k : kEveryKeyword) {
    for (const auto& [output, reason] : outputs) {
      SCOPED_TRACE(k.keyword + " -out " + output.substr(0, 40));
      const ProcessResult result =
          run_famgen({"-graphtype", k.keyword, "-size", k.sizes, "-out", output});
      EXPECT_EQ(result.exit_status, 255);
      EXPECT_EQ(result.standard_output, "");
      EXPECT_EQ(count_lines(result.standard_error), 1) << result.standard_error;
      EXPECT_NE(result.standard_error.find(reason), std::string::npos) << result.standard_error;
    }
    // No -out at all: the name stays empty and cannot be opened.
    const ProcessResult unnamed = run_famgen({"-graphtype", k.keyword, "-size", k.sizes});
    EXPECT_EQ(unnamed.exit_status, 255) << k.keyword;
    EXPECT_EQ(count_lines(unnamed.standard_error), 1) << k.keyword;
  }
}

// As root every file is writable, so the run drops to the user nobody when setpriv is there.
TEST(Faults, WithoutWritePermission) {
  const bool as_root = geteuid() == 0;
  if (as_root && std::system("command -v setpriv >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "running as root without setpriv: no refusal can be provoked";
  }
  const std::string prefix = as_root ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  if (as_root &&
      std::system((prefix + FAMGEN_BINARY " -graphtype circle -size 3 -out /dev/null").c_str()) !=
          0) {
    GTEST_SKIP() << "the user nobody cannot run " FAMGEN_BINARY;
  }
  const ScratchFolder folder;
  const auto locked = folder.path("locked");
  std::filesystem::create_directories(locked);
  std::filesystem::permissions(folder.path(""), std::filesystem::perms::owner_all |
                                                    std::filesystem::perms::others_read |
                                                    std::filesystem::perms::others_exec);
  std::filesystem::permissions(
      locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                  std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
  const std::string command = prefix + FAMGEN_BINARY " -graphtype circle -size 5 -out " +
                              (locked / "g").string() + " 2>" + folder.path("err").string();
  const int raw = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 255);
  EXPECT_NE(read_file(folder.path("err")).find("Permission denied"), std::string::npos)
      << read_file(folder.path("err"));
  EXPECT_FALSE(std::filesystem::exists(locked / "g"));
}

// Around one block of the writer: the failure may first show at the close or at a flush.
TEST(Faults, DiskFullAroundTheBlockSize) {
  for (const int n : {10, 15000, 20000, 22000, 25000, 60000}) {
    const ProcessResult result =
        run_famgen({"-graphtype", "circle", "-size", std::to_string(n), "-out", "/dev/full"});
    EXPECT_EQ(result.exit_status, 255) << n;
    EXPECT_EQ(count_lines(result.standard_error), 1) << n;
  }
}

// Sizes whose figures pass 2^31 - 1: the heading lines are exact, read through a pipe that
// closes after them. famgen must then end with a nonzero status, never 0.
TEST(Faults, FiguresPastThirtyTwoBitsAreWrittenExactly) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"-graphtype torus -size 50000,50000",
       "% 50000 x 50000 torus (2500000000 vertices)\n2500000000 5000000000\n"},
      {"-graphtype grid -size 46341,46341",
       "% 46341 x 46341 square grid (2147488281 vertices)\n2147488281 4294883880 \n"},
      {"-graphtype circle -size 2147483647",
       "% 2147483647 vertices circle\n2147483647 2147483647\n2147483647 2\n"},
      {"-graphtype star -size 2147483647", "% 2147483647 vertices circle\n2147483647 4294967292\n"},
      {"-graphtype tree -size 40",
       "% Depth 40 binary tree (1099511627775 vertices)\n1099511627775 1099511627774\n"},
      {"-graphtype hypercube -size 40",
       "% Dimension 40 hyper-cube (1099511627776 vertices)\n1099511627776 21990232555520\n"},
      {"-graphtype unconnected_completegraph -size 100000,100000",
       "% 100000 complete graphs with 100000 vertices (total 10000000000 vertices)\n"
       "10000000000 999990000000000 \n"},
      {"-graphtype cylinder -size 65536,65536",
       "% 65536 x 65536 cylinder (4294967296 vertices)\n4294967296 8589869056\n"},
  };
  const ScratchFolder folder;
  for (const auto& [arguments, heading] : cases) {
    const int lines = count_lines(heading);
    const std::string command = "bash -c '" FAMGEN_BINARY " " + arguments +
                                " -out /dev/stdout | head -n " + std::to_string(lines) + " >" +
                                folder.path("head").string() + "; exit ${PIPESTATUS[0]}'";
    const int raw = std::system(command.c_str());
    EXPECT_NE(raw, 0) << arguments;  // the pipe closed early: the run cannot have succeeded
    EXPECT_EQ(read_file(folder.path("head")), heading) << arguments;
  }
}

// Figures past 2^63 - 1 are refused before any file is touched.
TEST(Faults, FiguresPastSixtyFourBitsAreRefused) {
  const ScratchFolder folder;
  const std::string out = folder.path("g").string();
  for (const auto& [keyword, sizes] : std::vector<std::pair<std::string, std::string>>{
           {"tree", "64"},
           {"tree", "2147483647"},
           {"hypercube", "59"},
           {"sierpinski", "20"},
           {"unconnected_completegraph", "2147483647,2147483647"},
           {"completegraph", "2147483647,2147483647"}}) {
    const ProcessResult result = run_famgen({"-graphtype", keyword, "-size", sizes, "-out", out});
    EXPECT_EQ(result.exit_status, 1) << keyword << " " << sizes;
    EXPECT_EQ(count_lines(result.standard_error), 1) << result.standard_error;
    EXPECT_FALSE(std::filesystem::exists(out)) << keyword;
  }
}

}  // namespace
