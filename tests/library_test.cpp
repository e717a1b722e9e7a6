// The library's arrays are the METIS file: every small graph, plain, relabelled and simple, in
// 32-bit and 64-bit indices, whole and in ranges, on one thread and several, equals the file
// that the command line's path writes of it, and its coordinates the coordinates file. It
// refuses what the command line refuses, in its own words (no option names, no "Exiting.");
// indices too narrow and arrays too large are refused before anything is filled. The C
// interface hands over the same arrays; write() the same files.
#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <tuple>

#include "famgen/famgen.h"
#include "famgen/famgen.hpp"
#include "graphfile/output/destinations.hpp"
#include "tests/family_sweep.hpp"
#include "tests/graph_reader.hpp"

using namespace famgen;

namespace {

Graph graph_of(const KeywordSizes& named, RelabelSeed seed) {
  Graph graph{named.keyword, {}, {}, {}, {}};
  std::string_view rest = named.sizes;
  while (!rest.empty()) {
    const std::size_t comma = std::min(rest.find(','), rest.size());
    graph.sizes.push_back(std::stoll(std::string(rest.substr(0, comma))));
    rest.remove_prefix(std::min(comma + 1, rest.size()));
  }
  for (std::size_t k = 0; k < named.options.size(); ++k) {
    if (named.options[k] == "-simple") {
      graph.simple = true;
    } else if (named.options[k] == "-radius") {
      graph.radius = named.options[++k];
    } else if (named.options[k] == "-seed") {
      graph.seed = std::stoull(named.options[++k]);
    } else {
      std::string& value = named.options[k] == "-stencil" ? graph.stencil : graph.periodic;
      value = named.options[++k];
    }
  }
  if (seed) graph.permute = static_cast<std::uint64_t>(*seed);
  return graph;
}

// The METIS and coordinates files of a graph, flat as the arrays are: line k's entries (from 0)
// at entries[offsets[k] .. offsets[k + 1]), vertex k's position at points[k × dimension ...].
struct Files {
  std::vector<std::int64_t> offsets = {0};
  std::vector<std::int64_t> entries;
  std::vector<double> points;
};

// The files as the command line's path writes them, read back.
Files files_of(const KeywordSizes& named, RelabelSeed seed) {
  Files files;
  with_source(named, [&](const GraphSource& source) {
    const GraphFacts& facts = source.facts();
    const ReadGraph read = parse_graph(whole_file(source, Format::kMetis, seed), facts.has_heading);
    for (const std::vector<std::int64_t>& line : read.adjacency) {
      for (const std::int64_t neighbour : line)
        files.entries.push_back(neighbour - 1);
      files.offsets.push_back(static_cast<std::int64_t>(files.entries.size()));
    }
    const Points points = read_points(whole_file(source, Format::kCoordinates, seed),
                                      facts.dimension, facts.decimals, false);
    EXPECT_TRUE(points.faults.empty()) << named.name();
    for (const std::vector<double>& point : points.points)
      files.points.insert(files.points.end(), point.begin(), point.end());
  });
  return files;
}

template <class Index>
void expect_the_file(const KeywordSizes& named, RelabelSeed seed, const Files& files,
                     std::mt19937_64& random) {
  const Graph graph = graph_of(named, seed);
  const auto vertex_count = static_cast<std::int64_t>(files.offsets.size()) - 1;
  // The whole graph on one thread and on several, ranges that hold nothing, and random ranges.
  std::vector<std::pair<VertexRange, int>> runs = {{{0, vertex_count}, 1},
                                                   {{0, vertex_count}, 3},
                                                   {{0, 0}, 3},
                                                   {{vertex_count, vertex_count}, 1}};
  for (int trial = 0; trial < 2 && vertex_count > 0; ++trial) {
    const auto a = static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(vertex_count));
    const auto b =
        static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(vertex_count + 1));
    runs.push_back({{std::min(a, b), std::max(a, b)}, 3});
  }
  for (const auto& [range, threads] : runs) {
    SCOPED_TRACE(named.name() + (seed ? " relabelled" : "") + " " +
                 std::to_string(sizeof(Index) * 8) + "-bit [" + std::to_string(range.first) + ", " +
                 std::to_string(range.last) + ") on " + std::to_string(threads));
    Result<Csr<Index>> csr = famgen::csr<Index>(graph, {range, threads, true});
    ASSERT_TRUE(csr) << csr.error().message;
    EXPECT_EQ(csr->vertex_count, vertex_count);
    const std::int64_t start = files.offsets[static_cast<std::size_t>(range.first)];
    std::vector<std::int64_t> offsets;
    for (std::int64_t v = range.first; v <= range.last; ++v)
      offsets.push_back(files.offsets[static_cast<std::size_t>(v)] - start);
    EXPECT_EQ(std::vector<std::int64_t>(csr->xadj.begin(), csr->xadj.end()), offsets);
    EXPECT_EQ(std::vector<std::int64_t>(csr->adjncy.begin(), csr->adjncy.end()),
              std::vector<std::int64_t>(files.entries.begin() + start,
                                        files.entries.begin() + start + offsets.back()));
    const auto dimension = static_cast<std::int64_t>(csr->dimension);
    EXPECT_EQ(std::vector<double>(csr->coordinates.begin(), csr->coordinates.end()),
              std::vector<double>(files.points.begin() + range.first * dimension,
                                  files.points.begin() + range.last * dimension));
  }
}

