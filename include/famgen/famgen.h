/* famgen for C and Fortran callers: a graph of a standard family as the compressed sparse rows
 * of METIS and ParMETIS (xadj, adjncy, numbered from 0), for the whole graph or the vertices
 * [first, last), in 32-bit or 64-bit indices, with the vertices' positions and the vertex and
 * edge weights (vwgt, adjwgt) if asked.
 *
 * The arrays hold exactly the METIS file of the same graph (famgen.hpp says how). They are
 * allocated by the library and released by the caller with famgen_free_csr32/64, or one at a
 * time with famgen_free. Every call returns FAMGEN_OK or why it failed; famgen_error() then
 * says why in the library's words (the members below, not the command line's options), for the
 * calling thread.
 *
 *   int64_t sizes[] = {3, 4};
 *   famgen_graph grid = {"grid", sizes, 2};
 *   famgen_csr32 csr;
 *   if (famgen_build_csr32(&grid, NULL, &csr) != FAMGEN_OK) puts(famgen_error());
 *   METIS_PartGraphKway(&csr.nvtxs, &ncon, csr.xadj, csr.adjncy, ...);
 *   famgen_free_csr32(&csr);
 */
#ifndef FAMGEN_H
#define FAMGEN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
  FAMGEN_OK = 0,
  FAMGEN_REFUSED = 1,   /* an unknown family, figures past 64 bits, indices too narrow, ... */
  FAMGEN_SIZES = 2,     /* a size below the family's least */
  FAMGEN_NO_MEMORY = 3, /* the arrays need more memory than the system has available */
  FAMGEN_FILE = 4       /* a file could not be written */
};

/* A graph as the command line names it (famgen -graphtype FAMILY -size SIZES ...). Members not
 * set are zero: no stencil, no periodic axes, the generator's own numbering. */
typedef struct famgen_graph {
  const char* family;   /* the keyword: "grid", "torus", "mesh", ... */
  const int64_t* sizes; /* the numbers of -size, in order */
  int size_count;
  const char* stencil;  /* the mesh's -stencil, "star" or "box"; NULL when not given */
  const char* periodic; /* -periodic, "all", "none", "1,0,1" (the mesh's); NULL when not given */
  int permute;          /* nonzero: number the vertices at random, as -permute SEED does */
  uint64_t seed;
  /* Weights, as -vertex-weights and -edge-weights name them ("uniform:1-10,degree" gives two
   * weights a vertex, METIS's ncon 2; "length:100"); NULL: none. famgen.hpp lists the models. */
  const char* vertex_weights;
  const char* edge_weights;
  int weight_seed_given; /* nonzero: the random weights' seed is weight_seed, as -seed */
  uint64_t weight_seed;  /* otherwise the command line's default, 1 */
  int simple; /* nonzero: the simple graph, as -simple (no self-loops, no neighbour twice) */
  /* rgg2d's and rgg3d's -radius, a decimal as "0.01"; NULL: the default. Their points are drawn
   * with weight_seed (1 when not given), periodic "all" being the torus. */
  const char* radius;
} famgen_graph;

/* How the arrays are made; NULL, or all members zero: the whole graph, on one thread per core,
 * without positions. */
typedef struct famgen_options {
  int threads; /* at most this many threads; 0 or less: one per core */
  int range;   /* nonzero: the vertices [first, last) alone, numbered from 0 */
  int64_t first;
  int64_t last;
  int coordinates; /* nonzero: the positions too */
} famgen_options;

/* The lines of the vertices [first, last) of a graph of vertex_count vertices. */
typedef struct famgen_csr32 {
  int64_t vertex_count;
  int64_t first;
  int64_t last;
  int32_t nvtxs;       /* last - first */
  int32_t* xadj;       /* nvtxs + 1 offsets into adjncy, the first 0 */
  int32_t* adjncy;     /* xadj[nvtxs] entries: vertices of the whole graph, from 0 */
  int dimension;       /* coordinates per vertex, when asked; 0 otherwise */
  double* coordinates; /* nvtxs × dimension, vertex by vertex; NULL unless asked */
  int ncon;            /* vertex weights per vertex; 0 without famgen_graph::vertex_weights */
  int32_t* vwgt;       /* nvtxs × ncon, vertex by vertex; NULL unless asked */
  int32_t* adjwgt;     /* one per entry of adjncy; NULL without famgen_graph::edge_weights */
} famgen_csr32;

typedef struct famgen_csr64 {
  int64_t vertex_count;
  int64_t first;
  int64_t last;
  int64_t nvtxs;
  int64_t* xadj;
  int64_t* adjncy;
  int dimension;
  double* coordinates;
  int ncon;
  int64_t* vwgt;
  int64_t* adjwgt;
} famgen_csr64;

/* Fill csr. On failure every member of csr is zero. 32-bit indices are refused for a graph of
 * more than 2^31 - 1 vertices or lines of more than 2^31 - 1 entries. */
int famgen_build_csr32(const famgen_graph* graph, const famgen_options* options, famgen_csr32* csr);
int famgen_build_csr64(const famgen_graph* graph, const famgen_options* options, famgen_csr64* csr);
void famgen_free_csr32(famgen_csr32* csr);
void famgen_free_csr64(famgen_csr64* csr);

/* Releases one array the library allocated. */
void famgen_free(void* array);

/* The graph's vertex count and the entries its lines list, worked out without building it. */
int famgen_graph_size(const famgen_graph* graph, int64_t* vertex_count, int64_t* entries);

/* Why the calling thread's last failed call failed: "famgen: " and why, in one line. */
const char* famgen_error(void);

const char* famgen_version(void);

#ifdef __cplusplus
}
#endif

#endif /* FAMGEN_H */
