// Reads a written graph file back, and checks what every graph file must satisfy.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "graphfile/graph.hpp"

namespace famgen {

struct ReadGraph {
  bool has_heading = true;   // false for "completegraph", whose file is vertex lines alone
  std::string comment_line;  // without its line end
  std::int64_t vertex_count = 0;
  std::int64_t edge_figure = 0;
  // The counts line's third and fourth numbers: METIS's fmt as written (0 when absent; 1 edge
  // weights, 10 vertex weights, 11 both) and ncon, the vertex weights on each line (0 without
  // vertex weights, 1 when fmt says they are there and no fourth number follows).
  int fmt = 0;
  int ncon = 0;
  bool counts_line_trailing_space = false;
  // adjacency[k - 1] lists the neighbours of vertex k as written, in order.
  std::vector<std::vector<std::int64_t>> adjacency;
  // vertex_weights[k - 1]: vertex k's ncon weights; edge_weights[k - 1][j]: the weight after
  // the neighbour adjacency[k - 1][j]. Each is empty when fmt says the file has none.
  std::vector<std::vector<std::int64_t>> vertex_weights;
  std::vector<std::vector<std::int64_t>> edge_weights;
  // Faults of form found while reading (a number that is not "%d", a double space, a missing
  // line end); empty for a well-formed file.
  std::vector<std::string> format_faults;
};

std::string read_file(const std::filesystem::path& path);

// Parses text in the graph file layout. has_heading false reads vertex lines only.
ReadGraph parse_graph(const std::string& text, bool has_heading = true);

// Every entry lies in 1..V, the lines number V, each edge u-v stands as often on u's line as
// on v's, and (when check_edge_figure) the edge figure is half the number of entries, times
// edge_figure_factor (2 for the doubled figure of the unconnected complete graphs). In a
// weighted file each edge also carries the same weight on both of its lines, edge weights are
// at least 1 and vertex weights at least 0. Returns the faults found, empty when none.
std::vector<std::string> check_graph(const ReadGraph& graph, bool check_edge_figure = true,
                                     std::int64_t edge_figure_factor = 1);

// Whether any line names its own vertex, or names a neighbour twice.
bool has_self_loop(const ReadGraph& graph);
bool has_repeated_neighbour(const ReadGraph& graph);

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  std::filesystem::path path(const std::string& name) const { return root_ / name; }

 private:
  std::filesystem::path root_;
};

struct ProcessResult {
  int exit_status = -1;
  std::string standard_output;
  std::string standard_error;
};

// Runs the famgen binary with the arguments (after the program name) through the shell,
// with standard output and standard error captured.
ProcessResult run_famgen(const std::vector<std::string>& arguments);

// Arguments on one line, each cut to 40 bytes: a test case's name in gtest's output.
std::string joined_arguments(const std::vector<std::string>& arguments);

// Expected vertex lines written compactly: "2 4 / 1 3 5 / " gives "2 4 \n1 3 5 \n\n" as list
// lines (each number followed by a space; an empty entry is an empty line) or, with
// fixed_vertex_lines, "2 4\n1 3 5\n".
std::string list_vertex_lines(const std::string& slash_separated);
std::string fixed_vertex_lines(const std::string& slash_separated);

// Runs a generator into a scratch file and returns its bytes; the generator must succeed.
template <typename Generate>
std::string generated_file(Generate generate) {
  const ScratchFolder folder;
  const auto path = folder.path("graph");
  const auto outcome = generate(path.string());
  if (outcome.status != 0 || !outcome.error.empty()) return "generator failed: " + outcome.error;
  return read_file(path);
}

// A destination that hands the generator's source to a function instead of writing a file, so
// that a test can format any job of any family.
class SourceProbe final : public GraphDestination {
 public:
  explicit SourceProbe(std::function<void(const GraphSource&)> look) : look_(std::move(look)) {}
  Outcome write(const GraphSource& source) const override {
    look_(source);
    return {};
  }

 private:
  std::function<void(const GraphSource&)> look_;
};

using Adjacency = std::vector<std::vector<std::int64_t>>;  // [k - 1]: vertex k's neighbours

// Readers of the other layouts, written from their descriptions alone. Each returns the
// adjacency numbered from 1 and collects what it finds wrong in faults.
// In each, vertex_weights[k - 1] is vertex k's weight and edge_weights[k - 1][j] the weight of
// the entry adjacency[k - 1][j]; each is empty when the file carries none.
struct ParhipGraph {
  std::uint64_t version = 0;
  std::uint64_t vertex_count = 0;
  std::uint64_t entry_count = 0;
  std::vector<std::uint64_t> offsets;  // as stored: byte positions in the file
  Adjacency adjacency;
  std::vector<std::int64_t> vertex_weights;
  Adjacency edge_weights;
  std::vector<std::string> faults;
};
// The version word's bits say which weights follow the entries: bit 0 set, no edge weights;
// bit 1 set, no vertex weights; every other bit (narrower words) must be clear.
ParhipGraph read_parhip(const std::string& bytes);

struct ScotchGraph {
  std::int64_t vertex_count = 0;
  std::int64_t arc_count = 0;
  std::string flags;  // the third line's three digits: labels, edge loads, vertex loads
  Adjacency adjacency;
  std::vector<std::int64_t> vertex_weights;  // the vertex loads
  Adjacency edge_weights;                    // the edge loads
  std::vector<std::string> faults;
};
ScotchGraph read_scotch(const std::string& text);

// Matrix Market (comment_mark "%", numbered from 1) and edge list ("#", numbered from 0): the
// heading's figures and the edge lines, each as the pair it holds, numbered from 1, with the
// third number of each line as its weight when the lines have one (all of them or none).
struct EdgeLines {
  std::vector<std::string> comments;
  std::vector<std::int64_t> figures;  // the first line that is not a comment
  std::vector<std::pair<std::int64_t, std::int64_t>> edges;
  std::vector<std::int64_t> weights;  // weights[j] of edges[j]; empty for lines of two numbers
  std::vector<std::string> faults;
};
EdgeLines read_edge_lines(const std::string& text, char comment_mark, std::int64_t base);

// A file of positions, one line per vertex: "x y[ z]" (labelled: "label x y[ z]", the labels
// 1, 2, ... in order), each coordinate "%d" for decimals 0, else with that many decimals.
struct Points {
  std::vector<std::vector<double>> points;  // [k - 1]: vertex k's coordinates
  std::vector<std::string> faults;
};
Points read_points(const std::string& text, int dimension, int decimals, bool labelled);

}  // namespace famgen
