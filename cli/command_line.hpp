// The command line: three options fill Settings, and the dispatcher checks the sizes of the
// chosen family and calls its generator once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "generators/generators.hpp"
#include "graphfile/graph_writer.hpp"

// The family code; the values follow the order in which the keywords are tested.
enum GraphType : std::int32_t {
  GRAPH_NONE = 0,
  GRAPH_GRID = 1,
  GRAPH_FOLDED_GRID = 2,
  GRAPH_PARTIAL_GRID = 3,
  GRAPH_PARTIAL_FOLDED_GRID = 4,
  GRAPH_CIRCLE = 5,
  GRAPH_TREE = 6,
  GRAPH_TORUS = 7,
  GRAPH_CYLINDER = 8,
  GRAPH_SIERPINSKI = 9,
  GRAPH_HYPERCUBE = 10,
  GRAPH_STAR = 11,
  GRAPH_COMPLETEGRAPH = 12,
  GRAPH_UNCONNECTED_COMPLETEGRAPH = 13,
};

struct Settings {
  GraphType graph_type = GRAPH_NONE;
  std::int32_t first_size = 0;
  std::int32_t second_size = 0;
  std::string output_name;
  // The options added to the three of old; a run without them is the single pass on one
  // thread, in the METIS text, with the generator's own numbering.
  std::optional<std::int32_t> threads;       // -threads N
  Format format = Format::kMetis;            // -format KEYWORD
  std::string unknown_format;                // a -format value that names no layout
  std::optional<std::int32_t> permute_seed;  // -permute SEED
};

// The exit status of a run in which no graph type was recognised; standard error then holds
// the usage text.
inline constexpr int kStatusUsage = 2;

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

// The output that settings ask for: file name, layout, threads and numbering.
WriteOptions write_options(const Settings& settings);

// What a run without a recognised graph type prints on standard error.
std::string usage_text();

// The counts of the graph that settings name, without writing it: nothing for GRAPH_NONE or
// for figures that do not fit in 64 bits. Lets a caller judge a run's size before dispatch.
std::optional<GraphCounts> counts_of(const Settings& settings);

// The decimal value of a size token: leading white space, one optional sign, then digits up to
// the first non-digit. No digits give 0; a value past the 32-bit range saturates at its limit.
std::int32_t read_size_token(std::string_view token);
