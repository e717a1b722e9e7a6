// The circle: vertex i joined to i - 1 and i + 1, vertex n back to vertex 1.
#pragma once

#include "graphfile/graph.hpp"

namespace famgen {

inline std::optional<GraphCounts> circle_counts(std::int32_t n) {
  return GraphCounts{n, n, 2 * std::int64_t{n}, n == 1 ? 2 : 0};
}

struct Circle {
  Vertex n;

  GraphFacts facts() const {
    return graph_facts(*circle_counts(static_cast<std::int32_t>(n)),
                       comment_line("%% %d vertices circle\n", {n}), CountsLineEnd::kNewline);
  }

  // The two wrap-arounds are tested apart, so that with n = 1 both fall on the one line and
  // the vertex names itself twice.
  template <class Sink>
  void write_lines(Vertex first, Vertex last, Sink& sink) const {
    for (Vertex i = first; i <= last; ++i) {
      const Vertex previous = i == 1 ? n : i - 1;
      const Vertex next = i == n ? 1 : i + 1;
      sink.write_fixed_line(previous, next);
    }
  }
};

template <class Use>
Outcome generate_circle(std::int32_t first_size, Use&& use) {
  return use(Circle{first_size});
}

}  // namespace famgen
