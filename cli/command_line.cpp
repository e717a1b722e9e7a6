#include "cli/command_line.hpp"

#include <fcntl.h>

#include <algorithm>
#include <array>
#include <bitset>
#include <cerrno>
#include <limits>
#include <string_view>
#include <vector>

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
  kSimple,
  kProgress,
  kVertexWeights,
  kEdgeWeights,
  kSeed,
  kRadius,
};

struct OptionRow {
  std::string_view name;
  Option option;
  // What the option takes as its value, for the usage text; empty for a switch, which takes
  // none.
  std::string_view value;
  // One of famgen's own, added to the three of old: an argument near it is refused, and --NAME
  // is taken for it too. A slip in one of the three of old already fails loudly (no graph type,
  // a size message, no output file) and is not refused, so that those runs stay as they were.
  bool added;
  std::string_view summary;  // for the usage text; "\n" starts a line under the one before
};

// Tested in this order; the first whose name starts the argument is taken.
constexpr auto kOptions = std::to_array<OptionRow>({
    {"-graphtype", Option::kGraphType, "KEYWORD", false, "the family, from the list above"},
    {"-size", Option::kSize, "N[,M,...]", false,
     "its sizes, in one argument: 3,4 or \"3 4\" (the mesh: 1 to 8)"},
    {"-out", Option::kOut, "FILE", false, "the file to write; - is standard output"},
    {"-threads", Option::kThreads, "N", true,
     "format on N threads (0: one per core); the same bytes"},
    {"-format", Option::kFormat, "LAYOUT", true, "the layout, from the list below; metis if none"},
    {"-permute", Option::kPermute, "SEED", true,
     "number the vertices at random, the same for the same SEED\n"
     "(a whole number from 0 to 18446744073709551615)"},
    {"-coordinates", Option::kCoordinates, "FILE", true,
     "the position of every vertex, one line each, beside the graph"},
    {"-simple", Option::kSimple, "", true,
     "without self-loops and repeated neighbours, with true counts and\n"
     "heading lines in every family: the file METIS's tools accept"},
    {"-progress", Option::kProgress, "", true,
     "what is written, the rate and the time left, on standard error"},
    {"-stencil", Option::kStencil, "STENCIL", true,
     "the mesh's: star (one step along one axis, the default) or box\n"
     "(one step or none along every axis)"},
    {"-periodic", Option::kPeriodic, "AXES", true,
     "the mesh's axes that wrap around: all, none (the default), or a\n"
     "0 or 1 for each axis, as 1,0,1; rgg2d and rgg3d: all (the torus)\n"
     "or none"},
    {"-vertex-weights", Option::kVertexWeights, "MODELS", true,
     "a weight on every vertex for each model (1 to 8 constraints,\n"
     "separated by commas): uniform:LO-HI, constant:K, degree or\n"
     "bump:PEAK:VERTEX:RADIUS"},
    {"-edge-weights", Option::kEdgeWeights, "MODEL", true,
     "a weight on every edge: uniform:LO-HI, constant:K, length:SCALE\n"
     "or, for the mesh, axes:W1,W2,... (one weight for each axis)"},
    {"-seed", Option::kSeed, "N", true,
     "the seed of the random weights and of rgg2d's and rgg3d's points\n"
     "(0 to 18446744073709551615; 1 if none)"},
    {"-radius", Option::kRadius, "R", true,
     "rgg2d's and rgg3d's: points closer than R are joined (a decimal,\n"
     "0 < R <= 1; 0.55 (ln N / N)^(1/2) or ^(1/3) if none)"},
});

// Arguments that ask for something else than a graph; taken only as they stand, and heeded only
// by a run without a graph type.
struct RequestWord {
  std::string_view word;
  Request request;
};
constexpr auto kRequestWords = std::to_array<RequestWord>({
    {"-h", Request::kHelp},
    {"-help", Request::kHelp},
    {"--help", Request::kHelp},
    {"-V", Request::kVersion},
    {"-version", Request::kVersion},
    {"--version", Request::kVersion},
});

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The rows whose names are nearest to text, of those near it at all, in table order.
template <class Row, std::size_t kRows, class NameOf>
std::vector<const Row*> nearest(std::string_view text, const std::array<Row, kRows>& rows,
                                NameOf name_of) {
  std::vector<const Row*> found;
  int best = std::numeric_limits<int>::max();
  for (const Row& row : rows) {
    const std::optional<int> near = nearness(text, name_of(row));
    if (!near || *near > best) continue;
    if (*near < best) found.clear();
    best = *near;
    found.push_back(&row);
  }
  return found;
}

