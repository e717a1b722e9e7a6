// The star's arrays for the library, in both index widths and numberings,
// instantiated here alone, in a unit that only the library holds.
#include "generators/generators.hpp"
#include "generators/star.hpp"
#include "graphfile/layouts/family_arrays.hpp"

namespace famgen {

Outcome generate_star(std::int32_t first_size, const ArrayUse& use) {
  return use_family(Star{first_size}, use);
}

}  // namespace famgen
