#include "graphfile/graph.hpp"

namespace famgen {

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
        line += std::to_string(*value++);  // "%d" of a 64-bit value
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

}  // namespace famgen
