#include "tests/graph_reader.hpp"

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <utility>

namespace famgen {

namespace {

// Splits at "\n"; the text must end with one, so the piece after the last is dropped.
std::vector<std::string> split_lines(const std::string& text, ReadGraph& graph) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      graph.format_faults.push_back("the last line has no line end");
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// Reads "%d"-formed numbers separated by single spaces; trailing_space tells whether the line
// ends with one space after its last number.
std::vector<std::int64_t> parse_numbers(const std::string& line, bool& trailing_space,
                                        std::vector<std::string>& faults) {
  std::vector<std::int64_t> numbers;
  trailing_space = false;
  std::size_t i = 0;
  while (i < line.size()) {
    const std::size_t end = std::min(line.find(' ', i), line.size());
    const std::string word = line.substr(i, end - i);
    const bool negative = !word.empty() && word[0] == '-';
    const std::string digits = negative ? word.substr(1) : word;
    const bool well_formed =
        !digits.empty() &&
        std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
        (digits == "0" || digits[0] != '0') && !(negative && digits == "0");
    if (!well_formed) {
      faults.push_back("not a number as %d writes it: '" + word + "' in '" + line + "'");
      return numbers;
    }
    numbers.push_back(std::stoll(word));
    if (end == line.size()) return numbers;
    if (end + 1 == line.size()) {
      trailing_space = true;
      return numbers;
    }
    i = end + 1;
  }
  return numbers;
}

}  // namespace

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream contents;
  contents << in.rdbuf();
  return contents.str();
}

ReadGraph parse_graph(const std::string& text, bool has_heading) {
  ReadGraph graph;
  graph.has_heading = has_heading;
  const std::vector<std::string> lines = split_lines(text, graph);
  std::size_t first_vertex_line = 0;
  if (has_heading) {
    if (lines.size() < 2 || lines[0].rfind("% ", 0) != 0) {
      graph.format_faults.push_back("no comment line and counts line");
      return graph;
    }
    graph.comment_line = lines[0];
    bool trailing = false;
    const std::vector<std::int64_t> counts = parse_numbers(lines[1], trailing, graph.format_faults);
    if (counts.size() < 2 || counts.size() > 4) {
      graph.format_faults.push_back("the counts line does not hold two to four numbers: " +
                                    lines[1]);
      return graph;
    }
    graph.vertex_count = counts[0];
    graph.edge_figure = counts[1];
    graph.counts_line_trailing_space = trailing;
    first_vertex_line = 2;
    if (counts.size() >= 3) {
      // fmt's digits, from the last: edge weights, vertex weights, vertex sizes.
      const std::int64_t fmt = counts[2];
      const bool digits_known = fmt == 0 || fmt == 1 || fmt == 10 || fmt == 11;
      if (!digits_known) graph.format_faults.push_back("fmt " + std::to_string(fmt) + " not read");
      graph.fmt = digits_known ? static_cast<int>(fmt) : 0;
    }
    graph.ncon = graph.fmt / 10 == 1 ? 1 : 0;
    if (counts.size() == 4) {
      if (graph.ncon == 0 || counts[3] < 1) {
        graph.format_faults.push_back("ncon " + std::to_string(counts[3]) + " with fmt " +
                                      std::to_string(graph.fmt));
      } else {
        graph.ncon = static_cast<int>(counts[3]);
      }
    }
  }
  const bool edge_weights = graph.fmt % 10 == 1;
  const auto ncon = static_cast<std::size_t>(graph.ncon);
  for (std::size_t k = first_vertex_line; k < lines.size(); ++k) {
    bool trailing = false;
    std::vector<std::int64_t> numbers = parse_numbers(lines[k], trailing, graph.format_faults);
    if (numbers.size() < ncon || (edge_weights && (numbers.size() - ncon) % 2 != 0)) {
      graph.format_faults.push_back("line " + std::to_string(k + 1) + " does not hold " +
                                    std::to_string(ncon) + " vertex weights and whole entries: '" +
                                    lines[k] + "'");
      numbers.resize(ncon + (numbers.size() < ncon ? 0 : (numbers.size() - ncon) / 2 * 2));
    }
    if (ncon == 0 && !edge_weights) {
      graph.adjacency.push_back(std::move(numbers));
      continue;
    }
    const auto entries_start = numbers.begin() + static_cast<std::ptrdiff_t>(ncon);
    if (ncon > 0) graph.vertex_weights.emplace_back(numbers.begin(), entries_start);
    if (!edge_weights) {
      graph.adjacency.emplace_back(entries_start, numbers.end());
      continue;
    }
    std::vector<std::int64_t> neighbours;
    std::vector<std::int64_t> weights;
    for (auto at = entries_start; at != numbers.end(); at += 2) {
      neighbours.push_back(at[0]);
      weights.push_back(at[1]);
    }
    graph.adjacency.push_back(std::move(neighbours));
    graph.edge_weights.push_back(std::move(weights));
  }
  if (!has_heading) graph.vertex_count = static_cast<std::int64_t>(graph.adjacency.size());
  return graph;
}

