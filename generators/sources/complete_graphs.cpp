// The complete graphs' unit: the lines of both keywords in every layout and numbering,
// instantiated here alone.
#include "generators/complete_graphs.hpp"

#include "generators/generators.hpp"
#include "graphfile/layouts/family_source.hpp"

namespace famgen {

Outcome generate_complete_graphs(std::int32_t first_size, std::int32_t second_size,
                                 const FamilyUse& use, bool header_suppressed) {
  return use_family(CompleteGraphs{first_size, second_size, header_suppressed}, use);
}

}  // namespace famgen
