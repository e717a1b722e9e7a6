// The binary tree's unit: its lines in every layout and numbering, instantiated here
// alone.
#include "generators/binary_tree.hpp"

#include "generators/generators.hpp"
#include "graphfile/layouts/family_source.hpp"

namespace famgen {

Outcome generate_binary_tree(std::int32_t first_size, const FamilyUse& use) {
  return use_family(BinaryTree{first_size}, use);
}

}  // namespace famgen