// " (did you mean a, b or c?)" for the names of rows, or nothing for none.
template <class Row, class NameOf>
std::string suggestion(const std::vector<const Row*>& rows, NameOf name_of) {
  if (rows.empty()) return {};
  std::string text = " (did you mean ";
  for (std::size_t k = 0; k < rows.size(); ++k) {
    if (k > 0) text += k + 1 == rows.size() ? " or " : ", ";
    text += name_of(*rows[k]);
  }
  return text + "?)";
}

void apply_graph_type(std::string_view value, Settings& settings) {
  for (const FamilyRow& family : kFamilies) {
    if (starts_with(value, family.keyword)) {
      settings.graph_type = family.type;
      return;
    }
  }
  const auto keyword = [](const FamilyRow& family) { return family.keyword; };
  settings.unrecognised = "unknown graph type '" + std::string(value) + "'" +
                          suggestion(nearest(value, kFamilies, keyword), keyword);
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
      settings.unknown_format.reset();
      known = true;
    }
  });
  if (!known) settings.unknown_format = std::string(value);
}

void apply_seed(std::string_view value, Settings& settings) {
  if (const std::optional<std::uint64_t> seed = read_seed(value)) {
    settings.permute_seed = seed;
    settings.unknown_seed.reset();
  } else {
    settings.unknown_seed = std::string(value);
  }
}

// The option that starts argument: by its name, or by --NAME for one of the added options.
const OptionRow* option_of(std::string_view argument) {
  for (const OptionRow& row : kOptions) {
    if (starts_with(argument, row.name)) return &row;
  }
  if (starts_with(argument, "--")) {
    for (const OptionRow& row : kOptions) {
      if (row.added && starts_with(argument.substr(1), row.name)) return &row;
    }
  }
  return nullptr;
}

