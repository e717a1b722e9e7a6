// The complete graphs' arrays for the library, in both index widths and numberings,
// instantiated here alone, in a unit that only the library holds.
#include "generators/complete_graphs.hpp"
#include "generators/generators.hpp"
#include "graphfile/layouts/family_arrays.hpp"

namespace famgen {

Outcome generate_complete_graphs(std::int32_t first_size, std::int32_t second_size,
                                 const ArrayUse& use, bool header_suppressed) {
  return use_family(CompleteGraphs{first_size, second_size, header_suppressed}, use);
}

}  // namespace famgen
