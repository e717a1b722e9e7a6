// A run's files written by many MPI processes at once, the same bytes as famgen's.
//
// Each process takes a contiguous range of lines, chosen so that the ranges hold about as many
// bytes each: the lines are cut into pieces, every process measures its share of the pieces
// (formatting them without keeping the bytes), and all learn every piece's size, from which the
// plan gives each process its range and its place in each section of the file (plan.hpp). It
// writes its lines there with MPI-IO, a job of about a MiB at a time, on threads of its own with
// -threads. Rank 0 opens the outputs as famgen does (the space guard, new files beside the
// names, or in place), writes the headings, and renames or removes the new files once every
// process has said how its writing went. Any process's failure fails the run on all of them,
// with one line (rank 0 prints it) and the same status.
#pragma once

#include <mpi.h>

#include "graphfile/output/destinations.hpp"

namespace famgen {

class MpiDestination final : public GraphDestination {
 public:
  MpiDestination(WriteOptions options, MPI_Comm communicator)
      : options_(std::move(options)), communicator_(communicator) {}
  Outcome write(const GraphSource& source) const override;

 private:
  WriteOptions options_;
  MPI_Comm communicator_;
};

}  // namespace famgen
