// How an output of a run is cut up, decided once for every destination (a file, standard
// output, memory, one file from many MPI processes): its heading, its sections one after the
// other, each section's lines cut into jobs of about a MiB for the threads, and for many
// processes the contiguous range of lines each one writes with its place in the file. A
// destination only says where the bytes go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "graphfile/graph.hpp"
#include "graphfile/relabelling.hpp"

namespace famgen {

// Absent: the single pass on the calling thread. Otherwise at most this many threads (one per
// available core for 0 or less).
using ThreadRequest = std::optional<std::int32_t>;

// One output: a graph in one layout and one numbering. Jobs point into the plan (its
// relabelling), so it stays where it was made.
class OutputPlan {
 public:
  OutputPlan(const GraphSource& source, Format format, RelabelSeed seed);
  OutputPlan(const OutputPlan&) = delete;
  OutputPlan& operator=(const OutputPlan&) = delete;

  const GraphSource& source() const { return source_; }
  const std::string& heading() const { return heading_; }
  const std::string& trailer() const { return trailer_; }  // after the last section
  // Why the layout cannot hold this graph (a drawing of more than three axes); empty when it
  // can. No destination writes an output with a refusal.
  const std::string& refusal() const { return refusal_; }
  // A size the output cannot be smaller than, so that a file that would fit is never refused.
  std::uint64_t lower_bound() const { return lower_bound_; }
  int sections() const { return static_cast<int>(line_bytes_.size()); }
  // About the bytes of a line of the section, from the layout's figures alone.
  double line_bytes(int section) const { return line_bytes_[static_cast<std::size_t>(section)]; }
  Vertex line_count() const { return source_.facts().line_count(); }
  // About the bytes of a section's lines, from the layout's estimate of a line.
  double estimated_bytes(int section) const;

  // The lines first..last of a section as one run; entries_before counts the entries of the
  // lines before first, for the sections whose words need it.
  FormatJob run(int section, Vertex first, Vertex last, std::uint64_t entries_before = 0) const;
  // Lines of the section per job, so that a job holds about kJobBytes.
  Vertex lines_per_job(int section) const;
  // A job of such a section may be formatted with entries_before = 0 and moved into place by
  // rebase once the jobs before it have said how many entries they list.
  bool counts_earlier_entries(int section) const;
  Format format() const { return format_; }
  const Relabelling* relabelling() const { return relabelling_ ? &*relabelling_ : nullptr; }
  void rebase(int section, char* begin, char* end, std::uint64_t entries_before) const;

  static constexpr double kJobBytes = 1 << 20;
  // Few enough lines that a job's degrees and bookkeeping stay small whatever the layout.
  static constexpr Vertex kMostLinesPerJob = 1 << 16;

 private:
  const GraphSource& source_;
  Format format_;
  std::optional<Relabelling> relabelling_;
  std::string heading_;
  std::string trailer_;
  std::string refusal_;
  std::uint64_t lower_bound_ = 0;
  std::vector<double> line_bytes_;  // [section]: about the bytes of a line
};

// The jobs of a run: its lines cut into pieces of about kJobBytes, in file order.
class JobPlan {
 public:
  JobPlan(const OutputPlan& plan, const FormatJob& run);
  // At least one, so that a section without lines still writes what it ends with (ParHIP's
  // closing offset).
  std::uint64_t job_count() const { return job_count_; }
  FormatJob job(std::uint64_t index) const;  // entries_before left at 0

 private:
  FormatJob run_;
  Vertex lines_per_job_ = 1;
  std::uint64_t job_count_ = 1;
};

// The thread count -threads asks for: at most what the run has jobs for, at most 64, and one
// per available core for 0 or less.
int thread_count_for(std::int32_t requested, std::uint64_t job_count);

// The space guard's figure for an output: at most its size, and within a few per cent of it
// (every line of a small output is measured; a large one's size is estimated from the start and
// the end of each of a few dozen pieces of its lines, about a thousandth of its bytes formatted
// and dropped). Any family in any layout: it asks only the formatter.
std::uint64_t size_floor(const OutputPlan& plan);

// The output's exact size: every line formatted and dropped, on threads when asked.
std::uint64_t exact_size(const OutputPlan& plan, ThreadRequest threads);

// Many processes: the lines cut into pieces as even as whole lines allow, every piece's bytes
// in each section and the entries it lists, so that each process takes a contiguous range of
// about the same bytes and knows where in the file it goes without asking the others.
struct PieceMeasures {
  std::int64_t pieces = 0;
  std::vector<std::uint64_t> bytes;    // [section × pieces + piece]
  std::vector<std::uint64_t> entries;  // [piece]
  std::uint64_t total() const;         // of every section
};

// The pieces rank, rank + processes, ... measured (formatted, nothing kept), on threads when
// asked; the others are 0, so that the sum over all ranks is every piece's measure.
PieceMeasures measure_pieces(const OutputPlan& plan, int processes, int rank,
                             ThreadRequest threads);

struct ProcessShare {
  // Whether the process writes at all: a share of pieces, which may hold no line yet end a
  // section (ParHIP's closing offset after no lines).
  bool writes = false;
  Vertex first = 1;  // the share's lines
  Vertex last = 0;
  std::vector<std::uint64_t> offsets;  // [section]: the byte position of its first line's bytes
  std::vector<std::uint64_t> bytes;    // [section]
  std::uint64_t entries_before = 0;    // listed by the lines before first
};

// Rank's share: the pieces in whose range most of their bytes lie, when the output's bytes are
// cut at rank / processes of the whole.
ProcessShare share_of(const OutputPlan& plan, const PieceMeasures& measures, int rank,
                      int processes);

}  // namespace famgen