TEST(Library, ArraysAreTheMetisFile) {
  std::mt19937_64 random(21);
  std::vector<KeywordSizes> graphs = small_graphs();
  // Graphs of several jobs each (a job lists about 2^18 entries), which the threads share.
  graphs.push_back({"hypercube", "16"});
  graphs.push_back({"mesh", "30,20,20", {"-stencil", "box", "-periodic", "1,0,1"}});
  graphs.push_back({"completegraph", "700,3"});
  // The simple graphs of large lines, which the arrays look up by sorting a copy.
  graphs.push_back({"completegraph", "40,3", {"-simple"}});
  graphs.push_back({"unconnected_completegraph", "30,2", {"-simple"}});
  for (const KeywordSizes& named : graphs) {
    for (const RelabelSeed seed : {RelabelSeed{}, RelabelSeed{5}}) {
      const Files files = files_of(named, seed);
      expect_the_file<std::int32_t>(named, seed, files, random);
      expect_the_file<std::int64_t>(named, seed, files, random);
    }
  }
}

TEST(Library, CoordinatesAloneAreThoseOfTheArrays) {
  const Graph torus{"torus", {7, 5}, {}, {}, 9};
  const Result<Coordinates> alone = coordinates(torus, {VertexRange{3, 30}, 2, false});
  const Result<Csr<std::int32_t>> arrays = csr<std::int32_t>(torus, {VertexRange{3, 30}, 2, true});
  ASSERT_TRUE(alone && arrays);
  EXPECT_EQ(alone->dimension, 3);
  EXPECT_EQ(std::vector<double>(alone->values.begin(), alone->values.end()),
            std::vector<double>(arrays->coordinates.begin(), arrays->coordinates.end()));
}

struct FailureCase {
  Graph graph;
  CsrOptions options;
  bool wide;
  ErrorKind kind;
  std::string message;
  std::vector<std::string> command_line;  // the same request to famgen, which refuses it too
};

// The command line's own words, which a library caller never typed: an option, "Exiting.".
bool speaks_the_command_line(const std::string& message) {
  for (std::size_t at = message.find('-'); at != std::string::npos;
       at = message.find('-', at + 1)) {
    const bool starts_a_word = at == 0 || message[at - 1] == ' ' || message[at - 1] == '(';
    if (starts_a_word && at + 1 < message.size() && std::islower(message[at + 1])) return true;
  }
  return message.find("Exiting") != std::string::npos;
}

