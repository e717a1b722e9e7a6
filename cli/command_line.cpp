#include "cli/command_line.hpp"

#include <array>
#include <cstring>
#include <limits>
#include <string_view>

namespace {

constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";
constexpr std::string_view kSizeDelimiters = " ,\t\n";

enum class Option { kGraphType, kSize, kOut };

struct OptionName {
  std::string_view name;
  Option option;
};

// Tested in this order; the first whose name starts the argument is taken.
constexpr std::array<OptionName, 3> kOptions{{
    {"-graphtype", Option::kGraphType},
    {"-size", Option::kSize},
    {"-out", Option::kOut},
}};

// What each family requires of its sizes, and what a run prints when they fall short.
struct Family {
  GraphType type;
  std::string_view keyword;
  std::int32_t first_size_above;  // first_size must be greater than this
  bool second_size_checked;       // second_size must then be greater than 0
  std::string_view message;
};

constexpr std::string_view kGridMessage =
    "One or more grid dimensions are not available. Exiting.\n";
constexpr std::string_view kCompleteMessage = "setting is error. Exiting.\n";

// In code order, which is the order the keywords are tested in. No keyword is a prefix of
// another, so at most one can match.
constexpr std::array<Family, 13> kFamilies{{
    {GRAPH_GRID, "grid", 0, true, kGridMessage},
    {GRAPH_FOLDED_GRID, "folded_grid", 0, true, kGridMessage},
    {GRAPH_PARTIAL_GRID, "partial_grid", 0, true, kGridMessage},
    {GRAPH_PARTIAL_FOLDED_GRID, "partial_folded_grid", 0, true, kGridMessage},
    {GRAPH_CIRCLE, "circle", 0, false, "Circle perimeter is not available. Exiting.\n"},
    {GRAPH_TREE, "tree", 0, false, "Tree depth is not available. Exiting.\n"},
    {GRAPH_TORUS, "torus", 0, true, "One or more torus dimensions are not available. Exiting.\n"},
    {GRAPH_CYLINDER, "cylinder", 0, true,
     "One or more cylinder dimensions are not available. Exiting.\n"},
    {GRAPH_SIERPINSKI, "sierpinski", 0, false, "Sierpinski depth is not available. Exiting.\n"},
    {GRAPH_HYPERCUBE, "hypercube", 1, false, "Hyper-cube dimension is not correct. Exiting.\n"},
    {GRAPH_STAR, "star", 2, false, "Star size must be greatwer than 2. Exiting.\n"},
    {GRAPH_COMPLETEGRAPH, "completegraph", 0, false, kCompleteMessage},
    {GRAPH_UNCONNECTED_COMPLETEGRAPH, "unconnected_completegraph", 0, true, kCompleteMessage},
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
      }
      break;
    }
  }
  return 1;
}

Outcome dispatch_graph(const Settings& settings) {
  if (settings.graph_type == GRAPH_NONE) return {};
  const Family& family = kFamilies[static_cast<std::size_t>(settings.graph_type) - 1];
  if (!sizes_pass(family, settings)) {
    return {static_cast<int>(family.message.size()), std::string(family.message), {}};
  }

  const std::int32_t first = settings.first_size;
  const std::string& name = settings.output_name;
  const std::int32_t second = settings.second_size;
  switch (settings.graph_type) {
    case GRAPH_GRID:
      return generate_grid(first, second, name, 0, 0);
    case GRAPH_FOLDED_GRID:
      return generate_grid(first, second, name, 1, 0);
    case GRAPH_PARTIAL_GRID:
      return generate_grid(first, second, name, 0, 1);
    case GRAPH_PARTIAL_FOLDED_GRID:
      return generate_grid(first, second, name, 1, 1);
    case GRAPH_CIRCLE:
      return generate_circle(first, name);
    case GRAPH_TREE:
      return generate_binary_tree(first, name);
    case GRAPH_TORUS:
      return generate_torus(first, second, name);
    case GRAPH_CYLINDER:
      return generate_cylinder(first, second, name);
    case GRAPH_HYPERCUBE:
      return generate_hypercube(first, name);
    case GRAPH_STAR:
      return generate_star(first, name);
    case GRAPH_COMPLETEGRAPH:
      return generate_complete_graphs(first, second, name, true);
    case GRAPH_UNCONNECTED_COMPLETEGRAPH:
      return generate_complete_graphs(first, second, name, false);
    case GRAPH_SIERPINSKI:
      return generate_sierpinski(first, name);
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
