// A downstream project of the installed famgen: the 300 x 400 torus, relabelled, as CSR arrays.
#include <famgen/famgen.hpp>

#include <cstdint>
#include <cstdio>

int main() {
  const auto torus =
      famgen::csr<std::int32_t>({.family = "torus", .sizes = {300, 400}, .permute = 7});
  if (!torus) {
    std::fprintf(stderr, "%s\n", torus.error().message.c_str());
    return 1;
  }
  std::printf("%lld vertices, %zu entries, vertex 0 joined to %d %d %d %d\n",
              static_cast<long long>(torus->vertex_count), torus->adjncy.size(),
              torus->adjncy[0], torus->adjncy[1], torus->adjncy[2], torus->adjncy[3]);
}