TEST(Library, FailuresSpeakTheLibrarysWords) {
  const std::vector<FailureCase> cases = {
      {{"toruss", {3, 4}},
       {},
       false,
       ErrorKind::kRefused,
       "famgen: unknown graph type 'toruss': the graph types are grid, folded_grid, "
       "partial_grid, partial_folded_grid, circle, tree, torus, cylinder, sierpinski, "
       "hypercube, star, completegraph, unconnected_completegraph, mesh, rgg2d and rgg3d",
       {}},
      {{"circle", {0}},
       {},
       false,
       ErrorKind::kSizes,
       "famgen: circle takes the size N, at least 1, not 0",
       {"-graphtype", "circle", "-size", "0"}},
      {{"grid", {4}},
       {},
       false,
       ErrorKind::kSizes,
       "famgen: grid takes the sizes R,W, each at least 1, not 4",
       {"-graphtype", "grid", "-size", "4"}},
      {{"torus", {3, 0}},
       {},
       true,
       ErrorKind::kSizes,
       "famgen: torus takes the sizes A,B, each at least 1, not 3,0",
       {"-graphtype", "torus", "-size", "3,0"}},
      {{"star", {2}},
       {},
       false,
       ErrorKind::kSizes,
       "famgen: star takes the size N, at least 3, not 2",
       {"-graphtype", "star", "-size", "2"}},
      {{"hypercube", {1}},
       {},
       false,
       ErrorKind::kSizes,
       "famgen: hypercube takes the size D, at least 2, not 1",
       {"-graphtype", "hypercube", "-size", "1"}},
      {{"completegraph", {0, 3}},
       {},
       false,
       ErrorKind::kSizes,
       "famgen: completegraph takes the sizes N,C, N at least 1, not 0,3",
       {"-graphtype", "completegraph", "-size", "0,3"}},
      {{"mesh", {}},
       {},
       false,
       ErrorKind::kSizes,
       "famgen: mesh takes 1 to 8 sizes (N1,...,Nd), each at least 1, not none",
       {}},
      {{"mesh", {2, 0, 2}},
       {},
       true,
       ErrorKind::kSizes,
       "famgen: mesh takes 1 to 8 sizes (N1,...,Nd), each at least 1, not 2,0,2",
       {"-graphtype", "mesh", "-size", "2,0,2"}},
      {{"mesh", {3, 4}, "hex"},
       {},
       false,
       ErrorKind::kRefused,
       "famgen: unknown stencil 'hex': the stencils are star and box",
       {"-graphtype", "mesh", "-size", "3,4", "-stencil", "hex"}},
      {{"mesh", {3, 4}, "", "1,2"},
       {},
       false,
       ErrorKind::kRefused,
       "famgen: the periodic axes take all, none or a 0 or 1 for each axis (1,0,1), not '1,2'",
       {"-graphtype", "mesh", "-size", "3,4", "-periodic", "1,2"}},
      {{"mesh", {3, 4}, "", "1,0,1"},
       {},
       false,
       ErrorKind::kRefused,
       "famgen: the periodic axes give 3 flags for a mesh of 2 axes",
       {"-graphtype", "mesh", "-size", "3,4", "-periodic", "1,0,1"}},
      {{"grid", {3, 4}, "box"},
       {},
       false,
       ErrorKind::kRefused,
       "famgen: a stencil applies to the mesh alone, periodic axes to the mesh, rgg2d and rgg3d",
       {"-graphtype", "grid", "-size", "3,4", "-stencil", "box"}},
      {{"grid", {3, 4}, {}, {}, {}, "uniform:5-1"},
       {},
       false,
       ErrorKind::kRefused,
       "famgen: the vertex weights take one model for each constraint (1 to 8, separated by "
       "commas): uniform:LO-HI, constant:K, degree or bump:PEAK:VERTEX:RADIUS, with whole "
       "numbers, not 'uniform:5-1'",
       {"-graphtype", "grid", "-size", "3,4", "-vertex-weights", "uniform:5-1"}},
      {{"grid", {3, 4}, {}, {}, {}, {}, "degree"},
       {},
       false,
       ErrorKind::kRefused,
       "famgen: the edge weights take one model: uniform:LO-HI, constant:K, length:SCALE or "
       "axes:W1,W2,..., with whole numbers of at least 1, not 'degree'",
       {"-graphtype", "grid", "-size", "3,4", "-edge-weights", "degree"}},
      {{"grid", {3, 4}, {}, {}, {}, {}, "axes:1,2"},
       {},
       false,
       ErrorKind::kRefused,
       "famgen: the edge weight model axes:1,2 applies to the mesh alone",
       {"-graphtype", "grid", "-size", "3,4", "-edge-weights", "axes:1,2"}},
      {{"mesh", {3, 4, 5}, {}, {}, {}, {}, "axes:1,2"},
       {},
       false,
       ErrorKind::kRefused,
       "famgen: the edge weight model axes:1,2 gives 2 axis weights for a mesh of 3 axes",
       {"-graphtype", "mesh", "-size", "3,4,5", "-edge-weights", "axes:1,2"}},
      {{"grid", {2000, 2000}, {}, {}, {}, "degree,uniform:1-1000"},
       {},
       false,
       ErrorKind::kRefused,
       "famgen: the vertex weight model uniform:1-1000 may add up to 4000000000 on this graph, "
       "past the 32-bit integers its readers sum weights in",
       {"-graphtype", "grid", "-size", "2000,2000", "-vertex-weights", "degree,uniform:1-1000"}},
      {{"hypercube", {70}},
       {},
       true,
       ErrorKind::kRefused,
       "famgen: a hypercube of dimension 70 has figures that do not fit in 64 bits",
       {"-graphtype", "hypercube", "-size", "70"}},
      {{"circle", {3, 4}},
       {},
       false,
       ErrorKind::kRefused,
       "famgen: circle takes 1 size (N), not 2",
       {}},
      {{"grid", {5000000000, 2}},
       {},
       false,
       ErrorKind::kRefused,
       "famgen: size 5000000000 is past the 32-bit range of sizes",
       {}},
      {{"grid", {3, 4}},
       {VertexRange{5, 3}},
       false,
       ErrorKind::kRefused,
       "famgen: the vertices [5, 3) are not a range of the graph's 12 vertices "
       "(0 <= first <= last <= 12)",
       {}},
      {{"grid", {3, 4}},
       {VertexRange{0, 13}},
       true,
       ErrorKind::kRefused,
       "famgen: the vertices [0, 13) are not a range of the graph's 12 vertices "
       "(0 <= first <= last <= 12)",
       {}},
      // Vertex numbers past 2^31 - 1 are refused even for a range whose lines are few.
      {{"hypercube", {32}},
       {VertexRange{0, 10}},
       false,
       ErrorKind::kRefused,
       "famgen: 32-bit indices cannot number the 4294967296 vertices of this graph (at most "
       "2147483647): ask for 64-bit indices",
       {}},
      {{"hypercube", {30}},
       {},
       false,
       ErrorKind::kRefused,
       "famgen: 32-bit indices cannot hold the 32212254720 entries of this graph (at most "
       "2147483647): ask for 64-bit indices",
       {}},
      // A range's entries are known once its lines are counted.
      {{"completegraph", {65536, 2}},
       {VertexRange{0, 40000}},
       false,
       ErrorKind::kRefused,
       "famgen: 32-bit indices cannot hold the 2621400000 entries of these vertices' lines (at "
       "most 2147483647): ask for 64-bit indices",
       {}},
  };
  for (const FailureCase& failure : cases) {
    SCOPED_TRACE(failure.message);
    EXPECT_FALSE(speaks_the_command_line(failure.message));
    const auto check = [&](const auto& result) {
      ASSERT_FALSE(result);
      EXPECT_EQ(result.error().kind, failure.kind);
      EXPECT_EQ(result.error().message, failure.message);
    };
    if (failure.wide) {
      check(csr<std::int64_t>(failure.graph, failure.options));
    } else {
      check(csr<std::int32_t>(failure.graph, failure.options));
    }
    // The sizes are judged before anything is built, by info() too.
    if (failure.kind == ErrorKind::kSizes) check(info(failure.graph));
    if (!failure.command_line.empty()) {
      std::vector<std::string> arguments = failure.command_line;
      arguments.insert(arguments.end(), {"-out", "/dev/null"});
      const ProcessResult run = run_famgen(arguments);
      EXPECT_NE(run.exit_status, 0);
    }
  }
}