std::vector<std::string> check_graph(const ReadGraph& graph, bool check_edge_figure,
                                     std::int64_t edge_figure_factor) {
  std::vector<std::string> faults = graph.format_faults;
  const std::int64_t vertex_count = graph.vertex_count;
  if (static_cast<std::int64_t>(graph.adjacency.size()) != vertex_count) {
    faults.push_back("vertex lines: " + std::to_string(graph.adjacency.size()) + ", expected " +
                     std::to_string(vertex_count));
    return faults;
  }
  const bool edge_weights = !graph.edge_weights.empty();
  if (!graph.vertex_weights.empty() || graph.ncon > 0) {
    for (std::size_t k = 0; k < graph.vertex_weights.size(); ++k) {
      const auto& weights = graph.vertex_weights[k];
      if (weights.size() != static_cast<std::size_t>(graph.ncon) ||
          std::any_of(weights.begin(), weights.end(), [](std::int64_t w) { return w < 0; })) {
        faults.push_back("vertex " + std::to_string(k + 1) + " has not " +
                         std::to_string(graph.ncon) + " vertex weights of at least 0");
      }
    }
    if (graph.vertex_weights.size() != graph.adjacency.size())
      faults.push_back("vertex weights for " + std::to_string(graph.vertex_weights.size()) +
                       " of the " + std::to_string(graph.adjacency.size()) + " lines");
  }
  if (edge_weights && graph.edge_weights.size() != graph.adjacency.size()) {
    faults.push_back("edge weights for " + std::to_string(graph.edge_weights.size()) + " of the " +
                     std::to_string(graph.adjacency.size()) + " lines");
    return faults;
  }
  // Each entry v on u's line is the arc (u, v), with its weight w (0 in a file without edge
  // weights); the graph is undirected exactly when the arcs and the reversed arcs are the same
  // multiset, and its edges weigh the same from both ends when (u, v, w) and (v, u, w) are.
  struct Arc {
    std::int64_t from;
    std::int64_t to;
    std::int64_t weight;
    auto operator<=>(const Arc&) const = default;
  };
  std::vector<Arc> arcs;
  std::vector<Arc> reversed;
  for (std::int64_t u = 1; u <= vertex_count; ++u) {
    const auto& line = graph.adjacency[static_cast<std::size_t>(u - 1)];
    for (std::size_t j = 0; j < line.size(); ++j) {
      const std::int64_t v = line[j];
      const std::int64_t w =
          edge_weights ? graph.edge_weights[static_cast<std::size_t>(u - 1)][j] : 0;
      if (v < 1 || v > vertex_count) {
        faults.push_back("vertex " + std::to_string(u) + " lists " + std::to_string(v) +
                         ", outside 1.." + std::to_string(vertex_count));
        continue;
      }
      if (edge_weights && w < 1) {
        faults.push_back("edge " + std::to_string(u) + "-" + std::to_string(v) + " weighs " +
                         std::to_string(w));
      }
      arcs.push_back({u, v, w});
      reversed.push_back({v, u, w});
    }
  }
  std::sort(arcs.begin(), arcs.end());
  std::sort(reversed.begin(), reversed.end());
  const auto same_ends = [](const Arc& a, const Arc& b) {
    return a.from == b.from && a.to == b.to;
  };
  if (!std::equal(arcs.begin(), arcs.end(), reversed.begin(), reversed.end(), same_ends)) {
    const auto mismatch =
        std::mismatch(arcs.begin(), arcs.end(), reversed.begin(), reversed.end(), same_ends);
    std::string where = "edges not listed at both ends";
    if (mismatch.first != arcs.end()) {
      where += ", first near " + std::to_string(mismatch.first->from) + "-" +
               std::to_string(mismatch.first->to);
    }
    faults.push_back(where);
  } else if (arcs != reversed) {
    const auto mismatch = std::mismatch(arcs.begin(), arcs.end(), reversed.begin());
    faults.push_back("edge " + std::to_string(mismatch.first->from) + "-" +
                     std::to_string(mismatch.first->to) + " weighs " +
                     std::to_string(mismatch.first->weight) + " on one line and " +
                     std::to_string(mismatch.second->weight) + " on the other");
  }
  if (check_edge_figure && graph.has_heading &&
      static_cast<std::int64_t>(arcs.size()) * edge_figure_factor != 2 * graph.edge_figure) {
    faults.push_back("edge figure " + std::to_string(graph.edge_figure) + " against " +
                     std::to_string(arcs.size()) + " entries");
  }
  return faults;
}

