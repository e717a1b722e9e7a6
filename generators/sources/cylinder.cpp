// The cylinder's unit: its lines in every layout and numbering, instantiated here alone.
#include "generators/cylinder.hpp"

#include "generators/generators.hpp"
#include "graphfile/layouts/family_source.hpp"

namespace famgen {

Outcome generate_cylinder(std::int32_t first_size, std::int32_t second_size, const FamilyUse& use) {
  return use_family(Cylinder{first_size, second_size}, use);
}

}  // namespace famgen
