// Run under mpirun with any number of processes: every process builds its block of each graph
// with famgen::distributed_csr, without a word to the others, and PT-Scotch takes the blocks as
// one distributed graph (SCOTCH_dgraphBuild), finds it sound (SCOTCH_dgraphCheck: the arcs of
// every edge at both ends, across the processes) and partitions it (SCOTCH_dgraphPart). The
// distributed graph is the file's: every process's lines are those of famgen's METIS file in
// its range of vtxdist, the ranges tile the vertices, and Scotch counts the file's vertices and
// entries. The C helper of famgen_mpi.h gives the same blocks.
// Usage: mpirun -n P ptscotch_test FAMGEN
#include <mpi.h>
#include <ptscotch.h>  // after <stdio.h> and <mpi.h>, which it uses and does not include
#include <stdio.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "famgen/famgen_mpi.hpp"
#include "tests/graph_reader.hpp"

namespace {

static_assert(sizeof(SCOTCH_Num) == sizeof(std::int32_t), "Debian's Scotch numbers in 32 bits");

int rank = 0;
int processes = 1;
int failures = 0;

void fail(const std::string& what) {
  std::fprintf(stderr, "FAIL on rank %d: %s\n", rank, what.c_str());
  ++failures;
}

struct Case {
  famgen::Graph graph;
  std::vector<std::string> arguments;  // famgen's for the same graph
};

// The METIS file of the graph, written by famgen on rank 0 and read by every process.
famgen::Adjacency file_lines(const Case& example, const std::string& famgen_binary) {
  char path[] = "/tmp/famgen-ptscotch-XXXXXX";
  int made = 0;
  if (rank == 0) made = mkstemp(path) >= 0;
  MPI_Bcast(&made, 1, MPI_INT, 0, MPI_COMM_WORLD);
  MPI_Bcast(path, sizeof path, MPI_CHAR, 0, MPI_COMM_WORLD);
  if (made == 0) return {};
  if (rank == 0) {
    std::string command = famgen_binary;
    for (const std::string& argument : example.arguments)
      command += " " + argument;
    if (std::system((command + " -out " + path).c_str()) != 0) fail("famgen failed: " + command);
  }
  MPI_Barrier(MPI_COMM_WORLD);
  famgen::Adjacency lines = famgen::parse_graph(famgen::read_file(path)).adjacency;
  MPI_Barrier(MPI_COMM_WORLD);
  if (rank == 0) std::remove(path);
  return lines;
}

void check(const Case& example, const std::string& famgen_binary) {
  const std::string name = example.graph.family;
  const famgen::Adjacency lines = file_lines(example, famgen_binary);
  famgen::Result<famgen::DistributedCsr<std::int32_t>> mine =
      famgen::distributed_csr<std::int32_t>(example.graph, MPI_COMM_WORLD, {.threads = 2});
  // The blocks tile the vertices in rank order, as even as whole vertices allow. Every process
  // learns whether all have blocks to go on with, so that none is left alone in a collective.
  const auto vertex_count = static_cast<std::int64_t>(lines.size());
  int usable = 1;
  if (!mine) {
    fail(name + ": " + mine.error().message);
    usable = 0;
  } else if (mine->vtxdist.size() != static_cast<std::size_t>(processes) + 1 ||
             mine->vtxdist.front() != 0 || mine->vtxdist.back() != vertex_count ||
             mine->block.first != mine->vtxdist[rank] ||
             mine->block.last != mine->vtxdist[rank + 1]) {
    fail(name + ": vtxdist does not span the file's vertices, or the block is not its range");
    usable = 0;
  }
  MPI_Allreduce(MPI_IN_PLACE, &usable, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
  if (usable == 0) return;
  const std::vector<std::int32_t>& vtxdist = mine->vtxdist;
  const famgen::Csr<std::int32_t>& block = mine->block;
  for (int part = 0; part < processes; ++part) {
    const std::int64_t size = vtxdist[part + 1] - vtxdist[part];
    if (size != vertex_count / processes + (part < vertex_count % processes ? 1 : 0))
      fail(name + ": rank " + std::to_string(part) + " holds " + std::to_string(size));
  }
  for (std::int64_t v = block.first; v < block.last; ++v) {
    std::vector<std::int64_t> line;
    for (std::int32_t e = block.xadj[v - block.first]; e < block.xadj[v - block.first + 1]; ++e)
      line.push_back(block.adjncy[static_cast<std::size_t>(e)] + 1);
    if (line != lines[static_cast<std::size_t>(v)]) fail(name + ": line " + std::to_string(v));
  }

  // The C helper's block and distribution.
  std::vector<std::int32_t> c_vtxdist(static_cast<std::size_t>(processes) + 1);
  const famgen_graph c_graph = {
      example.graph.family.c_str(),
      example.graph.sizes.data(),
      static_cast<int>(example.graph.sizes.size()),
      example.graph.stencil.empty() ? nullptr : example.graph.stencil.c_str(),
      example.graph.periodic.empty() ? nullptr : example.graph.periodic.c_str(),
      example.graph.permute ? 1 : 0,
      example.graph.permute.value_or(0),
      nullptr,
      nullptr,
      0,
      0,
      0,
      nullptr};
  famgen_csr32 c_block;
  if (famgen_build_dcsr32(&c_graph, nullptr, MPI_COMM_WORLD, c_vtxdist.data(), &c_block) !=
          FAMGEN_OK ||
      c_vtxdist != vtxdist || c_block.nvtxs != block.vertices() ||
      !std::equal(block.adjncy.begin(), block.adjncy.end(), c_block.adjncy)) {
    fail(name + ": the C helper's block differs");
  }
  famgen_free_csr32(&c_block);

  // PT-Scotch takes the blocks as they are.
  SCOTCH_Dgraph graph;
  if (SCOTCH_dgraphInit(&graph, MPI_COMM_WORLD) != 0) return fail(name + ": SCOTCH_dgraphInit");
  const auto local_vertices = static_cast<SCOTCH_Num>(block.vertices());
  const auto local_entries = static_cast<SCOTCH_Num>(block.adjncy.size());
  auto* const xadj = const_cast<SCOTCH_Num*>(block.xadj.data());
  auto* const adjncy = const_cast<SCOTCH_Num*>(block.adjncy.data());
  if (SCOTCH_dgraphBuild(&graph, 0, local_vertices, local_vertices, xadj, xadj + 1, nullptr,
                         nullptr, local_entries, local_entries, adjncy, nullptr, nullptr) != 0) {
    fail(name + ": SCOTCH_dgraphBuild");
  } else if (SCOTCH_dgraphCheck(&graph) != 0) {
    fail(name + ": SCOTCH_dgraphCheck");
  } else {
    SCOTCH_Num global_vertices = 0;
    SCOTCH_Num global_arcs = 0;
    SCOTCH_dgraphSize(&graph, &global_vertices, nullptr, &global_arcs, nullptr);
    std::int64_t file_entries = 0;
    for (const std::vector<std::int64_t>& line : lines)
      file_entries += static_cast<std::int64_t>(line.size());
    if (global_vertices != vertex_count || global_arcs != file_entries) {
      fail(name + ": Scotch counts " + std::to_string(global_vertices) + " vertices and " +
           std::to_string(global_arcs) + " arcs");
    }
    const SCOTCH_Num parts = 4;
    std::vector<SCOTCH_Num> part(static_cast<std::size_t>(std::max<SCOTCH_Num>(1, local_vertices)));
    SCOTCH_Strat strategy;
    SCOTCH_stratInit(&strategy);
    if (SCOTCH_dgraphPart(&graph, parts, &strategy, part.data()) != 0) {
      fail(name + ": SCOTCH_dgraphPart");
    } else {
      std::vector<long long> sizes(parts, 0);
      for (SCOTCH_Num v = 0; v < local_vertices; ++v) {
        if (part[v] < 0 || part[v] >= parts)
          fail(name + ": a part out of range");
        else
          ++sizes[static_cast<std::size_t>(part[v])];
      }
      MPI_Allreduce(MPI_IN_PLACE, sizes.data(), parts, MPI_LONG_LONG, MPI_SUM, MPI_COMM_WORLD);
      for (const long long size : sizes) {
        if (size == 0) fail(name + ": an empty part");
      }
      if (rank == 0) {
        std::printf("%s: %lld vertices on %d processes, parts of", name.c_str(),
                    static_cast<long long>(vertex_count), processes);
        for (const long long size : sizes)
          std::printf(" %lld", size);
        std::printf("\n");
      }
    }
    SCOTCH_stratExit(&strategy);
  }
  SCOTCH_dgraphExit(&graph);
}

}  // namespace

int main(int argc, char** argv) {
  // PT-Scotch's threads call MPI at once (Debian builds it with threads).
  int provided = MPI_THREAD_SINGLE;
  MPI_Init_thread(&argc, &argv, MPI_THREAD_MULTIPLE, &provided);
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &processes);
  if (provided < MPI_THREAD_MULTIPLE) {
    if (rank == 0)
      std::fputs("WARNING: MPI without MPI_THREAD_MULTIPLE: PT-Scotch left out\n", stderr);
    MPI_Finalize();
    return 0;
  }
  if (argc != 2) {
    if (rank == 0) std::fputs("usage: ptscotch_test FAMGEN\n", stderr);
    MPI_Finalize();
    return 2;
  }
  const std::vector<Case> cases = {
      {{.family = "torus", .sizes = {20, 30}, .permute = 7},
       {"-graphtype", "torus", "-size", "20,30", "-permute", "7"}},
      {{.family = "mesh", .sizes = {6, 5, 4}, .stencil = "box", .periodic = "all"},
       {"-graphtype", "mesh", "-size", "6,5,4", "-stencil", "box", "-periodic", "all"}},
      {{.family = "hypercube", .sizes = {9}, .permute = 3},
       {"-graphtype", "hypercube", "-size", "9", "-permute", "3"}},
      {{.family = "star", .sizes = {50}}, {"-graphtype", "star", "-size", "50"}},
      {{.family = "sierpinski", .sizes = {4}}, {"-graphtype", "sierpinski", "-size", "4"}},
      {{.family = "unconnected_completegraph", .sizes = {6, 4}, .permute = 1},
       {"-graphtype", "unconnected_completegraph", "-size", "6,4", "-permute", "1"}},
      {{.family = "partial_grid", .sizes = {30, 31}},
       {"-graphtype", "partial_grid", "-size", "30,31"}},
  };
  for (const Case& example : cases)
    check(example, argv[1]);
  int all_failures = failures;
  MPI_Allreduce(MPI_IN_PLACE, &all_failures, 1, MPI_INT, MPI_SUM, MPI_COMM_WORLD);
  MPI_Finalize();
  return all_failures == 0 ? 0 : 1;
}
