// The random geometric graphs' arrays for the library, in both index widths and numberings,
// instantiated here alone, in a unit that only the library holds.
#include "generators/generators.hpp"
#include "generators/rgg.hpp"
#include "graphfile/layouts/family_arrays.hpp"

namespace famgen {

Outcome generate_rgg(const RggShape& shape, std::optional<std::int32_t> threads,
                     const ArrayUse& use) {
  return use_family(RandomGeometricGraph(shape, threads), use);
}

}  // namespace famgen
