#include <cstdio>
#include <famgen/famgen.hpp>

int main() {
  const auto torus =
      famgen::csr<std::int32_t>({.family = "torus", .sizes = {300, 400}, .permute = 7});
  if (!torus) return std::fprintf(stderr, "%s\n", torus.error().message.c_str()), 1;
  std::printf("%zu entries, vertex 0 joined to %d\n", torus->adjncy.size(), torus->adjncy[0]);
}
