// The mesh's arrays for the library, in both index widths and numberings,
// instantiated here alone, in a unit that only the library holds.
#include "generators/generators.hpp"
#include "generators/mesh.hpp"
#include "graphfile/layouts/family_arrays.hpp"

namespace famgen {

Outcome generate_mesh(const std::vector<std::int32_t>& sizes, Stencil stencil,
                      const PeriodicAxes& periodic, const ArrayUse& use) {
  return use_family(Mesh(sizes, stencil, periodic), use);
}

}  // namespace famgen