// An argument that is no option: a request, a slip to refuse or remember, or nothing at all.
void note_unrecognised(std::string_view argument, Settings& settings) {
  for (const RequestWord& word : kRequestWords) {
    if (argument == word.word) {
      if (settings.request == Request::kGraph) settings.request = word.request;
      return;
    }
  }
  if (!starts_with(argument, "-")) return;
  // The first mistyped option decides the run's refusal: the rest need no look.
  if (!settings.mistyped_option.empty()) return;
  // Compared without their dashes, so that --fromat is as near -format as -fromat is.
  const std::string_view name = argument.substr(starts_with(argument, "--") ? 2 : 1);
  const std::vector<const OptionRow*> near =
      nearest(name, kOptions, [](const OptionRow& row) { return row.name.substr(1); });
  if (near.empty()) return;
  const std::string line = "unknown option '" + std::string(argument) + "'" +
                           suggestion(near, [](const OptionRow& row) { return row.name; });
  if (std::any_of(near.begin(), near.end(), [](const OptionRow* row) { return row->added; })) {
    if (settings.mistyped_option.empty()) settings.mistyped_option = line;
  } else if (settings.unrecognised.empty()) {
    settings.unrecognised = line;
  }
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

bool open_standard_descriptors() {
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    if (fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number: this one, since those below it are open.
    const int opened = open("/dev/null", descriptor == 0 ? O_WRONLY : O_RDONLY);
    if (opened != descriptor) return false;
  }
  return true;
}

int parse_command_line(int argc, const char* const* argv, Settings& settings) {
  settings.arguments_given = settings.arguments_given || argc > 1;
  for (int i = 0; i < argc; ++i) {
    const std::string_view argument = argv[i] != nullptr ? argv[i] : "";
    const OptionRow* const row = option_of(argument);
    if (row == nullptr) {
      note_unrecognised(argument, settings);
      continue;
    }
    if (row->option == Option::kSimple) {
      settings.simple = true;
      continue;
    }
    if (row->option == Option::kProgress) {
      settings.progress = true;
      continue;
    }
    if (i + 1 >= argc || argv[i + 1] == nullptr) continue;  // no value: the option is ignored
    const std::string_view value = argv[++i];
    switch (row->option) {
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
        // The whole value, as the library takes it: an added option, free of the first-word
        // rule of -out.
        settings.coordinates_unnamed = value.find_first_not_of(kWhiteSpace) == value.npos;
        settings.coordinates_name = settings.coordinates_unnamed ? "" : std::string(value);
        break;
      case Option::kThreads:
        if (const auto threads = read_number(value)) settings.threads = threads;
        break;
      case Option::kFormat:
        apply_format(value, settings);
        break;
      case Option::kPermute:
        apply_seed(value, settings);
        break;
      case Option::kStencil:
        read_stencil(value, settings);
        break;
      case Option::kPeriodic:
        read_periodic(value, settings);
        break;
      case Option::kVertexWeights:
        read_vertex_weights(value, settings);
        break;
      case Option::kEdgeWeights:
        read_edge_weights(value, settings);
        break;
      case Option::kSeed:
        read_weight_seed(value, settings);
        break;
      case Option::kRadius:
        read_radius(value, settings);
        break;
      case Option::kSimple:
      case Option::kProgress:
        break;  // switches, taken above
    }
  }
  return 1;
}

std::optional<int> nearness(std::string_view text, std::string_view name) {
  if (text.empty()) return std::nullopt;
  // Two edits make a text at most two letters longer than the name.
  if (text.size() > name.size() + 2) return std::nullopt;
  // Names are short: the text and the table's rows fit on the stack, with no allocation for
  // each of the names a mistyped word is held against.
  constexpr std::size_t kLongest = 62;
  if (name.size() > kLongest) return std::nullopt;
  char lowered[kLongest + 2];
  for (std::size_t k = 0; k < text.size(); ++k) {
    const char c = text[k];
    lowered[k] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  const std::string_view lower(lowered, text.size());
  if (lower.size() <= name.size() && name.substr(0, lower.size()) == lower) return 0;
  // Each edit brings at most one letter that the name lacks into place, so a text with three
  // such letters is far from the name and from each of its shortened forms.
  std::bitset<256> letters;
  for (const char c : name)
    letters.set(static_cast<unsigned char>(c));
  std::size_t foreign = 0;
  for (const char c : lower)
    foreign += !letters.test(static_cast<unsigned char>(c));
  if (foreign > 2) return std::nullopt;
  // Row i of the table holds the edits from the first i letters of text to the first j of name;
  // a transposition looks two rows back, so three rows are kept, in turn. Only counts of two or
  // less decide anything, and those lie within two of the diagonal (each step off it is an
  // edit): a row is worked out there alone, the cells just outside it held at three, "far".
  const std::size_t m = lower.size();
  const std::size_t n = name.size();
  constexpr int kFar = 3;
  int rows[3 * (kLongest + 1)];
  const auto row = [&](std::size_t i) { return rows + (i % 3) * (n + 1); };
  for (std::size_t j = 0; j <= std::min<std::size_t>(n, kFar); ++j)
    row(0)[j] = static_cast<int>(j);
  for (std::size_t i = 1; i <= m; ++i) {
    int* const edits = row(i);
    const int* const above = row(i - 1);
    if (i < kFar) {
      edits[0] = static_cast<int>(i);
    } else {
      edits[i - kFar] = kFar;
    }
    if (i + kFar <= n) edits[i + kFar] = kFar;
    for (std::size_t j = i > 2 ? i - 2 : 1; j <= std::min(n, i + 2); ++j) {
      const int substitution = above[j - 1] + (lower[i - 1] == name[j - 1] ? 0 : 1);
      int best = std::min({above[j] + 1, edits[j - 1] + 1, substitution});
      if (i > 1 && j > 1 && lower[i - 1] == name[j - 2] && lower[i - 2] == name[j - 1]) {
        best = std::min(best, row(i - 2)[j - 2] + 1);
      }
      edits[j] = std::min(best, kFar);
    }
  }
  const int* const last = row(m);
  if (m + 2 >= n && last[n] <= 2) return last[n];
  constexpr std::size_t kShortestForm = 4;
  for (std::size_t j = std::max(kShortestForm, m > 2 ? m - 2 : 0); j < std::min(n, m + 3); ++j) {
    if (last[j] <= 1) return 1;
  }
  return std::nullopt;
}

std::string error_lines(const std::string& error) {
  const std::string usage = usage_text();
  std::string_view message = error;
  std::string_view after;
  if (message.ends_with(usage)) {
    after = message.substr(message.size() - usage.size());
    message.remove_suffix(usage.size());
  }
  // The message's own line end, before the usage text, stays.
  const bool line_end = !after.empty() && message.ends_with('\n');
  if (line_end) message.remove_suffix(1);
  std::string lines;
  for (const char c : message) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      lines += "\\n";
    } else if (c == '\t') {
      lines += "\\t";
    } else if (byte < 0x20 || byte == 0x7f) {
      constexpr char kHex[] = "0123456789abcdef";
      lines += "\\x";
      lines += kHex[byte >> 4];
      lines += kHex[byte & 15];
    } else {
      lines += c;
    }
  }
  if (line_end) lines += '\n';
  lines += after;
  return lines;
}

