// -progress with standard error on a pipe: a line at each tenth of the run, rising, then the
// summary with the run's own figures; the files are the bytes of the run without it.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "tests/graph_reader.hpp"

using namespace famgen;

namespace {

// famgen's standard error, read through a pipe; its standard output goes nowhere.
std::string error_through_pipe(const std::string& arguments) {
  const std::string command = std::string(FAMGEN_BINARY) + " " + arguments + " 2>&1 >/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {};
  std::string text;
  char block[4096];
  for (std::size_t read; (read = std::fread(block, 1, sizeof block, pipe)) > 0;)
    text.append(block, read);
  pclose(pipe);
  return text;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start) + " (no line end)");
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

struct ProgressCase {
  std::string arguments;  // besides -out and -progress
  bool coordinates;       // -coordinates beside the graph
  std::string vertices;
  std::string edges;
};

TEST(Progress, ATenthAtATimeThenTheSummary) {
  for (const ProgressCase& c :
       {ProgressCase{"-graphtype grid -size 1000,1000", false, "1000000", "1998000"},
        ProgressCase{"-graphtype grid -size 1000,1000 -format parhip -threads 2", false, "1000000",
                     "1998000"},
        ProgressCase{"-graphtype torus -size 700,700 -format scotch", true, "490000", "980000"}}) {
    SCOPED_TRACE(c.arguments);
    const ScratchFolder folder;
    const std::string graph = folder.path("graph").string();
    const std::string points = folder.path("points").string();
    const std::string outputs =
        " -out " + graph + (c.coordinates ? " -coordinates " + points : std::string());
    const std::vector<std::string> lines =
        lines_of(error_through_pipe(c.arguments + outputs + " -progress"));
    const std::string graph_bytes = read_file(graph);
    const std::string point_bytes = c.coordinates ? read_file(points) : "";
    ASSERT_GT(graph_bytes.size(), std::size_t{10} << 20);  // several jobs a tenth

    ASSERT_EQ(lines.size(), 10u) << testing::PrintToString(lines);
    const std::regex progress(R"(famgen: (\d+) %, [0-9.]+ [kMG]?B written, [0-9.]+ GB/s, )"
                              R"(\d+( s| min \d\d s| h \d\d min) left)");
    for (std::size_t k = 0; k + 1 < lines.size(); ++k) {
      std::smatch match;
      ASSERT_TRUE(std::regex_match(lines[k], match, progress)) << lines[k];
      EXPECT_EQ(std::stoi(match[1]) / 10, static_cast<int>(k) + 1) << lines[k];
    }
    const std::regex summary(R"(famgen: (\d+) vertices, (\d+) edges, (\d+) bytes in [0-9.]+ s, )"
                             R"([0-9.]+ GB/s)");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines.back(), match, summary)) << lines.back();
    EXPECT_EQ(match[1], c.vertices);
    EXPECT_EQ(match[2], c.edges);
    EXPECT_EQ(match[3], std::to_string(graph_bytes.size() + point_bytes.size()));

    // The same bytes without -progress.
    EXPECT_EQ(error_through_pipe(c.arguments + outputs), "");
    EXPECT_TRUE(read_file(graph) == graph_bytes);
    if (c.coordinates) {
      EXPECT_TRUE(read_file(points) == point_bytes);
    }
  }
}

}  // namespace
