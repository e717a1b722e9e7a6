#include "cli/command_line.hpp"

#include <array>
#include <cstring>
#include <limits>
#include <string_view>

#include "graphfile/graph_writer.hpp"

namespace {

constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";
constexpr std::string_view kSizeDelimiters = " ,\t\n";

enum class Option { kGraphType, kSize, kOut, kThreads, kFormat, kPermute };

struct OptionName {
  std::string_view name;
  Option option;
};

// Tested in this order; the first whose name starts the argument is taken.
constexpr std::array<OptionName, 6> kOptions{{
    {"-graphtype", Option::kGraphType},
    {"-size", Option::kSize},
    {"-out", Option::kOut},
    {"-threads", Option::kThreads},
    {"-format", Option::kFormat},
    {"-permute", Option::kPermute},
}};

struct FormatName {
  std::string_view keyword;
  Format format;
};

// Matched like the graph keywords, by prefix over the keyword's length; none is a prefix of
// another.
constexpr std::array<FormatName, 5> kFormats{{
    {"metis", Format::kMetis},
    {"parhip", Format::kParhip},
    {"scotch", Format::kScotch},
    {"mtx", Format::kMatrixMarket},
    {"edgelist", Format::kEdgeList},
}};

// What each family requires of its sizes, and what a run prints when they fall short.
struct Family {
  GraphType type;
  std::string_view keyword;
  std::int32_t first_size_above;  // first_size must be greater than this
  bool second_size_checked;       // second_size must then be greater than 0
  std::string_view message;
  std::string_view sizes;    // for the usage text
  std::string_view summary;  // for the usage text
};

constexpr std::string_view kGridMessage =
    "One or more grid dimensions are not available. Exiting.\n";
constexpr std::string_view kCompleteMessage = "setting is error. Exiting.\n";

// In code order, which is the order the keywords are tested in. No keyword is a prefix of
// another, so at most one can match.
constexpr std::array<Family, 13> kFamilies{{
    {GRAPH_GRID, "grid", 0, true, kGridMessage, "R,W", "R rows of W vertices (R, W >= 1)"},
    {GRAPH_FOLDED_GRID, "folded_grid", 0, true, kGridMessage, "R,W",
     "the grid with opposite corners joined"},
    {GRAPH_PARTIAL_GRID, "partial_grid", 0, true, kGridMessage, "R,W",
     "the grid without the horizontal edges of a middle band"},
    {GRAPH_PARTIAL_FOLDED_GRID, "partial_folded_grid", 0, true, kGridMessage, "R,W",
     "both of the above"},
    {GRAPH_CIRCLE, "circle", 0, false, "Circle perimeter is not available. Exiting.\n", "N",
     "the cycle of N vertices (N >= 1)"},
    {GRAPH_TREE, "tree", 0, false, "Tree depth is not available. Exiting.\n", "DEPTH",
     "complete binary tree of 2^DEPTH - 1 vertices (DEPTH >= 1)"},
    {GRAPH_TORUS, "torus", 0, true, "One or more torus dimensions are not available. Exiting.\n",
     "A,B", "A rings of B vertices, closed into a loop (A, B >= 1)"},
    {GRAPH_CYLINDER, "cylinder", 0, true,
     "One or more cylinder dimensions are not available. Exiting.\n", "A,B",
     "A rings of B vertices, open at both ends (A, B >= 1)"},
    {GRAPH_SIERPINSKI, "sierpinski", 0, false, "Sierpinski depth is not available. Exiting.\n",
     "DEPTH", "Sierpinski graph of 3(3^DEPTH + 1)/2 vertices (DEPTH 1 to 19)"},
    {GRAPH_HYPERCUBE, "hypercube", 1, false, "Hyper-cube dimension is not correct. Exiting.\n", "D",
     "hypercube of 2^D vertices (D >= 2)"},
    {GRAPH_STAR, "star", 2, false, "Star size must be greatwer than 2. Exiting.\n", "N",
     "hub 1 joined to the ring 2..N (N >= 3)"},
    {GRAPH_COMPLETEGRAPH, "completegraph", 0, false, kCompleteMessage, "N,C",
     "as below, vertex lines only (N >= 1)"},
    {GRAPH_UNCONNECTED_COMPLETEGRAPH, "unconnected_completegraph", 0, true, kCompleteMessage, "N,C",
     "C disjoint complete graphs of N vertices (N, C >= 1)"},
}};

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

void apply_graph_type(std::string_view value, Settings& settings) {
  for (const Family& family : kFamilies) {
    if (starts_with(value, family.keyword)) {
      settings.graph_type = family.type;
      return;
    }
  }
}

// Splits off the next token, skipping the delimiters before it; empty when none is left.
std::string_view next_token(std::string_view& rest) {
  const std::size_t start = rest.find_first_not_of(kSizeDelimiters);
  if (start == std::string_view::npos) {
    rest = {};
    return {};
  }
  rest.remove_prefix(start);
  const std::size_t end = std::min(rest.find_first_of(kSizeDelimiters), rest.size());
  const std::string_view token = rest.substr(0, end);
  rest.remove_prefix(end);
  return token;
}

void apply_sizes(std::string_view value, Settings& settings) {
  const std::string_view first = next_token(value);
  if (first.empty()) return;
  settings.first_size = read_size_token(first);
  const std::string_view second = next_token(value);
  if (!second.empty()) settings.second_size = read_size_token(second);
}

void apply_output_name(std::string_view value, Settings& settings) {
  const std::size_t start = value.find_first_not_of(kWhiteSpace);
  if (start == std::string_view::npos) return;
  value.remove_prefix(start);
  settings.output_name = std::string(value.substr(0, value.find_first_of(kWhiteSpace)));
}

void apply_format(std::string_view value, Settings& settings) {
  for (const FormatName& format : kFormats) {
    if (starts_with(value, format.keyword)) {
      settings.format = format.format;
      settings.unknown_format.clear();
      return;
    }
  }
  settings.unknown_format = std::string(value);
}

// A value with no number in it leaves the option as it was.
std::optional<std::int32_t> read_number(std::string_view value) {
  std::string_view rest = value;
  const std::string_view token = next_token(rest);
  if (token.empty()) return std::nullopt;
  return read_size_token(token);
}

std::string format_keywords() {
  std::string keywords;
  for (std::size_t i = 0; i < kFormats.size(); ++i) {
    if (i > 0) keywords += i + 1 == kFormats.size() ? " and " : ", ";
    keywords += kFormats[i].keyword;
  }
  return keywords;
}

bool sizes_pass(const Family& family, const Settings& settings) {
  if (settings.first_size <= family.first_size_above) return false;
  return !family.second_size_checked || settings.second_size > 0;
}

}  // namespace

