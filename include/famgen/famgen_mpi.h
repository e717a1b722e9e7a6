/* Each MPI process's block of a graph, with no communication: the vertices are split into
 * contiguous blocks in the order of the communicator's ranks, as ParMETIS's vtxdist describes
 * them, and every process builds the lines of its own block alone (famgen.h). The split is by
 * vertex count: with V vertices on P processes, rank r holds [vtxdist[r], vtxdist[r + 1]),
 * vtxdist[r] = r·⌊V/P⌋ + min(r, V mod P), so the first V mod P ranks hold one vertex more.
 * Header-only: link famgen and MPI. */
#ifndef FAMGEN_MPI_H
#define FAMGEN_MPI_H

/* Without MPI's header on the include path (a project without MPI that includes every installed
 * header), this header declares nothing, and FAMGEN_MPI_AVAILABLE stays undefined. */
#if defined(__has_include)
#if __has_include(<mpi.h>)
#define FAMGEN_MPI_AVAILABLE 1
#endif
#else
#define FAMGEN_MPI_AVAILABLE 1
#endif

#ifdef FAMGEN_MPI_AVAILABLE
#include <mpi.h>

#include "famgen/famgen.h"

#ifdef __cplusplus
extern "C" {
#endif

/* vtxdist[part]: the first vertex of a part of parts. */
static inline int64_t famgen_block_first(int64_t vertex_count, int parts, int part) {
  const int64_t share = vertex_count / parts;
  const int64_t extra = vertex_count % parts;
  return part * share + (part < extra ? part : extra);
}

/* options with this rank's block as its range, the graph's vertex count and the communicator's
 * size. */
static inline int famgen_rank_block(const famgen_graph* graph, const famgen_options* options,
                                    MPI_Comm communicator, famgen_options* block,
                                    int64_t* vertex_count, int* parts) {
  int rank = 0;
  const int status = famgen_graph_size(graph, vertex_count, 0);
  if (status != FAMGEN_OK) return status;
  MPI_Comm_size(communicator, parts);
  MPI_Comm_rank(communicator, &rank);
  if (options != 0) *block = *options;
  block->range = 1;
  block->first = famgen_block_first(*vertex_count, *parts, rank);
  block->last = famgen_block_first(*vertex_count, *parts, rank + 1);
  return FAMGEN_OK;
}

/* This process's block of the graph in csr, and in vtxdist (the caller's array of one more than
 * the communicator's size) the first vertex of every rank's block and, last, the vertex count. */
static inline int famgen_build_dcsr32(const famgen_graph* graph, const famgen_options* options,
                                      MPI_Comm communicator, int32_t* vtxdist, famgen_csr32* csr) {
  famgen_options block = {0, 0, 0, 0, 0};
  int64_t vertex_count = 0;
  int parts = 1;
  int status = famgen_rank_block(graph, options, communicator, &block, &vertex_count, &parts);
  if (status == FAMGEN_OK) status = famgen_build_csr32(graph, &block, csr);
  if (status != FAMGEN_OK) return status;
  for (int part = 0; part <= parts; ++part)
    vtxdist[part] = (int32_t)famgen_block_first(vertex_count, parts, part);
  return FAMGEN_OK;
}

static inline int famgen_build_dcsr64(const famgen_graph* graph, const famgen_options* options,
                                      MPI_Comm communicator, int64_t* vtxdist, famgen_csr64* csr) {
  famgen_options block = {0, 0, 0, 0, 0};
  int64_t vertex_count = 0;
  int parts = 1;
  int status = famgen_rank_block(graph, options, communicator, &block, &vertex_count, &parts);
  if (status == FAMGEN_OK) status = famgen_build_csr64(graph, &block, csr);
  if (status != FAMGEN_OK) return status;
  for (int part = 0; part <= parts; ++part)
    vtxdist[part] = famgen_block_first(vertex_count, parts, part);
  return FAMGEN_OK;
}

#ifdef __cplusplus
}
#endif

#endif /* FAMGEN_MPI_AVAILABLE */

#endif /* FAMGEN_MPI_H */
