// famgen-mpi: the same command line and the same file as famgen, written by every process of an
// MPI run (mpirun -n P famgen-mpi ...). Rank 0 alone prints; every process ends with the same
// status.
#include <mpi.h>

#include <cstdio>

#include "cli/command_line.hpp"
#include "graphfile/output/graph_file.hpp"
#include "graphfile/output/mpi_destination.hpp"

int main(int argc, char** argv) {
  using namespace famgen;
  if (!open_standard_descriptors()) return 255;
  claim_process_signals();
  int provided = MPI_THREAD_SINGLE;
  MPI_Init_thread(&argc, &argv, MPI_THREAD_SERIALIZED, &provided);
  int rank = 0;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);

  Settings settings;
  parse_command_line(argc, argv, settings);
  WriteOptions options = write_options(settings);
  // Threads call MPI-IO one at a time, which a library without that level of support does not
  // allow: each process then writes on one thread.
  if (provided < MPI_THREAD_SERIALIZED) options.threads.reset();
  const Outcome outcome = dispatch_graph(settings, MpiDestination(options, MPI_COMM_WORLD));
  if (rank == 0) {
    if (!outcome.message.empty()) std::fputs(outcome.message.c_str(), stdout);
    if (!outcome.error.empty()) std::fprintf(stderr, "%s\n", error_lines(outcome.error).c_str());
  }
  MPI_Finalize();
  return outcome.status;
}
