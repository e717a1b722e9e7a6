// The Sierpinski graph: the triangle (1, 2, 3) subdivided depth times into its three corner
// triangles. Vertex numbers are handed out in pre-order of the subdivision, and a vertex's
// neighbours come from the two smallest triangles it joins: the graph is built in its store
// (sierpinski_store.hpp) before its lines are written.
#pragma once

#include <memory>

#include "generators/sierpinski_store.hpp"

namespace famgen {

struct Sierpinski {
  std::int32_t depth;
  std::shared_ptr<const SierpinskiBuild> build;  // made by prepare()

  std::optional<std::string> refusal() const {
    if (sierpinski_counts(depth) && depth <= kDeepestSierpinskiDepth) return std::nullopt;
    return "a Sierpinski graph of depth " + std::to_string(depth) +
           " has more vertices than famgen can build (depth 1 to " +
           std::to_string(kDeepestSierpinskiDepth) + ")";
  }

  std::optional<std::string> prepare() {
    auto built = std::make_shared<const SierpinskiBuild>(depth);
    if (!built->built()) {
      return "cannot allocate " + std::to_string(built->store_bytes()) +
             " bytes for the Sierpinski graph of depth " + std::to_string(depth);
    }
    build = std::move(built);
    return std::nullopt;
  }

  GraphFacts facts() const {
    const GraphCounts counts = *sierpinski_counts(depth);
    return graph_facts(counts,
                       comment_line("%% Sierpinski graph: Depth %d, %d vertices, %d edges\n",
                                    {depth, counts.vertices, counts.edges}),
                       CountsLineEnd::kSpaceThenNewline);
  }

  template <class Sink>
  void write_lines(Vertex first, Vertex last, Sink& sink) const {
    for (Vertex k = first; k <= last; ++k) {
      const NeighbourList& list = build->neighbours_of(static_cast<std::size_t>(k));
      Vertex neighbours[4];
      for (std::int32_t slot = 0; slot < list.count; ++slot)
        neighbours[slot] = list.neighbours[slot];
      sink.write_list_line(neighbours, list.count);
    }
  }
};

template <class Use>
Outcome generate_sierpinski(std::int32_t first_size, Use&& use) {
  return use(Sierpinski{first_size, nullptr});
}

}  // namespace famgen
