// The grid family's unit: the four keywords' lines in every layout and numbering,
// instantiated here alone.
#include "generators/grid.hpp"

#include "generators/generators.hpp"
#include "graphfile/layouts/family_source.hpp"

namespace famgen {

Outcome generate_grid(std::int32_t first_size, std::int32_t second_size, const FamilyUse& use,
                      int folded, int partial) {
  return use_family(Grid{first_size, second_size, folded != 0, partial != 0}, use);
}

}  // namespace famgen