std::int32_t read_size_token(std::string_view token) {
  std::size_t i = 0;
  while (i < token.size() && kWhiteSpace.find(token[i]) != std::string_view::npos)
    ++i;
  bool negative = false;
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
  // Accumulate in 64 bits and stop growing past the 32-bit range, so a long run of digits
  // saturates instead of overflowing.
  constexpr std::int64_t kCap = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i) {
    magnitude = std::min(magnitude * 10 + (token[i] - '0'), kCap);
  }
  if (negative) return static_cast<std::int32_t>(-magnitude);
  return static_cast<std::int32_t>(std::min<std::int64_t>(magnitude, kCap - 1));
}

int parse_command_line(int argc, const char* const* argv, Settings& settings) {
  for (int i = 0; i < argc; ++i) {
    const std::string_view argument = argv[i] != nullptr ? argv[i] : "";
    for (const OptionName& option : kOptions) {
      if (!starts_with(argument, option.name)) continue;
      if (i + 1 >= argc || argv[i + 1] == nullptr) break;  // no value: the option is ignored
      const std::string_view value = argv[++i];
      switch (option.option) {
        case Option::kGraphType:
          apply_graph_type(value, settings);
          break;
        case Option::kSize:
          apply_sizes(value, settings);
          break;
        case Option::kOut:
          apply_output_name(value, settings);
          break;
        case Option::kThreads:
          if (const auto threads = read_number(value)) settings.threads = threads;
          break;
        case Option::kFormat:
          apply_format(value, settings);
          break;
        case Option::kPermute:
          if (const auto seed = read_number(value)) settings.permute_seed = seed;
          break;
      }
      break;
    }
  }
  return 1;
}

