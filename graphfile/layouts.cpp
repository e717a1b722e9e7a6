#include "graphfile/layouts.hpp"

#include <algorithm>
#include <limits>

namespace {

std::string decimal_text(std::int64_t value) {
  char digits[32];
  return std::string(digits, decimal::write_signed(digits, value));
}

std::string relabel_note(RelabelSeed seed) {
  return seed ? ", relabelled at random with seed " + decimal_text(*seed) : "";
}

void append_word(std::string& bytes, std::uint64_t word) {
  for (int byte = 0; byte < 8; ++byte)
    bytes += static_cast<char>(word >> (8 * byte) & 0xff);
}

std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) {
  std::uint64_t sum = 0;
  return __builtin_add_overflow(a, b, &sum) ? std::numeric_limits<std::uint64_t>::max() : sum;
}

std::uint64_t saturating_multiply(std::uint64_t a, std::uint64_t b) {
  std::uint64_t product = 0;
  return __builtin_mul_overflow(a, b, &product) ? std::numeric_limits<std::uint64_t>::max()
                                                : product;
}

std::int64_t decimal_digits(std::uint64_t value) {
  std::int64_t digits = 1;
  for (; value >= 10; value /= 10)
    ++digits;
  return digits;
}

}  // namespace

std::string comment_line(std::string_view format, std::initializer_list<std::int64_t> values) {
  std::string line;
  const std::int64_t* value = values.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size()) {
      if (format[i + 1] == '%') {
        line += '%';
        ++i;
        continue;
      }
      if (format[i + 1] == 'd' && value != values.end()) {
        line += decimal_text(*value++);
        ++i;
        continue;
      }
    }
    line += format[i];
  }
  return line;
}

GraphFacts graph_facts(GraphCounts counts, std::string comment, CountsLineEnd counts_line_end) {
  GraphFacts facts;
  facts.counts = counts;
  facts.title = comment.substr(comment.rfind("% ", 0) == 0 ? 2 : 0);
  if (!facts.title.empty() && facts.title.back() == '\n') facts.title.pop_back();
  facts.comment_line = std::move(comment);
  facts.counts_line_end = counts_line_end;
  return facts;
}

std::string layout_heading(Format format, const GraphFacts& facts, RelabelSeed seed) {
  const std::int64_t lines = facts.line_count();
  const std::int64_t arcs = facts.counts.arcs;
  const std::int64_t edge_lines = edge_lines_of(arcs, facts.counts.loop_arcs);
  switch (format) {
    case Format::kMetis: {
      if (!facts.has_heading) return {};
      std::string heading = facts.comment_line;
      if (seed && !heading.empty() && heading.back() == '\n') {
        heading.insert(heading.size() - 1, relabel_note(seed));
      }
      heading += decimal_text(facts.counts.vertices) + " " + decimal_text(facts.counts.edges);
      heading += facts.counts_line_end == CountsLineEnd::kSpaceThenNewline ? " \n" : "\n";
      return heading;
    }
    case Format::kParhip: {
      std::string heading;
      append_word(heading, kParhipVersion);
      append_word(heading, static_cast<std::uint64_t>(lines));
      append_word(heading, static_cast<std::uint64_t>(arcs));
      return heading;
    }
    case Format::kScotch:
      return "0\n" + decimal_text(lines) + " " + decimal_text(arcs) + "\n1 000\n";
    case Format::kMatrixMarket:
      return "%%MatrixMarket matrix coordinate pattern symmetric\n% " + facts.title +
             relabel_note(seed) + "\n" + decimal_text(lines) + " " + decimal_text(lines) + " " +
             decimal_text(edge_lines) + "\n";
    case Format::kEdgeList:
      return "# " + facts.title + relabel_note(seed) + ": " + decimal_text(lines) + " vertices, " +
             decimal_text(edge_lines) + " edges\n";
  }
  return {};
}

int layout_sections(Format format) {
  return format == Format::kParhip ? 2 : 1;
}

std::uint64_t layout_lower_bound(Format format, const GraphFacts& facts,
                                 std::uint64_t heading_bytes) {
  const auto lines = static_cast<std::uint64_t>(facts.line_count());
  const auto arcs = static_cast<std::uint64_t>(std::max<std::int64_t>(0, facts.counts.arcs));
  const auto edge_lines = static_cast<std::uint64_t>(
      std::max<std::int64_t>(0, edge_lines_of(facts.counts.arcs, facts.counts.loop_arcs)));
  std::uint64_t body = 0;
  switch (format) {
    case Format::kMetis:  // a digit and a separator an entry
      body = saturating_multiply(2, arcs);
      break;
    case Format::kParhip:  // exactly: a word an offset and an entry
      body = saturating_multiply(8, saturating_add(saturating_add(lines, 1), arcs));
      break;
    case Format::kScotch:  // a degree and each entry, a digit and a separator each
      body = saturating_multiply(2, saturating_add(lines, arcs));
      break;
    case Format::kMatrixMarket:
    case Format::kEdgeList:  // two numbers a line
      body = saturating_multiply(4, edge_lines);
      break;
  }
  return saturating_add(heading_bytes, body);
}

double estimated_line_bytes(Format format, int section, const GraphFacts& facts) {
  const double lines = static_cast<double>(std::max<Vertex>(1, facts.line_count()));
  const double arcs = static_cast<double>(facts.counts.arcs);
  const double number =
      static_cast<double>(decimal_digits(static_cast<std::uint64_t>(facts.line_count()))) + 1;
  switch (format) {
    case Format::kMetis:
      return arcs / lines * number + 1;
    case Format::kParhip:
      return section == 0 ? 8 : 8 * arcs / lines;
    case Format::kScotch:
      return (arcs / lines + 1) * number;
    case Format::kMatrixMarket:
    case Format::kEdgeList:
      return static_cast<double>(edge_lines_of(facts.counts.arcs, facts.counts.loop_arcs)) / lines *
             2 * number;
  }
  return 1;
}

bool section_counts_earlier_entries(Format format, int section) {
  return format == Format::kParhip && section == 0;
}

void rebase_section(Format format, int section, char* begin, char* end,
                    std::uint64_t entries_before) {
  if (section_counts_earlier_entries(format, section)) {
    rebase_parhip_offsets(begin, end, entries_before);
  }
}