// The texts that only writing files can give, in the library's words too.
TEST(Library, WriteFailuresSpeakTheLibrarysWords) {
  const ScratchFolder folder;
  const std::string out = folder.path("graph").string();
  const std::vector<std::tuple<Graph, FileOptions, ErrorKind, std::string>> cases = {
      {{"grid", {3, 4}, {}, {}, {}, "degree"},
       {out, "mtx"},
       ErrorKind::kRefused,
       "famgen: Matrix Market's matrix holds no vertex weights (the formats metis, parhip and "
       "scotch do)"},
      {{"grid", {3, 4}, {}, {}, {}, "degree,degree"},
       {out, "parhip"},
       ErrorKind::kRefused,
       "famgen: ParHIP's binary layout holds one vertex weight a vertex, not 2 (ask for one "
       "vertex weight model)"},
      {{"grid", {3, 4}},
       {""},
       ErrorKind::kFile,
       "famgen: no output file named (a file name, or - for standard output)"},
      {{"circle", {0}},
       {out},
       ErrorKind::kSizes,
       "famgen: circle takes the size N, at least 1, not 0"},
  };
  for (const auto& [graph, options, kind, message] : cases) {
    SCOPED_TRACE(message);
    const std::optional<Error> error = write(graph, options);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, kind);
    EXPECT_EQ(error->message, message);
    EXPECT_FALSE(speaks_the_command_line(error->message));
  }
}

