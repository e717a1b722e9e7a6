/* METIS's C interface on famgen's arrays: the graph built in memory through famgen.h and
 * partitioned with METIS_PartGraphKway, the options set one by one to what metis_api_test.sh
 * gives gpmetis. Writes the partition as gpmetis writes its .part file (a part a line) and
 * prints the edge cut. With vertex or edge weights, the arrays' vwgt, adjwgt and ncon are
 * METIS's.
 * Usage: metis_api_test FAMILY SIZES STENCIL PERIODIC PERMUTE VERTEX_WEIGHTS EDGE_WEIGHTS PARTS
 *        SEED OUT ("-": not given) */
#include <metis.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "famgen/famgen.h"

static const char* given(const char* argument) {
  return strcmp(argument, "-") == 0 ? NULL : argument;
}

int main(int argc, char** argv) {
  if (argc != 11) {
    fputs(
        "usage: metis_api_test FAMILY SIZES STENCIL PERIODIC PERMUTE VERTEX_WEIGHTS "
        "EDGE_WEIGHTS PARTS SEED OUT\n",
        stderr);
    return 2;
  }
  int64_t sizes[8];
  int size_count = 0;
  for (char* size = strtok(argv[2], ","); size != NULL && size_count < 8; size = strtok(NULL, ","))
    sizes[size_count++] = strtoll(size, NULL, 10);
  famgen_graph graph = {argv[1],        sizes, size_count, given(argv[3]),
                        given(argv[4]), 0,     0,          given(argv[6]),
                        given(argv[7]), 0,     0,          0,
                        NULL};
  if (given(argv[5]) != NULL) {
    graph.permute = 1;
    graph.seed = strtoull(argv[5], NULL, 10);
  }
  famgen_csr32 csr;
  if (famgen_build_csr32(&graph, NULL, &csr) != FAMGEN_OK) {
    fprintf(stderr, "%s\n", famgen_error());
    return 1;
  }

  idx_t options[METIS_NOPTIONS];
  METIS_SetDefaultOptions(options);
  options[METIS_OPTION_OBJTYPE] = METIS_OBJTYPE_CUT;
  options[METIS_OPTION_CTYPE] = METIS_CTYPE_SHEM;
  options[METIS_OPTION_IPTYPE] = METIS_IPTYPE_METISRB;
  options[METIS_OPTION_RTYPE] = METIS_RTYPE_GREEDY;
  options[METIS_OPTION_UFACTOR] = 30;
  options[METIS_OPTION_NITER] = 10;
  options[METIS_OPTION_NCUTS] = 1;
  options[METIS_OPTION_SEED] = atoi(argv[9]);
  options[METIS_OPTION_NO2HOP] = 0;
  options[METIS_OPTION_MINCONN] = 0;
  options[METIS_OPTION_CONTIG] = 0;
  options[METIS_OPTION_NUMBERING] = 0;
  idx_t vertices = csr.nvtxs;
  idx_t constraints = csr.ncon > 0 ? csr.ncon : 1;
  idx_t parts = atoi(argv[8]);
  idx_t cut = 0;
  idx_t* part = malloc(sizeof(idx_t) * (size_t)(vertices > 0 ? vertices : 1));
  const int status = METIS_PartGraphKway(&vertices, &constraints, csr.xadj, csr.adjncy, csr.vwgt,
                                         NULL, csr.adjwgt, &parts, NULL, NULL, options, &cut, part);
  if (status != METIS_OK) {
    fprintf(stderr, "METIS_PartGraphKway returned %d\n", status);
    return 1;
  }
  FILE* out = fopen(argv[10], "w");
  for (idx_t v = 0; out != NULL && v < vertices; ++v)
    fprintf(out, "%d\n", (int)part[v]);
  if (out == NULL || fclose(out) != 0) {
    perror(argv[10]);
    return 1;
  }
  printf("%d\n", (int)cut);
  free(part);
  famgen_free_csr32(&csr);
  return 0;
}
