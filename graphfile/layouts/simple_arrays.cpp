// The simple graph's arrays for every family, through virtual calls: one instantiation of the
// arrays over SimpleLines serves them all, as the files' simple graphs do.
#include "graphfile/layouts/family_arrays.hpp"
#include "graphfile/simple_graph.hpp"

namespace famgen {

Outcome fill_simple_arrays(const VirtualFamily& family, const GraphFacts& family_facts,
                           const ArrayTarget& target) {
  const SimpleLines lines(family);
  const GraphFacts facts = simple_facts(family_facts);
  return target.fill(
      FamilyArrays<FamilyThroughCalls>(FamilyThroughCalls(lines, facts.dimension), facts));
}

}  // namespace famgen