// Arrays beyond the memory available fail before a byte is filled: the whole graph's at once,
// a range's once its lines are counted.
TEST(Library, ArraysBeyondMemoryAreRefused) {
  const std::vector<std::pair<Graph, CsrOptions>> cases = {
      {{"completegraph", {200000, 50}}, {}},
      {{"torus", {2000000000, 2000000000}}, {}},
      {{"completegraph", {2000000, 1000}}, {VertexRange{0, 300000}}},
  };
  for (const auto& [graph, options] : cases) {
    const Result<Csr<std::int64_t>> arrays = csr<std::int64_t>(graph, options);
    ASSERT_FALSE(arrays);
    EXPECT_EQ(arrays.error().kind, ErrorKind::kMemory);
    EXPECT_EQ(arrays.error().message.rfind("famgen: the arrays need ", 0), 0u)
        << arrays.error().message;
  }
}

TEST(Library, TheCInterfaceHandsOverTheSameArrays) {
  const std::int64_t sizes[] = {3, 3, 4};
  const famgen_graph mesh = {"mesh",  sizes,   3, "box", "0,1,1", 1,      11,
                             nullptr, nullptr, 0, 0,     0,       nullptr};
  const famgen_options options = {2, 1, 5, 31, 1};
  famgen_csr32 narrow;
  famgen_csr64 wide;
  ASSERT_EQ(famgen_build_csr32(&mesh, &options, &narrow), FAMGEN_OK);
  ASSERT_EQ(famgen_build_csr64(&mesh, &options, &wide), FAMGEN_OK);
  const Result<Csr<std::int32_t>> same =
      csr<std::int32_t>({"mesh", {3, 3, 4}, "box", "0,1,1", 11}, {VertexRange{5, 31}, 1, true});
  ASSERT_TRUE(same);
  EXPECT_EQ(narrow.nvtxs, 26);
  EXPECT_EQ(wide.vertex_count, 36);
  EXPECT_EQ(std::vector<std::int32_t>(narrow.xadj, narrow.xadj + 27),
            std::vector<std::int32_t>(same->xadj.begin(), same->xadj.end()));
  EXPECT_EQ(std::vector<std::int64_t>(wide.adjncy, wide.adjncy + wide.xadj[26]),
            std::vector<std::int64_t>(same->adjncy.begin(), same->adjncy.end()));
  EXPECT_EQ(std::vector<double>(narrow.coordinates, narrow.coordinates + 26 * 3),
            std::vector<double>(same->coordinates.begin(), same->coordinates.end()));
  famgen_free_csr32(&narrow);
  famgen_free_csr64(&wide);
  EXPECT_EQ(narrow.xadj, nullptr);

  const std::int64_t too_small[] = {2};
  const famgen_graph star = {"star",  too_small, 1, nullptr, nullptr, 0,      0,
                             nullptr, nullptr,   0, 0,       0,       nullptr};
  EXPECT_EQ(famgen_build_csr32(&star, nullptr, &narrow), FAMGEN_SIZES);
  EXPECT_STREQ(famgen_error(), "famgen: star takes the size N, at least 3, not 2");
  EXPECT_EQ(narrow.xadj, nullptr);
  std::int64_t vertex_count = 0;
  std::int64_t entries = 0;
  const famgen_graph grid = {"grid",  sizes + 1, 2, nullptr, nullptr, 0,      0,
                             nullptr, nullptr,   0, 0,       0,       nullptr};
  ASSERT_EQ(famgen_graph_size(&grid, &vertex_count, &entries), FAMGEN_OK);
  EXPECT_EQ(vertex_count, 12);
  EXPECT_EQ(entries, 34);
  // The simple graph: a 2 x 3 torus lists each vertical neighbour twice.
  const std::int64_t torus_sizes[] = {2, 3};
  famgen_graph torus = {"torus", torus_sizes, 2, nullptr, nullptr, 0,      0,
                        nullptr, nullptr,     0, 0,       1,       nullptr};
  ASSERT_EQ(famgen_graph_size(&torus, &vertex_count, &entries), FAMGEN_OK);
  EXPECT_EQ(entries, 18);
  ASSERT_EQ(famgen_build_csr64(&torus, nullptr, &wide), FAMGEN_OK);
  EXPECT_EQ(wide.xadj[6], 18);
  EXPECT_EQ(std::vector<std::int64_t>(wide.adjncy, wide.adjncy + 3),
            (std::vector<std::int64_t>{1, 2, 3}));
  famgen_free_csr64(&wide);
  torus.simple = 0;
  ASSERT_EQ(famgen_graph_size(&torus, &vertex_count, &entries), FAMGEN_OK);
  EXPECT_EQ(entries, 24);
}