bool has_self_loop(const ReadGraph& graph) {
  for (std::size_t k = 0; k < graph.adjacency.size(); ++k) {
    const auto& line = graph.adjacency[k];
    if (std::find(line.begin(), line.end(), static_cast<std::int64_t>(k + 1)) != line.end()) {
      return true;
    }
  }
  return false;
}

bool has_repeated_neighbour(const ReadGraph& graph) {
  for (auto line : graph.adjacency) {
    std::sort(line.begin(), line.end());
    if (std::adjacent_find(line.begin(), line.end()) != line.end()) return true;
  }
  return false;
}

ScratchFolder::ScratchFolder() {
  std::random_device random;
  root_ = std::filesystem::temp_directory_path() /
          ("famgen-test-" + std::to_string(random()) + std::to_string(random()));
  std::filesystem::create_directories(root_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

std::string joined_arguments(const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::string& argument : arguments) {
    if (!text.empty()) text += ' ';
    text.append(argument, 0, 40);
  }
  return text;
}

ProcessResult run_famgen(const std::vector<std::string>& arguments) {
  const ScratchFolder capture;
  std::string command = FAMGEN_BINARY;
  for (const std::string& argument : arguments) {
    std::string quoted = "'";
    for (const char c : argument)
      quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    command += " " + quoted + "'";
  }
  const auto out = capture.path("stdout");
  const auto err = capture.path("stderr");
  command += " >'" + out.string() + "' 2>'" + err.string() + "' </dev/null";
  const int raw = std::system(command.c_str());
  ProcessResult result;
  result.exit_status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.standard_output = read_file(out);
  result.standard_error = read_file(err);
  return result;
}

namespace {

std::vector<std::vector<std::string>> split_compact(const std::string& slash_separated) {
  // n slashes separate n + 1 lines, so "" is one empty line.
  std::vector<std::vector<std::string>> lines;
  std::size_t start = 0;
  while (start <= slash_separated.size()) {
    const std::size_t end = std::min(slash_separated.find('/', start), slash_separated.size());
    std::istringstream words(slash_separated.substr(start, end - start));
    start = end + 1;
    std::vector<std::string> numbers;
    std::string word;
    while (words >> word)
      numbers.push_back(word);
    lines.push_back(numbers);
  }
  return lines;
}

}  // namespace

std::string list_vertex_lines(const std::string& slash_separated) {
  std::string text;
  for (const auto& numbers : split_compact(slash_separated)) {
    for (const std::string& number : numbers)
      text += number + " ";
    text += "\n";
  }
  return text;
}

std::string fixed_vertex_lines(const std::string& slash_separated) {
  std::string text;
  for (const auto& numbers : split_compact(slash_separated)) {
    for (std::size_t k = 0; k < numbers.size(); ++k)
      text += (k ? " " : "") + numbers[k];
    text += "\n";
  }
  return text;
}

namespace {

std::uint64_t word_at(const std::string& bytes, std::size_t position) {
  std::uint64_t word = 0;
  for (int byte = 7; byte >= 0; --byte)
    word = word << 8 | static_cast<unsigned char>(bytes[position + static_cast<std::size_t>(byte)]);
  return word;
}

std::vector<std::int64_t> whitespace_numbers(const std::string& text) {
  std::vector<std::int64_t> numbers;
  std::istringstream in(text);
  std::int64_t number = 0;
  while (in >> number)
    numbers.push_back(number);
  return numbers;
}

}  // namespace

ParhipGraph read_parhip(const std::string& bytes) {
  ParhipGraph graph;
  if (bytes.size() < 24 || bytes.size() % 8 != 0) {
    graph.faults.push_back("not a whole number of 64-bit words past the heading");
    return graph;
  }
  graph.version = word_at(bytes, 0);
  graph.vertex_count = word_at(bytes, 8);
  graph.entry_count = word_at(bytes, 16);
  if ((graph.version & ~std::uint64_t{3}) != 0) {
    graph.faults.push_back("version " + std::to_string(graph.version) + " is not of 64-bit words");
    return graph;
  }
  const bool vertex_weights = (graph.version & 2) == 0;
  const bool edge_weights = (graph.version & 1) == 0;
  const std::uint64_t n = graph.vertex_count;
  const std::uint64_t m = graph.entry_count;
  const std::uint64_t words = bytes.size() / 8;
  if (words != 3 + n + 1 + m + (vertex_weights ? n : 0) + (edge_weights ? m : 0)) {
    graph.faults.push_back("the file holds " + std::to_string(words) +
                           " words for n = " + std::to_string(n) + ", m = " + std::to_string(m) +
                           ", version " + std::to_string(graph.version));
    return graph;
  }
  const std::uint64_t entries_end = 8 * (3 + n + 1 + m);
  for (std::uint64_t k = 0; k <= n; ++k)
    graph.offsets.push_back(word_at(bytes, 8 * (3 + k)));
  for (std::uint64_t k = 0; k < n; ++k) {
    std::vector<std::int64_t> neighbours;
    if (graph.offsets[k] > graph.offsets[k + 1] || graph.offsets[k + 1] > entries_end ||
        graph.offsets[k] % 8 != 0) {
      graph.faults.push_back("offset of vertex " + std::to_string(k) + " out of order");
      return graph;
    }
    for (std::uint64_t at = graph.offsets[k]; at < graph.offsets[k + 1]; at += 8)
      neighbours.push_back(static_cast<std::int64_t>(word_at(bytes, at)) + 1);
    graph.adjacency.push_back(neighbours);
  }
  // The weights follow the entries in the order of the entries: the k-th edge weight belongs to
  // the entry at offset start + 8k.
  std::uint64_t at = entries_end;
  if (vertex_weights) {
    for (std::uint64_t k = 0; k < n; ++k, at += 8)
      graph.vertex_weights.push_back(static_cast<std::int64_t>(word_at(bytes, at)));
  }
  if (edge_weights) {
    const std::uint64_t entries_start = n == 0 ? entries_end : graph.offsets[0];
    for (std::uint64_t k = 0; k < n; ++k) {
      std::vector<std::int64_t> weights;
      for (std::uint64_t entry = graph.offsets[k]; entry < graph.offsets[k + 1]; entry += 8)
        weights.push_back(static_cast<std::int64_t>(word_at(bytes, at + entry - entries_start)));
      graph.edge_weights.push_back(weights);
    }
  }
  return graph;
}

ScotchGraph read_scotch(const std::string& text) {
  ScotchGraph graph;
  std::istringstream lines(text);
  std::string version;
  std::string counts;
  std::string flags;
  std::getline(lines, version);
  std::getline(lines, counts);
  std::getline(lines, flags);
  const std::vector<std::int64_t> figures = whitespace_numbers(counts);
  // "1 LEV": numbered from 1; no labels, then whether edge loads and vertex loads are there.
  const bool flags_known = flags.size() == 5 && flags.rfind("1 0", 0) == 0 &&
                           (flags[3] == '0' || flags[3] == '1') &&
                           (flags[4] == '0' || flags[4] == '1');
  if (version != "0" || figures.size() != 2 || !flags_known) {
    graph.faults.push_back("heading '" + version + "|" + counts + "|" + flags + "'");
    return graph;
  }
  graph.vertex_count = figures[0];
  graph.arc_count = figures[1];
  graph.flags = flags.substr(2);
  const bool edge_loads = flags[3] == '1';
  const bool vertex_loads = flags[4] == '1';
  const std::size_t before_degree = vertex_loads ? 1 : 0;
  const std::size_t per_entry = edge_loads ? 2 : 1;
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::int64_t> numbers = whitespace_numbers(line);
    if (numbers.size() <= before_degree || numbers[before_degree] < 0 ||
        static_cast<std::size_t>(numbers[before_degree]) * per_entry !=
            numbers.size() - before_degree - 1) {
      graph.faults.push_back("a line whose degree does not count its neighbours: '" + line + "'");
      continue;
    }
    if (vertex_loads) graph.vertex_weights.push_back(numbers[0]);
    std::vector<std::int64_t> neighbours;
    std::vector<std::int64_t> loads;
    for (std::size_t at = before_degree + 1; at < numbers.size(); at += per_entry) {
      if (edge_loads) loads.push_back(numbers[at]);
      neighbours.push_back(numbers[at + per_entry - 1]);
    }
    graph.adjacency.push_back(neighbours);
    if (edge_loads) graph.edge_weights.push_back(loads);
  }
  return graph;
}