std::string usage_text() {
  std::string text = "famgen " FAMGEN_VERSION
                     " writes one undirected graph of a standard family to a file.\n"
                     "\n"
                     "usage: famgen -graphtype KEYWORD -size N[,M] -out FILE\n"
                     "              [-format LAYOUT] [-threads N] [-permute SEED]\n"
                     "\n"
                     "keywords and their sizes:\n";
  for (const Family& family : kFamilies) {
    std::string entry = "  " + std::string(family.keyword) + " " + std::string(family.sizes);
    entry.resize(std::max<std::size_t>(entry.size() + 1, 34), ' ');
    text += entry + std::string(family.summary) + "\n";
  }
  text +=
      "\n"
      "options (each takes the next argument; a prefix of the name is enough):\n"
      "  -graphtype KEYWORD  the family, from the list above\n"
      "  -size N[,M]         its sizes, in one argument: 3,4 or \"3 4\"\n"
      "  -out FILE           the file to write; - is standard output\n"
      "  -format LAYOUT      " +
      format_keywords() +
      "; metis when not given\n"
      "  -threads N          format on N threads (0: one per core); the same bytes\n"
      "  -permute SEED       number the vertices at random, the same for the same SEED\n"
      "\n"
      "exit status: 0 the file is written; 1 refused before the file was touched (figures\n"
      "past 64 bits, no room on the disk, no memory, an unknown layout); 2 no graph type\n"
      "recognised (this text); 27 to 60 a size below its family's minimum (the message on\n"
      "standard output); 255 the file could not be opened, written or closed.\n"
      "\n"
      "More in man famgen.";
  return text;
}

WriteOptions write_options(const Settings& settings) {
  WriteOptions options;
  options.output_name = settings.output_name;
  options.format = settings.format;
  options.threads = settings.threads;
  if (settings.permute_seed) options.relabel_seed = *settings.permute_seed;
  return options;
}

Outcome dispatch_graph(const Settings& settings) {
  return dispatch_graph(settings, FileDestination(write_options(settings)));
}

Outcome dispatch_graph(const Settings& settings, const GraphDestination& destination) {
  if (settings.graph_type == GRAPH_NONE) return {kStatusUsage, {}, usage_text()};
  if (!settings.unknown_format.empty()) {
    return refused("unknown format '" + settings.unknown_format + "': the formats are " +
                   format_keywords());
  }
  const Family& family = kFamilies[static_cast<std::size_t>(settings.graph_type) - 1];
  if (!sizes_pass(family, settings)) {
    return {static_cast<int>(family.message.size()), std::string(family.message), {}};
  }

  const std::int32_t first = settings.first_size;
  const std::int32_t second = settings.second_size;
  switch (settings.graph_type) {
    case GRAPH_GRID:
      return generate_grid(first, second, destination, 0, 0);
    case GRAPH_FOLDED_GRID:
      return generate_grid(first, second, destination, 1, 0);
    case GRAPH_PARTIAL_GRID:
      return generate_grid(first, second, destination, 0, 1);
    case GRAPH_PARTIAL_FOLDED_GRID:
      return generate_grid(first, second, destination, 1, 1);
    case GRAPH_CIRCLE:
      return generate_circle(first, destination);
    case GRAPH_TREE:
      return generate_binary_tree(first, destination);
    case GRAPH_TORUS:
      return generate_torus(first, second, destination);
    case GRAPH_CYLINDER:
      return generate_cylinder(first, second, destination);
    case GRAPH_HYPERCUBE:
      return generate_hypercube(first, destination);
    case GRAPH_STAR:
      return generate_star(first, destination);
    case GRAPH_COMPLETEGRAPH:
      return generate_complete_graphs(first, second, destination, true);
    case GRAPH_UNCONNECTED_COMPLETEGRAPH:
      return generate_complete_graphs(first, second, destination, false);
    case GRAPH_SIERPINSKI:
      return generate_sierpinski(first, destination);
    case GRAPH_NONE:
      break;
  }
  return {};
}

std::optional<GraphCounts> counts_of(const Settings& settings) {
  const std::int32_t first = settings.first_size;
  const std::int32_t second = settings.second_size;
  switch (settings.graph_type) {
    case GRAPH_GRID:
      return grid_counts(first, second, false, false);
    case GRAPH_FOLDED_GRID:
      return grid_counts(first, second, true, false);
    case GRAPH_PARTIAL_GRID:
      return grid_counts(first, second, false, true);
    case GRAPH_PARTIAL_FOLDED_GRID:
      return grid_counts(first, second, true, true);
    case GRAPH_CIRCLE:
      return circle_counts(first);
    case GRAPH_TREE:
      return binary_tree_counts(first);
    case GRAPH_TORUS:
      return torus_counts(first, second);
    case GRAPH_CYLINDER:
      return cylinder_counts(first, second);
    case GRAPH_SIERPINSKI:
      return sierpinski_counts(first);
    case GRAPH_HYPERCUBE:
      return hypercube_counts(first);
    case GRAPH_STAR:
      return star_counts(first);
    case GRAPH_COMPLETEGRAPH:
    case GRAPH_UNCONNECTED_COMPLETEGRAPH:
      return complete_graphs_counts(first, second);
    case GRAPH_NONE:
      break;
  }
  return std::nullopt;
}
