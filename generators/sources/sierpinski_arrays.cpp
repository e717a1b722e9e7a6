// The Sierpinski graph's arrays for the library, in both index widths and numberings,
// instantiated here alone, in a unit that only the library holds.
#include "generators/generators.hpp"
#include "generators/sierpinski.hpp"
#include "graphfile/layouts/family_arrays.hpp"

namespace famgen {

Outcome generate_sierpinski(std::int32_t first_size, const ArrayUse& use) {
  return use_family(Sierpinski{first_size, nullptr}, use);
}

}  // namespace famgen
