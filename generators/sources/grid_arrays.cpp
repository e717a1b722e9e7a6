// The grid family's arrays for the library, in both index widths and numberings,
// instantiated here alone, in a unit that only the library holds.
#include "generators/generators.hpp"
#include "generators/grid.hpp"
#include "graphfile/layouts/family_arrays.hpp"

namespace famgen {

Outcome generate_grid(std::int32_t first_size, std::int32_t second_size, const ArrayUse& use,
                      int folded, int partial) {
  return use_family(Grid{first_size, second_size, folded != 0, partial != 0}, use);
}

}  // namespace famgen
