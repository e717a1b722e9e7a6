// The torus's arrays for the library, in both index widths and numberings,
// instantiated here alone, in a unit that only the library holds.
#include "generators/generators.hpp"
#include "generators/torus.hpp"
#include "graphfile/layouts/family_arrays.hpp"

namespace famgen {

Outcome generate_torus(std::int32_t first_size, std::int32_t second_size, const ArrayUse& use) {
  return use_family(Torus{first_size, second_size}, use);
}

}  // namespace famgen
