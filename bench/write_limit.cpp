// The limit famgen is measured against: writes BYTES bytes from a memory buffer, in 256 KiB
// blocks, to a new file, or to standard output for "-" (a pipe then gets the 1 MiB famgen
// asks for too). Usage: write_limit BYTES FILE
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: write_limit BYTES FILE\n");
    return 2;
  }
  const long long total = std::atoll(argv[1]);
  constexpr std::size_t kBlock = 256 * 1024;
  std::vector<char> block(kBlock);
  for (std::size_t i = 0; i < kBlock; ++i)
    block[i] = i % 16 == 15 ? '\n' : static_cast<char>('0' + i % 10);
  const bool standard_output = std::strcmp(argv[2], "-") == 0;
  const int descriptor =
      standard_output ? STDOUT_FILENO : open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (descriptor < 0) return 1;
  struct stat info {};
  if (fstat(descriptor, &info) == 0 && S_ISFIFO(info.st_mode)) {
    fcntl(descriptor, F_SETPIPE_SZ, 1 << 20);
  }
  for (long long left = total; left > 0;) {
    const std::size_t part =
        left < static_cast<long long>(kBlock) ? static_cast<std::size_t>(left) : kBlock;
    const ssize_t written = write(descriptor, block.data(), part);
    if (written <= 0) return 1;
    left -= written;
  }
  return close(descriptor) == 0 ? 0 : 1;
}
