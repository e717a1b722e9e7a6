// From a request to its graph: what the command line and the library share, so that a graph
// named either way is checked in the same order, refused with the same texts and made by the
// same family. library/ holds the library's implementation (the public headers are in
// include/famgen/); it includes generators/ and graphfile/, never cli/, which calls it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "generators/families.hpp"
#include "graphfile/graph.hpp"
#include "graphfile/output/destinations.hpp"

namespace famgen {

// The mesh's -stencil value: exactly "star" or "box". A value that names neither records why
// in request.mesh_option_error, unless an earlier one did.
void read_stencil(std::string_view value, FamilyRequest& request);

// The mesh's -periodic value: "all", "none", or a 0 or 1 for each axis, separated as the sizes
// are ("1,0,1").
void read_periodic(std::string_view value, FamilyRequest& request);

// -radius (rgg2d's and rgg3d's): a decimal above 0 and at most 1, or why not in
// request.radius_error, unless an earlier value was refused.
void read_radius(std::string_view value, FamilyRequest& request);

// -vertex-weights, -edge-weights and -seed: the models or the seed, or why not in
// request.weights_error, unless an earlier value was refused.
void read_vertex_weights(std::string_view value, FamilyRequest& request);
void read_edge_weights(std::string_view value, FamilyRequest& request);
void read_weight_seed(std::string_view value, FamilyRequest& request);

// A seed: decimal digits alone, of a value below 2^64.
std::optional<std::uint64_t> read_seed(std::string_view value);

// Splits off the next number of a value of sizes or flags, skipping the commas, spaces, tabs
// and newlines before it; empty when none is left.
std::string_view next_size_token(std::string_view& rest);

// The format that names exactly this keyword, and the refusal of one that names none.
std::optional<Format> format_named(std::string_view keyword);
Outcome unknown_format(std::string_view keyword);
std::string format_keywords();  // "metis, parhip, ... and dot"

// The files of a run: the graph in its layout at out, and its positions beside it at
// coordinates (in the layout that goes with the graph's) unless that is empty.
WriteOptions file_outputs(const std::string& out, Format format, const std::string& coordinates,
                          ThreadRequest threads, RelabelSeed seed);

// The checks every request passes before its family is made, in this order: the mesh options'
// values, the mesh options given to another family, the radius's value and the radius given to
// another family, the weights' values, the mesh's axis
// weights given to another family, the family's least sizes. The outcome of
// the first that fails; nothing when all pass. request names a family (not GRAPH_NONE).
std::optional<Outcome> request_failure(const FamilyRequest& request);

// The weights the request asks for, as the family's positions take them (the mesh's axis
// weights in the order it draws its axes).
WeightRequest drawn_weights(const FamilyRequest& request);

// The checks, then the family: refused when it cannot be had (figures past 64 bits) or cannot
// build what its lines read, otherwise handed to the destination, without its self-loops and
// repeated neighbours when simple.
Outcome write_request(const FamilyRequest& request, const GraphDestination& destination,
                      bool simple = false);

// The checks, then the facts of the family without building or writing anything.
Outcome request_facts(const FamilyRequest& request, GraphFacts& facts);

}  // namespace famgen
