#include "generators/families.hpp"

namespace famgen {

std::optional<GraphCounts> family_counts(const FamilyRequest& request) {
  GraphFacts facts;
  if (request.graph_type == GRAPH_NONE || make_family(request, facts_into(facts)).status != 0) {
    return std::nullopt;
  }
  return facts.counts;
}

}  // namespace famgen
