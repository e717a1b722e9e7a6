// The Sierpinski graph's unit: its lines in every layout and numbering, instantiated
// here alone.
#include "generators/sierpinski.hpp"

#include "generators/generators.hpp"
#include "graphfile/layouts/family_source.hpp"

namespace famgen {

Outcome generate_sierpinski(std::int32_t first_size, const FamilyUse& use) {
  return use_family(Sierpinski{first_size, nullptr}, use);
}

}  // namespace famgen
