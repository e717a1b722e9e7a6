// What one round of famgen-mpi costs in communication, apart from formatting and writing: the
// exchange of every process's three figures (its piece's bytes and entries, and whether it
// failed) by MPI_Iallgather, waited for as famgen-mpi waits across machines, and by the blocking
// MPI_Allgather for comparison. Every process takes part; rank 0 prints microseconds a round.
//   mpirun -n P ./build/bench/mpi_round_cost [ROUNDS]
#include <mpi.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

double seconds_per_round(int rounds, bool blocking, MPI_Comm communicator) {
  int size = 1;
  MPI_Comm_size(communicator, &size);
  std::vector<std::uint64_t> all(3 * static_cast<std::size_t>(size));
  std::uint64_t own[3] = {1, 2, 0};
  MPI_Barrier(communicator);
  const auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < rounds; ++r) {
    own[0] = static_cast<std::uint64_t>(r);
    if (blocking) {
      MPI_Allgather(own, 3, MPI_UINT64_T, all.data(), 3, MPI_UINT64_T, communicator);
      continue;
    }
    MPI_Request request;
    MPI_Iallgather(own, 3, MPI_UINT64_T, all.data(), 3, MPI_UINT64_T, communicator, &request);
    for (int looks = 0;; ++looks) {
      int done = 0;
      MPI_Test(&request, &done, MPI_STATUS_IGNORE);
      if (done != 0) break;
      if (looks >= 64) std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  double slowest = took.count();
  MPI_Allreduce(MPI_IN_PLACE, &slowest, 1, MPI_DOUBLE, MPI_MAX, communicator);
  return slowest / rounds;
}

}  // namespace

int main(int argc, char** argv) {
  MPI_Init(&argc, &argv);
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 20000;
  int rank = 0;
  int size = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &size);
  seconds_per_round(rounds / 10, false, MPI_COMM_WORLD);  // warm-up
  const double polled = seconds_per_round(rounds, false, MPI_COMM_WORLD);
  const double blocking = seconds_per_round(rounds, true, MPI_COMM_WORLD);
  if (rank == 0) {
    std::printf(
        "%d processes, %d rounds: Iallgather waited for as famgen-mpi does %.2f us a round, "
        "blocking Allgather %.2f us\n",
        size, rounds, polled * 1e6, blocking * 1e6);
  }
  MPI_Finalize();
  return 0;
}
