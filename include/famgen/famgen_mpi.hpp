// Each MPI process's block of a graph, with no communication (the split is famgen_mpi.h's:
// contiguous blocks of ⌊V/P⌋ or ⌈V/P⌉ vertices in rank order, ParMETIS's vtxdist). Header-only:
// link famgen::famgen and MPI.
//
//   const auto mine = famgen::distributed_csr<std::int64_t>({"torus", {1000, 1000}}, comm);
//   ParMETIS_V3_PartKway(mine->vtxdist.data(), mine->block.xadj.data(), ...);
#pragma once

#include <vector>

#include "famgen/famgen.hpp"
#include "famgen/famgen_mpi.h"

// Nothing without MPI's header, as famgen_mpi.h.
#ifdef FAMGEN_MPI_AVAILABLE

namespace famgen {

template <class Index>
struct DistributedCsr {
  // One more than the communicator's size: rank r holds the vertices [vtxdist[r], vtxdist[r + 1]).
  std::vector<Index> vtxdist;
  Csr<Index> block;  // this rank's lines
};

// options.range is replaced by the rank's block.
template <class Index>
Result<DistributedCsr<Index>> distributed_csr(const Graph& graph, MPI_Comm communicator,
                                              CsrOptions options = {}) {
  const Result<GraphInfo> about = info(graph);
  if (!about) return about.error();
  int parts = 1;
  int rank = 0;
  MPI_Comm_size(communicator, &parts);
  MPI_Comm_rank(communicator, &rank);
  const std::int64_t vertex_count = about->vertex_count;
  options.range = VertexRange{famgen_block_first(vertex_count, parts, rank),
                              famgen_block_first(vertex_count, parts, rank + 1)};
  Result<Csr<Index>> block = csr<Index>(graph, options);
  if (!block) return block.error();
  DistributedCsr<Index> distributed;
  for (int part = 0; part <= parts; ++part)
    distributed.vtxdist.push_back(
        static_cast<Index>(famgen_block_first(vertex_count, parts, part)));
  distributed.block = std::move(*block);
  return distributed;
}

}  // namespace famgen

#endif  // FAMGEN_MPI_AVAILABLE
