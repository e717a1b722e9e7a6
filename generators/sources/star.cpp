// The star's unit: its lines in every layout and numbering, instantiated here alone.
#include "generators/star.hpp"

#include "generators/generators.hpp"
#include "graphfile/layouts/family_source.hpp"

namespace famgen {

Outcome generate_star(std::int32_t first_size, const FamilyUse& use) {
  return use_family(Star{first_size}, use);
}

}  // namespace famgen
