// The C interface (include/famgen/famgen.h) over the C++ one.
#include <string>

#include "famgen/famgen.h"
#include "famgen/famgen.hpp"

namespace {

thread_local std::string last_error;

int failed(const famgen::Error& error) {
  last_error = error.message;
  switch (error.kind) {
    case famgen::ErrorKind::kRefused:
      return FAMGEN_REFUSED;
    case famgen::ErrorKind::kSizes:
      return FAMGEN_SIZES;
    case famgen::ErrorKind::kMemory:
      return FAMGEN_NO_MEMORY;
    case famgen::ErrorKind::kFile:
      return FAMGEN_FILE;
  }
  return FAMGEN_REFUSED;
}

famgen::Graph graph_of(const famgen_graph& graph) {
  famgen::Graph named;
  named.family = graph.family != nullptr ? graph.family : "";
  if (graph.sizes != nullptr && graph.size_count > 0)
    named.sizes.assign(graph.sizes, graph.sizes + graph.size_count);
  if (graph.stencil != nullptr) named.stencil = graph.stencil;
  if (graph.periodic != nullptr) named.periodic = graph.periodic;
  if (graph.permute != 0) named.permute = graph.seed;
  if (graph.vertex_weights != nullptr) named.vertex_weights = graph.vertex_weights;
  if (graph.edge_weights != nullptr) named.edge_weights = graph.edge_weights;
  if (graph.weight_seed_given != 0) named.seed = graph.weight_seed;
  named.simple = graph.simple != 0;
  if (graph.radius != nullptr) named.radius = graph.radius;
  return named;
}

famgen::CsrOptions options_of(const famgen_options* options) {
  famgen::CsrOptions csr_options;
  if (options == nullptr) return csr_options;
  csr_options.threads = options->threads;
  if (options->range != 0) csr_options.range = famgen::VertexRange{options->first, options->last};
  csr_options.coordinates = options->coordinates != 0;
  return csr_options;
}

// Both widths' structures have the same members; only the index type differs.
template <class Index, class CCsr>
int build(const famgen_graph* graph, const famgen_options* options, CCsr* csr) {
  *csr = CCsr{};
  if (graph == nullptr) return failed({famgen::ErrorKind::kRefused, "famgen: no graph named"});
  famgen::Result<famgen::Csr<Index>> made =
      famgen::csr<Index>(graph_of(*graph), options_of(options));
  if (!made) return failed(made.error());
  csr->vertex_count = made->vertex_count;
  csr->first = made->first;
  csr->last = made->last;
  csr->nvtxs = static_cast<Index>(made->vertices());
  csr->xadj = made->xadj.release();
  csr->adjncy = made->adjncy.release();
  csr->dimension = made->dimension;
  csr->coordinates = made->coordinates.release();
  csr->ncon = made->constraints;
  csr->vwgt = made->vwgt.release();
  csr->adjwgt = made->adjwgt.release();
  return FAMGEN_OK;
}

template <class CCsr>
void release(CCsr* csr) {
  if (csr == nullptr) return;
  famgen::free_memory(csr->xadj);
  famgen::free_memory(csr->adjncy);
  famgen::free_memory(csr->coordinates);
  famgen::free_memory(csr->vwgt);
  famgen::free_memory(csr->adjwgt);
  *csr = CCsr{};
}

}  // namespace

extern "C" {

int famgen_build_csr32(const famgen_graph* graph, const famgen_options* options,
                       famgen_csr32* csr) {
  return build<std::int32_t>(graph, options, csr);
}

int famgen_build_csr64(const famgen_graph* graph, const famgen_options* options,
                       famgen_csr64* csr) {
  return build<std::int64_t>(graph, options, csr);
}

void famgen_free_csr32(famgen_csr32* csr) {
  release(csr);
}
void famgen_free_csr64(famgen_csr64* csr) {
  release(csr);
}
void famgen_free(void* array) {
  famgen::free_memory(array);
}

int famgen_graph_size(const famgen_graph* graph, int64_t* vertex_count, int64_t* entries) {
  if (graph == nullptr) return failed({famgen::ErrorKind::kRefused, "famgen: no graph named"});
  const famgen::Result<famgen::GraphInfo> info = famgen::info(graph_of(*graph));
  if (!info) return failed(info.error());
  if (vertex_count != nullptr) *vertex_count = info->vertex_count;
  if (entries != nullptr) *entries = info->entries;
  return FAMGEN_OK;
}

const char* famgen_error(void) {
  return last_error.c_str();
}

const char* famgen_version(void) {
  return FAMGEN_VERSION;
}

}  // extern "C"
