// A plain stdio writer of the grid, the torus and the hypercube: one fprintf call per number or
// line, as a straightforward implementation would write them. The bytes must equal famgen's.
// Usage: stdio_reference grid|torus|hypercube FIRST [SECOND] FILE
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void grid(FILE* out, long long rows, long long w) {
  const long long v_count = rows * w;
  std::fprintf(out, "%% %lld x %lld square grid (%lld vertices)\n", rows, w, v_count);
  std::fprintf(out, "%lld %lld \n", v_count, 2 * v_count - rows - w);
  for (long long i = 0; i < rows; ++i) {
    for (long long j = 0; j < w; ++j) {
      const long long v = i * w + j + 1;
      if (j > 0) std::fprintf(out, "%lld ", v - 1);
      if (j < w - 1) std::fprintf(out, "%lld ", v + 1);
      if (i > 0) std::fprintf(out, "%lld ", v - w);
      if (i < rows - 1) std::fprintf(out, "%lld ", v + w);
      std::fprintf(out, "\n");
    }
  }
}

void torus(FILE* out, long long a, long long b) {
  const long long v_count = a * b;
  std::fprintf(out, "%% %lld x %lld torus (%lld vertices)\n", a, b, v_count);
  std::fprintf(out, "%lld %lld\n", v_count, 2 * v_count);
  for (long long r = 1; r <= a; ++r) {
    const long long s = (r - 1) * b;
    for (long long p = 1; p <= b; ++p) {
      std::fprintf(out, "%lld %lld %lld %lld\n", s + (p % b) + 1, s + ((p + b - 2) % b) + 1,
                   (r % a) * b + p, ((r + a - 2) % a) * b + p);
    }
  }
}

void hypercube(FILE* out, int d) {
  const long long v_count = 1LL << d;
  std::fprintf(out, "%% Dimension %d hyper-cube (%lld vertices)\n", d, v_count);
  std::fprintf(out, "%lld %lld\n", v_count, d * v_count / 2);
  for (long long x = 0; x < v_count; ++x) {
    for (int bit = 0; bit < d; ++bit)
      std::fprintf(out, "%lld ", (x ^ (1LL << bit)) + 1);
    std::fprintf(out, "\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: stdio_reference grid|torus|hypercube FIRST [SECOND] FILE\n");
    return 2;
  }
  FILE* out = std::fopen(argv[argc - 1], "w");
  if (out == nullptr) return 1;
  const long long first = std::atoll(argv[2]);
  const long long second = argc > 4 ? std::atoll(argv[3]) : 0;
  if (std::strcmp(argv[1], "grid") == 0) {
    grid(out, first, second);
  } else if (std::strcmp(argv[1], "torus") == 0) {
    torus(out, first, second);
  } else {
    hypercube(out, static_cast<int>(first));
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
