// Every generator, declared: each makes its family from the sizes and hands it to a use (written
// to a destination, asked its facts, or filled into the library's arrays). Each is defined in a
// unit of its own under sources/, where its family is instantiated with every layout and
// numbering once (sources/FAMILY.cpp), and with the arrays once (sources/FAMILY_arrays.cpp,
// which only the library holds), so that a caller (the dispatcher, the library, a test) includes
// these declarations and no family's templates, and a change to one family recompiles that
// family's units alone.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "generators/mesh_options.hpp"
#include "generators/rgg_shape.hpp"
#include "graphfile/graph.hpp"

namespace famgen {

// The grid family: folded joins opposite corners, partial leaves out the horizontal edges of a
// central band (grid.hpp).
Outcome generate_grid(std::int32_t first_size, std::int32_t second_size, const FamilyUse& use,
                      int folded, int partial);
Outcome generate_circle(std::int32_t first_size, const FamilyUse& use);
Outcome generate_star(std::int32_t first_size, const FamilyUse& use);
Outcome generate_torus(std::int32_t first_size, std::int32_t second_size, const FamilyUse& use);
Outcome generate_cylinder(std::int32_t first_size, std::int32_t second_size, const FamilyUse& use);
Outcome generate_binary_tree(std::int32_t first_size, const FamilyUse& use);
Outcome generate_sierpinski(std::int32_t first_size, const FamilyUse& use);
Outcome generate_hypercube(std::int32_t first_size, const FamilyUse& use);
// "completegraph" (header_suppressed: vertex lines only) and "unconnected_completegraph".
Outcome generate_complete_graphs(std::int32_t first_size, std::int32_t second_size,
                                 const FamilyUse& use, bool header_suppressed);
Outcome generate_mesh(const std::vector<std::int32_t>& sizes, Stencil stencil,
                      const PeriodicAxes& periodic, const FamilyUse& use);
// rgg2d and rgg3d, by shape.dimension; the edges counted on threads (-threads's value).
Outcome generate_rgg(const RggShape& shape, std::optional<std::int32_t> threads,
                     const FamilyUse& use);

// The same generators for the library's arrays.
Outcome generate_grid(std::int32_t first_size, std::int32_t second_size, const ArrayUse& use,
                      int folded, int partial);
Outcome generate_circle(std::int32_t first_size, const ArrayUse& use);
Outcome generate_star(std::int32_t first_size, const ArrayUse& use);
Outcome generate_torus(std::int32_t first_size, std::int32_t second_size, const ArrayUse& use);
Outcome generate_cylinder(std::int32_t first_size, std::int32_t second_size, const ArrayUse& use);
Outcome generate_binary_tree(std::int32_t first_size, const ArrayUse& use);
Outcome generate_sierpinski(std::int32_t first_size, const ArrayUse& use);
Outcome generate_hypercube(std::int32_t first_size, const ArrayUse& use);
Outcome generate_complete_graphs(std::int32_t first_size, std::int32_t second_size,
                                 const ArrayUse& use, bool header_suppressed);
Outcome generate_mesh(const std::vector<std::int32_t>& sizes, Stencil stencil,
                      const PeriodicAxes& periodic, const ArrayUse& use);
Outcome generate_rgg(const RggShape& shape, std::optional<std::int32_t> threads,
                     const ArrayUse& use);

}  // namespace famgen
