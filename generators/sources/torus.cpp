// The torus's unit: its lines in every layout and numbering, instantiated here alone.
#include "generators/torus.hpp"

#include "generators/generators.hpp"
#include "graphfile/layouts/family_source.hpp"

namespace famgen {

Outcome generate_torus(std::int32_t first_size, std::int32_t second_size, const FamilyUse& use) {
  return use_family(Torus{first_size, second_size}, use);
}

}  // namespace famgen
