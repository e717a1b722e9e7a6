// The C++ interface (include/famgen/famgen.hpp): a graph named as on the command line becomes
// the same request, passes the same checks and is made by the same family as the command
// line's (request.hpp); only the destination differs, arrays in memory (graphfile/output/
// arrays.hpp) or files. The failures speak the library's words: the texts the shared checks
// write for the command line are reworded here, and the sizes' messages are the library's own.
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
#include "graphfile/simple_graph.hpp"  // simple_facts
#include "library/request.hpp"

namespace famgen {

namespace {

// A part of a text that the shared checks and layouts write in the command line's words, and
// the library's words for it: a library caller names Graph's members and FileOptions', not
// options. Every row is tried in order, each on the text as the rows before it left it.
struct Rewording {
  std::string_view command_line;
  std::string_view library;
};
constexpr Rewording kRewordings[] = {
    {"famgen: -periodic takes ", "famgen: the periodic axes take "},
    {"famgen: -periodic gives ", "famgen: the periodic axes give "},
    {"famgen: -stencil applies to the mesh alone, -periodic to the mesh, rgg2d and rgg3d",
     "famgen: a stencil applies to the mesh alone, periodic axes to the mesh, rgg2d and rgg3d"},
    {"famgen: -stencil applies to the mesh alone", "famgen: a stencil applies to the mesh alone"},
    {"famgen: rgg2d and rgg3d take -periodic all or none, not a flag for each axis",
     "famgen: rgg2d and rgg3d take the periodic axes all or none, not a flag for each axis"},
    {"famgen: -radius takes ", "famgen: the radius takes "},
    {"famgen: -radius applies to ", "famgen: a radius applies to "},
    {"famgen: -vertex-weights takes ", "famgen: the vertex weights take "},
    {"famgen: -edge-weights takes ", "famgen: the edge weights take "},
    // "-vertex-weights MODEL adds up to ...", "-edge-weights MODEL applies to the mesh alone"
    {"famgen: -vertex-weights ", "famgen: the vertex weight model "},
    {"famgen: -edge-weights ", "famgen: the edge weight model "},
    {" (give -vertex-weights one model)", " (ask for one vertex weight model)"},
    {" (-format metis, parhip or scotch does)", " (the formats metis, parhip and scotch do)"},
    {"famgen: no output file (give -out FILE, or -out - for standard output)",
     "famgen: no output file named (a file name, or - for standard output)"},
};

std::string in_library_words(std::string text) {
  for (const Rewording& row : kRewordings) {
    const std::size_t at = text.find(row.command_line);
    if (at != std::string::npos) text.replace(at, row.command_line.size(), row.library);
  }
  return text;
}

// Why the sizes fall short of the family's least, in the library's words (the command line
// prints the family's own message): "famgen: grid takes the sizes R,W, each at least 1, not 4".
std::string size_refusal(const FamilyRequest& request) {
  const FamilyRow& row = family_row(request.graph_type);
  std::string given;
  for (const std::int32_t size : request.sizes) {
    if (!given.empty()) given += ',';
    given += std::to_string(size);
  }
  if (given.empty()) given = "none";
  const std::string least = std::to_string(row.first_size_above + 1);
  const std::size_t comma = row.sizes.find(',');
  std::string takes;
  if (row.size_list) {
    takes = "1 to " + std::to_string(kMostMeshAxes) + " sizes (" + std::string(row.sizes) +
            "), each at least 1";
  } else if (comma == std::string_view::npos) {
    takes = "the size " + std::string(row.sizes) + ", at least " + least;
  } else if (row.second_size_checked && least == "1") {
    takes = "the sizes " + std::string(row.sizes) + ", each at least 1";
  } else {
    takes = "the sizes " + std::string(row.sizes) + ", " + std::string(row.sizes.substr(0, comma)) +
            " at least " + least +
            (row.second_size_checked
                 ? " and " + std::string(row.sizes.substr(comma + 1)) + " at least 1"
                 : "");
  }
  return "famgen: " + std::string(row.keyword) + " takes " + takes + ", not " + given;
}

Error error_of(const Outcome& outcome, const FamilyRequest& request, bool out_of_memory = false) {
  if (outcome.status == kStatusFileFailed) {
    return {ErrorKind::kFile, in_library_words(outcome.error)};
  }
  if (outcome.status == kStatusRefused) {
    // A family that builds its graph in memory first (the Sierpinski graph's store) says
    // "cannot allocate" when the memory was short: the library's out-of-memory error too.
    const bool short_of_memory =
        out_of_memory || outcome.error.starts_with("famgen: cannot allocate ");
    return {short_of_memory ? ErrorKind::kMemory : ErrorKind::kRefused,
            in_library_words(outcome.error)};
  }
  // The status is the length of the family's message: a size below its least.
  return {ErrorKind::kSizes, size_refusal(request)};
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
        {"the periodic axes", graph.periodic},
        {"the radius", graph.radius}}) {
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
  if (!graph.radius.empty()) read_radius(graph.radius, request);
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

// The checks every request passes, then the family's arrays (sources/FAMILY_arrays.cpp), or
// its simple graph's.
Outcome fill_request(const FamilyRequest& request, const ArrayTarget& target, bool simple) {
  if (std::optional<Outcome> failure = request_failure(request)) return std::move(*failure);
  return make_family(request, ArrayUse{&target, simple});
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
  family.threads = request.threads;
  const WeightRequest weights = drawn_weights(family);
  if (request.adjacency) request.weights = &weights;
  const Outcome outcome =
      fill_request(family, ArrayDestination(std::move(request), arrays), graph.simple);
  if (outcome.status != kStatusWritten) return error_of(outcome, family, arrays.out_of_memory);
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
  if (outcome.status != kStatusWritten) return error_of(outcome, request);
  if (graph.simple) facts = simple_facts(facts);
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
  if (!format) return error_of(unknown_format(options.format), request);
  request.threads = options.threads;
  const Outcome outcome =
      write_request(request,
                    FileDestination(file_outputs(options.out, *format, options.coordinates,
                                                 options.threads, seed_of(graph))),
                    graph.simple);
  if (outcome.status != kStatusWritten) return error_of(outcome, request);
  return std::nullopt;
} catch (const std::bad_alloc&) {
  return kOutOfMemory;
}

std::string_view version() {
  return FAMGEN_VERSION;
}

}  // namespace famgen
