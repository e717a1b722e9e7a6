// What the mesh's options name (-stencil, -periodic) and how many axes it takes: all a request
// holds of the mesh before the mesh itself is made (mesh.hpp).
#pragma once

#include <cstdint>
#include <vector>

namespace famgen {

enum class Stencil : std::uint8_t {
  kStar,  // one step along one axis: 2d neighbours inside the mesh
  kBox,   // at most one step along every axis: 3^d - 1 neighbours inside the mesh
};

// Which axes wrap around: none, all, or one flag per axis, in the order of the sizes.
struct PeriodicAxes {
  enum class Kind : std::uint8_t { kNone, kAll, kList };
  Kind kind = Kind::kNone;
  std::vector<bool> list;
};

inline constexpr int kMostMeshAxes = 8;

}  // namespace famgen
