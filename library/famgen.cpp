// The C++ interface (include/famgen/famgen.hpp): a graph named as on the command line becomes
// the same request, passes the same checks and is made by the same family as the command
// line's (request.hpp); only the destination differs, arrays in memory (graphfile/output/
// arrays.hpp) or files.
#include "famgen/famgen.hpp"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <new>
#include <string_view>
#include <utility>

#include "graphfile/layouts/layouts.hpp"
#include "graphfile/output/arrays.hpp"
#include "graphfile/output/destinations.hpp"
#include "library/request.hpp"

namespace famgen {

namespace {

Error error_of(const Outcome& outcome, bool out_of_memory = false) {
  if (outcome.status == kStatusFileFailed) return {ErrorKind::kFile, outcome.error};
  if (outcome.status == kStatusRefused) {
    return {out_of_memory ? ErrorKind::kMemory : ErrorKind::kRefused, outcome.error};
  }
  // A size below the family's least: the message, whose length is the status.
  std::string message = outcome.message;
  if (!message.empty() && message.back() == '\n') message.pop_back();
  return {ErrorKind::kSizes, message};
}

Error refusal(const std::string& why) {
  return {ErrorKind::kRefused, refused(why).error};
}

std::string graph_types() {
  std::string types;
  for (const FamilyRow& row : kFamilies)
    types += (row.type == GRAPH_GRID   ? ""
              : row.type == GRAPH_LAST ? " and "
                                       : ", ") +
             std::string(row.keyword);
  return types;
}

// A text that the C functions below would cut at its first NUL byte (a file name, a keyword)
// is refused whole, rather than read as its part before the NUL.
std::optional<Error> nul_refusal(std::string_view what, std::string_view text) {
  if (text.find('\0') == std::string_view::npos) return std::nullopt;
  return refusal(std::string(what) + " holds a NUL byte");
}

// The request a graph names, or why it names none. The keyword is matched exactly, and more
// sizes than the family takes are refused: the command line's prefixes and ignored sizes are
// its own leniency, not the library's.
std::optional<Error> read_graph(const Graph& graph, FamilyRequest& request) {
  for (const auto& [what, text] :
       {std::pair<std::string_view, std::string_view>{"the graph type", graph.family},
        {"the stencil", graph.stencil},
        {"the periodic axes", graph.periodic}}) {
    if (std::optional<Error> error = nul_refusal(what, text)) return error;
  }
  const auto row = std::ranges::find(kFamilies, graph.family, &FamilyRow::keyword);
  if (row == kFamilies.end()) {
    return refusal("unknown graph type '" + graph.family + "': the graph types are " +
                   graph_types());
  }
  request.graph_type = row->type;
  const auto most_sizes = row->size_list
                              ? graph.sizes.size()
                              : 1 + static_cast<std::size_t>(std::ranges::count(row->sizes, ','));
  if (graph.sizes.size() > most_sizes) {
    return refusal(graph.family + " takes " + std::to_string(most_sizes) +
                   (most_sizes == 1 ? " size (" : " sizes (") + std::string(row->sizes) +
                   "), not " + std::to_string(graph.sizes.size()));
  }
  for (const std::int64_t size : graph.sizes) {
    if (size < std::numeric_limits<std::int32_t>::min() ||
        size > std::numeric_limits<std::int32_t>::max()) {
      return refusal("size " + std::to_string(size) + " is past the 32-bit range of sizes");
    }
    request.sizes.push_back(static_cast<std::int32_t>(size));
  }
  if (!request.sizes.empty()) request.first_size = request.sizes[0];
  if (request.sizes.size() > 1) request.second_size = request.sizes[1];
  if (!graph.stencil.empty()) read_stencil(graph.stencil, request);
  if (!graph.periodic.empty()) read_periodic(graph.periodic, request);
  for (const auto& [what, text] :
       {std::pair<std::string_view, std::string_view>{"the vertex weights", graph.vertex_weights},
        {"the edge weights", graph.edge_weights}}) {
    if (std::optional<Error> error = nul_refusal(what, text)) return error;
  }
  if (!graph.vertex_weights.empty()) read_vertex_weights(graph.vertex_weights, request);
  if (!graph.edge_weights.empty()) read_edge_weights(graph.edge_weights, request);
  request.weights.seed = graph.seed;
  return std::nullopt;
}

// The seed as -permute takes it: the numbering depends on its 64 bits alone.
RelabelSeed seed_of(const Graph& graph) {
  if (!graph.permute) return std::nullopt;
  return *graph.permute;
}

// The checks every request passes, then the family's arrays (sources/FAMILY_arrays.cpp).
Outcome fill_request(const FamilyRequest& request, const ArrayTarget& target) {
  if (std::optional<Outcome> failure = request_failure(request)) return std::move(*failure);
  return make_family(request, ArrayUse{&target});
}

ArrayRequest array_request(const Graph& graph, const CsrOptions& options) {
  ArrayRequest request;
  if (options.range) request.range = {{options.range->first, options.range->last}};
  request.threads = options.threads;
  request.seed = seed_of(graph);
  return request;
}

// The arrays the request asks of the graph, or why they cannot be had.
std::optional<Error> fill(const Graph& graph, ArrayRequest request, GraphArrays& arrays) {
  FamilyRequest family;
  if (std::optional<Error> error = read_graph(graph, family)) return error;
  const WeightRequest weights = drawn_weights(family);
  if (request.adjacency) request.weights = &weights;
  const Outcome outcome = fill_request(family, ArrayDestination(std::move(request), arrays));
  if (outcome.status != kStatusWritten) return error_of(outcome, arrays.out_of_memory);
  return std::nullopt;
}

template <class T>
Array<T> array_of(MallocBlock& block, std::int64_t size) {
  return Array<T>(static_cast<T*>(block.release()), static_cast<std::size_t>(size));
}

const Error kOutOfMemory{ErrorKind::kMemory, "famgen: out of memory"};

}  // namespace

void free_memory(void* block) noexcept {
  std::free(block);
}

template <class Index>
Result<Csr<Index>> csr(const Graph& graph, const CsrOptions& options) try {
  ArrayRequest request = array_request(graph, options);
  request.index_bytes = sizeof(Index);
  request.positions = options.coordinates;
  GraphArrays arrays;
  if (std::optional<Error> error = fill(graph, request, arrays)) return std::move(*error);
  Csr<Index> csr;
  csr.vertex_count = arrays.vertex_count;
  csr.first = arrays.first;
  csr.last = arrays.last;
  csr.xadj = array_of<Index>(arrays.xadj, arrays.last - arrays.first + 1);
  csr.adjncy = array_of<Index>(arrays.adjncy, arrays.entries);
  csr.constraints = arrays.constraints;
  if (arrays.vwgt) {
    csr.vwgt = array_of<Index>(arrays.vwgt, csr.vertices() * arrays.constraints);
  }
  if (arrays.adjwgt) csr.adjwgt = array_of<Index>(arrays.adjwgt, arrays.entries);
  if (options.coordinates) {
    csr.dimension = arrays.dimension;
    csr.coordinates =
        array_of<double>(arrays.positions, (arrays.last - arrays.first) * arrays.dimension);
  }
  return csr;
} catch (const std::bad_alloc&) {
  return kOutOfMemory;
}

template Result<Csr<std::int32_t>> csr(const Graph&, const CsrOptions&);
template Result<Csr<std::int64_t>> csr(const Graph&, const CsrOptions&);

Result<Coordinates> coordinates(const Graph& graph, const CsrOptions& options) try {
  ArrayRequest request = array_request(graph, options);
  request.adjacency = false;
  request.positions = true;
  GraphArrays arrays;
  if (std::optional<Error> error = fill(graph, request, arrays)) return std::move(*error);
  Coordinates coordinates;
  coordinates.vertex_count = arrays.vertex_count;
  coordinates.first = arrays.first;
  coordinates.last = arrays.last;
  coordinates.dimension = arrays.dimension;
  coordinates.values =
      array_of<double>(arrays.positions, (arrays.last - arrays.first) * arrays.dimension);
  return coordinates;
} catch (const std::bad_alloc&) {
  return kOutOfMemory;
}

Result<GraphInfo> info(const Graph& graph) try {
  FamilyRequest request;
  if (std::optional<Error> error = read_graph(graph, request)) return std::move(*error);
  GraphFacts facts;
  const Outcome outcome = request_facts(request, facts);
  if (outcome.status != kStatusWritten) return error_of(outcome);
  return GraphInfo{facts.line_count(), facts.counts.arcs, facts.dimension, facts.title};
} catch (const std::bad_alloc&) {
  return kOutOfMemory;
}

std::optional<Error> write(const Graph& graph, const FileOptions& options) try {
  FamilyRequest request;
  if (std::optional<Error> error = read_graph(graph, request)) return error;
  for (const auto& [what, text] :
       {std::pair<std::string_view, std::string_view>{"the output's name", options.out},
        {"the coordinates' name", options.coordinates},
        {"the format", options.format}}) {
    if (std::optional<Error> error = nul_refusal(what, text)) return error;
  }
  const std::optional<Format> format = format_named(options.format);
  if (!format) return error_of(unknown_format(options.format));
  const Outcome outcome =
      write_request(request, FileDestination(file_outputs(options.out, *format, options.coordinates,
                                                          options.threads, seed_of(graph))));
  if (outcome.status != kStatusWritten) return error_of(outcome);
  return std::nullopt;
} catch (const std::bad_alloc&) {
  return kOutOfMemory;
}

std::string_view version() {
  return FAMGEN_VERSION;
}

}  // namespace famgen