// write() is the command line's writing: the same bytes, the same refusals.
TEST(Library, WriteWritesTheCommandLinesFiles) {
  const ScratchFolder folder;
  const std::string ours = folder.path("ours").string();
  const std::string theirs = folder.path("theirs").string();
  struct WriteCase {
    Graph graph;
    std::string format;
    std::vector<std::string> command_line;
  };
  const std::vector<WriteCase> cases = {
      {{"torus", {30, 20}, {}, {}, 7},
       "metis",
       {"-graphtype", "torus", "-size", "30,20", "-permute", "7"}},
      {{"mesh", {4, 5, 3}, "box", "1,0,0"},
       "parhip",
       {"-graphtype", "mesh", "-size", "4,5,3", "-stencil", "box", "-periodic", "1,0,0", "-format",
        "parhip"}},
      {{"sierpinski", {3}},
       "scotch",
       {"-graphtype", "sierpinski", "-size", "3", "-format", "scotch"}},
      {{.family = "unconnected_completegraph", .sizes = {5, 3}, .permute = 4, .simple = true},
       "metis",
       {"-graphtype", "unconnected_completegraph", "-size", "5,3", "-permute", "4", "-simple"}},
      {{.family = "torus",
        .sizes = {2, 5},
        .vertex_weights = "degree",
        .edge_weights = "uniform:1-9",
        .simple = true},
       "parhip",
       {"-graphtype", "torus", "-size", "2,5", "-vertex-weights", "degree", "-edge-weights",
        "uniform:1-9", "-simple", "-format", "parhip"}},
  };
  for (const WriteCase& example : cases) {
    SCOPED_TRACE(example.format);
    ASSERT_EQ(write(example.graph, {ours, example.format, ours + ".xyz", 2}), std::nullopt);
    std::vector<std::string> arguments = example.command_line;
    arguments.insert(arguments.end(), {"-out", theirs, "-coordinates", theirs + ".xyz"});
    ASSERT_EQ(run_famgen(arguments).exit_status, 0);
    EXPECT_EQ(read_file(ours), read_file(theirs));
    EXPECT_EQ(read_file(ours + ".xyz"), read_file(theirs + ".xyz"));
  }
  const std::optional<Error> unknown = write({"grid", {3, 4}}, {ours, "graphml"});
  ASSERT_TRUE(unknown);
  EXPECT_EQ(unknown->message + "\n",
            run_famgen({"-graphtype", "grid", "-size", "3,4", "-format", "graphml", "-out", ours})
                .standard_error);
  const std::optional<Error> unwritable =
      write({"grid", {3, 4}}, {folder.path("no/such").string()});
  ASSERT_TRUE(unwritable);
  EXPECT_EQ(unwritable->kind, ErrorKind::kFile);
}

}  // namespace
