// The mesh's unit: its lines in every layout and numbering, instantiated here alone.
#include "generators/mesh.hpp"

#include "generators/generators.hpp"
#include "graphfile/layouts/family_source.hpp"

namespace famgen {

Outcome generate_mesh(const std::vector<std::int32_t>& sizes, Stencil stencil,
                      const PeriodicAxes& periodic, const FamilyUse& use) {
  return use_family(Mesh(sizes, stencil, periodic), use);
}

}  // namespace famgen