EdgeLines read_edge_lines(const std::string& text, char comment_mark, std::int64_t base) {
  EdgeLines result;
  std::istringstream lines(text);
  std::string line;
  bool figures_read = false;
  while (std::getline(lines, line)) {
    if (!line.empty() && line[0] == comment_mark) {
      result.comments.push_back(line);
      continue;
    }
    const std::vector<std::int64_t> numbers = whitespace_numbers(line);
    if (!figures_read && comment_mark == '%') {
      result.figures = numbers;
      figures_read = true;
      continue;
    }
    // The first edge line says whether the lines carry weights; the others must agree.
    const bool weighted = result.edges.empty() ? numbers.size() == 3 : !result.weights.empty();
    if (numbers.size() != (weighted ? 3u : 2u)) {
      result.faults.push_back(std::string("an edge line without ") + (weighted ? "three" : "two") +
                              " numbers: '" + line + "'");
      continue;
    }
    result.edges.emplace_back(numbers[0] + 1 - base, numbers[1] + 1 - base);
    if (weighted) result.weights.push_back(numbers[2]);
  }
  return result;
}

Points read_points(const std::string& text, int dimension, int decimals, bool labelled) {
  Points result;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::vector<std::string> fields;
    std::string word;
    while (words >> word)
      fields.push_back(word);
    const std::size_t expected = static_cast<std::size_t>(dimension) + (labelled ? 1 : 0);
    if (fields.size() != expected) {
      result.faults.push_back("not " + std::to_string(expected) + " fields: '" + line + "'");
      continue;
    }
    if (labelled && fields[0] != std::to_string(result.points.size() + 1)) {
      result.faults.push_back("label out of order: '" + line + "'");
    }
    std::vector<double> point;
    for (std::size_t k = labelled ? 1 : 0; k < fields.size(); ++k) {
      const std::string& number = fields[k];
      const std::size_t dot = number.find('.');
      const bool well_formed =
          decimals == 0 ? dot == std::string::npos
                        : dot != std::string::npos && dot > 0 &&
                              number.size() - dot - 1 == static_cast<std::size_t>(decimals);
      if (!well_formed)
        result.faults.push_back("not " + std::to_string(decimals) + " decimals: '" + number + "'");
      point.push_back(std::stod(number));
    }
    result.points.push_back(point);
  }
  return result;
}

}  // namespace famgen