std::string usage_text() {
  // Built once: a run that fails may ask for it more than once.
  static const std::string kText = [] {
    // The synopsis: the three of old, then the added options in brackets, wrapped.
    std::string text =
        "famgen " FAMGEN_VERSION " writes one undirected graph of a standard family to a file.\n\n";
    std::string line = "usage: famgen";
    for (const OptionRow& row : kOptions) {
      std::string part =
          std::string(row.name) + (row.value.empty() ? "" : " ") + std::string(row.value);
      if (row.added) part = "[" + part + "]";
      if (line.size() + 1 + part.size() > 78) {
        text += line + "\n";
        line = std::string(13, ' ');
      }
      line += " " + part;
    }
    text += line + "\n\nkeywords and their sizes:\n";
    for (const FamilyRow& family : kFamilies) {
      std::string entry = "  " + std::string(family.keyword) + " " + std::string(family.sizes);
      entry.resize(std::max<std::size_t>(entry.size() + 1, 34), ' ');
      text += entry + std::string(family.summary) + "\n";
    }
    text +=
        "\n"
        "options (an argument is an option when it begins with the option's name, and takes\n"
        "the next argument as its value where one is shown):\n";
    constexpr std::size_t kSummaryColumn = 22;
    for (const OptionRow& row : kOptions) {
      std::string entry = "  " + std::string(row.name) + " " + std::string(row.value);
      entry.resize(std::max(entry.size() + 1, kSummaryColumn), ' ');
      for (const char c : row.summary)
        entry += c == '\n' ? "\n" + std::string(kSummaryColumn, ' ') : std::string(1, c);
      text += entry + "\n";
    }
    text +=
        "The options after -out may be written --NAME too; an argument near one of them\n"
        "(-fromat, -perm) is refused. -h, -help, --help: this text on standard output;\n"
        "-V, -version, --version: the version.\n"
        "\n"
        "layouts: " +
        format_keywords() +
        "\n"
        "\n"
        "exit status: 0 the file is written; 1 refused before the file was touched (figures\n"
        "past 64 bits, no room on the disk, no memory, an unknown layout or seed); 2 no graph\n"
        "type recognised (this text) or a mistyped option; 27 to 60 a size below its family's\n"
        "minimum (the message on standard output); 255 the file could not be opened, written or\n"
        "closed.\n"
        "\n"
        "More in man famgen.";
    return text;
  }();
  return kText;
}

WriteOptions write_options(const Settings& settings) {
  RelabelSeed seed;
  if (settings.permute_seed) seed = *settings.permute_seed;
  WriteOptions options = file_outputs(settings.output_name, settings.format,
                                      settings.coordinates_name, settings.threads, seed);
  options.progress = settings.progress;
  return options;
}

Outcome dispatch_graph(const Settings& settings) {
  return dispatch_graph(settings, FileDestination(write_options(settings)));
}

Outcome dispatch_graph(const Settings& settings, const GraphDestination& destination) {
  if (settings.graph_type == GRAPH_NONE) {
    switch (settings.request) {
      case Request::kHelp:
        return {kStatusWritten, usage_text() + "\n", {}};
      case Request::kVersion:
        return {kStatusWritten, "famgen " FAMGEN_VERSION "\n", {}};
      case Request::kGraph:
        break;
    }
  }
  if (!settings.mistyped_option.empty()) {
    return {kStatusUsage, {}, "famgen: " + settings.mistyped_option};
  }
  if (settings.graph_type == GRAPH_NONE) {
    std::string why = settings.unrecognised;
    if (why.empty() && settings.arguments_given) why = "no graph type (give -graphtype KEYWORD)";
    return {kStatusUsage, {}, (why.empty() ? "" : "famgen: " + why + "\n") + usage_text()};
  }
  if (settings.unknown_format) return unknown_format(*settings.unknown_format);
  if (settings.unknown_seed) {
    return refused("-permute takes a seed from 0 to 18446744073709551615, not '" +
                   *settings.unknown_seed + "'");
  }
  if (settings.coordinates_unnamed) {
    return refused("-coordinates names no file (give a file name, or - for standard output)");
  }
  return write_request(settings, destination, settings.simple);
}

}  // namespace famgen
