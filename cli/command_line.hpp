// The command line: three options fill Settings, and the dispatcher checks the sizes of the
// chosen family and calls its generator once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "generators/families.hpp"
#include "graphfile/output/destinations.hpp"

namespace famgen {

// The family and its sizes (graph_type, first_size, second_size), then the output.
struct Settings : FamilyRequest {
  std::string output_name;
  // The options added to the three of old; a run without them is the single pass on one
  // thread, in the METIS text, with the generator's own numbering.
  std::optional<std::int32_t> threads;       // -threads N
  Format format = Format::kMetis;            // -format KEYWORD
  std::string unknown_format;                // a -format value that names no layout
  std::optional<std::int32_t> permute_seed;  // -permute SEED
  std::string coordinates_name;              // -coordinates FILE: the positions, beside the graph
};

// Fills settings from the argument vector, element 0 included. Unrecognised arguments are
// skipped silently; an option that is the last argument has no value and is ignored.
// Returns 1, always.
int parse_command_line(int argc, const char* const* argv, Settings& settings);

// Checks the sizes the chosen family needs and runs its generator, which hands its graph to the
// destination. Prints nothing itself: the outcome carries the usage text when no graph type was
// recognised, the message of a failed check (its length is the status) or the error.
Outcome dispatch_graph(const Settings& settings, const GraphDestination& destination);

// The same, into the file that settings name, with its layout, threads and numbering.
Outcome dispatch_graph(const Settings& settings);

// The outputs that settings ask for (the graph, and its coordinates with -coordinates), with
// their layouts, threads and numbering.
WriteOptions write_options(const Settings& settings);

// What a run without a recognised graph type prints on standard error.
std::string usage_text();

// The decimal value of a size token: leading white space, one optional sign, then digits up to
// the first non-digit. No digits give 0; a value past the 32-bit range saturates at its limit.
std::int32_t read_size_token(std::string_view token);

}  // namespace famgen
