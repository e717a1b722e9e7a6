// The binary tree's arrays for the library, in both index widths and numberings,
// instantiated here alone, in a unit that only the library holds.
#include "generators/binary_tree.hpp"
#include "generators/generators.hpp"
#include "graphfile/layouts/family_arrays.hpp"

namespace famgen {

Outcome generate_binary_tree(std::int32_t first_size, const ArrayUse& use) {
  return use_family(BinaryTree{first_size}, use);
}

}  // namespace famgen
