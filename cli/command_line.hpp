// The command line: the options fill Settings, and the dispatcher checks the sizes of the
// chosen family and calls its generator once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "generators/families.hpp"
#include "graphfile/output/destinations.hpp"

namespace famgen {

// What a run without a graph type may ask for instead.
enum class Request { kGraph, kHelp, kVersion };

// The family and its sizes (graph_type, first_size, second_size), then the output.
struct Settings : FamilyRequest {
  std::string output_name;
  // The options added to the three of old; a run without them is the single pass on one
  // thread, in the METIS text, with the generator's own numbering.
  Format format = Format::kMetis;             // -format KEYWORD
  std::optional<std::string> unknown_format;  // a -format value that names no layout
  std::optional<std::uint64_t> permute_seed;  // -permute SEED
  std::optional<std::string> unknown_seed;    // a -permute value that is no seed
  std::string coordinates_name;               // -coordinates FILE: the positions, beside it
  bool coordinates_unnamed = false;           // a -coordinates value of white space alone
  bool simple = false;                        // -simple: without self-loops and repeats
  bool progress = false;                      // -progress: on standard error

  // What the parser noticed besides the options.
  Request request = Request::kGraph;  // -h, -help, --help; -V, -version, --version
  // An argument near one of the added options (a slip or a shortened form), which the run
  // refuses: the line that says so, without "famgen: ". Empty when there was none.
  std::string mistyped_option;
  // Why no graph type was recognised, for the line before the usage text: a -graphtype value
  // that names no keyword, an argument near one of the three options of old. Empty when
  // nothing was given that looked like either.
  std::string unrecognised;
  bool arguments_given = false;  // anything past the program's name
};

// Makes sure that descriptors 0, 1 and 2 are open before the program opens anything, so that
// no output takes their numbers and receives what is meant for the standard streams: a closed
// one is opened on /dev/null the wrong way round (standard input for writing, standard output
// and error for reading), so that using it fails instead of reaching a file. Returns false
// when one cannot be opened.
bool open_standard_descriptors();

// Fills settings from the argument vector, element 0 included. Unrecognised arguments are
// skipped silently, except those near one of the added options, which are noted to be refused;
// an option that is the last argument has no value and is ignored. Returns 1, always.
int parse_command_line(int argc, const char* const* argv, Settings& settings);

// Checks the sizes the chosen family needs and runs its generator, which hands its graph to the
// destination (as its simple graph with -simple). Prints nothing itself: the outcome carries
// the usage text or the version when asked for, the usage text when no graph type was
// recognised, the message of a failed check (its length is the status) or the error.
Outcome dispatch_graph(const Settings& settings, const GraphDestination& destination);

// The same, into the file that settings name, with its layout, threads and numbering.
Outcome dispatch_graph(const Settings& settings);

// The outputs that settings ask for (the graph, and its coordinates with -coordinates), with
// their layouts, threads and numbering.
WriteOptions write_options(const Settings& settings);

// What -help prints on standard output, and a run without a recognised graph type on standard
// error.
std::string usage_text();

// The error text of an outcome as standard error shows it: a control character that a value
// quoted in it holds (a line end, a tab) written as an escape (\n, \t, \x1b), so that a
// message of one line stays one line; the usage text after a message is left as it is.
std::string error_lines(const std::string& error);

// The decimal value of a size token: leading white space, one optional sign, then digits up to
// the first non-digit. No digits give 0; a value past the 32-bit range saturates at its limit.
std::int32_t read_size_token(std::string_view token);

// How near text is to name, in any letter case: 0 when it is a shortened form of it (a
// prefix), otherwise the edits (insertions, deletions, substitutions, transpositions of
// neighbours) from text to name, when at most two, or to a shortened form of at least four
// letters, when one (coords for coordinates). Nothing when farther, or for an empty text.
std::optional<int> nearness(std::string_view text, std::string_view name);

}  // namespace famgen
