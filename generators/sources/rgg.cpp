// The random geometric graphs' unit: their lines in every layout and numbering, instantiated
// here alone.
#include "generators/rgg.hpp"

#include "generators/generators.hpp"
#include "graphfile/layouts/family_source.hpp"

namespace famgen {

Outcome generate_rgg(const RggShape& shape, std::optional<std::int32_t> threads,
                     const FamilyUse& use) {
  return use_family(RandomGeometricGraph(shape, threads), use);
}

}  // namespace famgen
