// The hypercube's arrays for the library, in both index widths and numberings,
// instantiated here alone, in a unit that only the library holds.
#include "generators/generators.hpp"
#include "generators/hypercube.hpp"
#include "graphfile/layouts/family_arrays.hpp"

namespace famgen {

Outcome generate_hypercube(std::int32_t first_size, const ArrayUse& use) {
  return use_family(Hypercube{first_size}, use);
}

}  // namespace famgen
