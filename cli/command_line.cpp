#include "cli/command_line.hpp"

#include <array>
#include <limits>
#include <string_view>

#include "graphfile/layouts/layouts.hpp"
#include "library/request.hpp"

namespace famgen {

namespace {

constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";

enum class Option {
  kGraphType,
  kSize,
  kOut,
  kThreads,
  kFormat,
  kPermute,
  kCoordinates,
  kStencil,
  kPeriodic,
};

struct OptionName {
  std::string_view name;
  Option option;
};

// Tested in this order; the first whose name starts the argument is taken.
constexpr auto kOptions = std::to_array<OptionName>({
    {"-graphtype", Option::kGraphType},
    {"-size", Option::kSize},
    {"-out", Option::kOut},
    {"-threads", Option::kThreads},
    {"-format", Option::kFormat},
    {"-permute", Option::kPermute},
    {"-coordinates", Option::kCoordinates},
    {"-stencil", Option::kStencil},
    {"-periodic", Option::kPeriodic},
});

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

void apply_graph_type(std::string_view value, Settings& settings) {
  for (const FamilyRow& family : kFamilies) {
    if (starts_with(value, family.keyword)) {
      settings.graph_type = family.type;
      return;
    }
  }
}

// The first two numbers are the sizes of every family; the mesh takes every number of the
// value, one per axis.
void apply_sizes(std::string_view value, Settings& settings) {
  const std::string_view first = next_size_token(value);
  if (first.empty()) return;
  settings.first_size = read_size_token(first);
  settings.sizes = {settings.first_size};
  const std::string_view second = next_size_token(value);
  if (second.empty()) return;
  settings.second_size = read_size_token(second);
  settings.sizes.push_back(settings.second_size);
  for (std::string_view token = next_size_token(value); !token.empty();
       token = next_size_token(value))
    settings.sizes.push_back(read_size_token(token));
}

// The value's first word; a value without one leaves the name as it was.
void apply_name(std::string_view value, std::string& name) {
  const std::size_t start = value.find_first_not_of(kWhiteSpace);
  if (start == std::string_view::npos) return;
  value.remove_prefix(start);
  name = std::string(value.substr(0, value.find_first_of(kWhiteSpace)));
}

// Matched like the graph keywords, by prefix over the keyword's length; none is a prefix of
// another.
void apply_format(std::string_view value, Settings& settings) {
  bool known = false;
  for_each_format([&](Format format) {
    if (!known && starts_with(value, format_keyword(format))) {
      settings.format = format;
      settings.unknown_format.clear();
      known = true;
    }
  });
  if (!known) settings.unknown_format = std::string(value);
}

// A value with no number in it leaves the option as it was.
std::optional<std::int32_t> read_number(std::string_view value) {
  std::string_view rest = value;
  const std::string_view token = next_size_token(rest);
  if (token.empty()) return std::nullopt;
  return read_size_token(token);
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
          apply_name(value, settings.output_name);
          break;
        case Option::kCoordinates:
          apply_name(value, settings.coordinates_name);
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
        case Option::kStencil:
          read_stencil(value, settings);
          break;
        case Option::kPeriodic:
          read_periodic(value, settings);
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
                     "              [-format LAYOUT] [-coordinates FILE] [-threads N]\n"
                     "              [-permute SEED] [-stencil STENCIL] [-periodic AXES]\n"
                     "\n"
                     "keywords and their sizes:\n";
  for (const FamilyRow& family : kFamilies) {
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
      "  -coordinates FILE   the position of every vertex, one line each, beside the graph\n"
      "  -threads N          format on N threads (0: one per core); the same bytes\n"
      "  -permute SEED       number the vertices at random, the same for the same SEED\n"
      "  -stencil STENCIL    the mesh's: star (one step along one axis, the default) or box\n"
      "                      (one step or none along every axis)\n"
      "  -periodic AXES      the mesh's axes that wrap around: all, none (the default), or a\n"
      "                      0 or 1 for each axis, as 1,0,1\n"
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
  RelabelSeed seed;
  if (settings.permute_seed) seed = *settings.permute_seed;
  return file_outputs(settings.output_name, settings.format, settings.coordinates_name,
                      settings.threads, seed);
}

Outcome dispatch_graph(const Settings& settings) {
  return dispatch_graph(settings, FileDestination(write_options(settings)));
}

Outcome dispatch_graph(const Settings& settings, const GraphDestination& destination) {
  if (settings.graph_type == GRAPH_NONE) return {kStatusUsage, {}, usage_text()};
  if (!settings.unknown_format.empty()) return unknown_format(settings.unknown_format);
  return write_request(settings, destination);
}

}  // namespace famgen
