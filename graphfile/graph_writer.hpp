// Writes a GraphSource to one file: the heading, then the lines cut into jobs of about a MiB,
// either in one pass on the calling thread or formatted by several threads at once and written
// in order.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "graphfile/graph_source.hpp"
#include "graphfile/layouts.hpp"

struct WriteOptions {
  std::string output_name;
  Format format = Format::kMetis;
  // Absent: the single pass on the calling thread. Otherwise at most this many threads (one per
  // available core for 0 or less).
  std::optional<std::int32_t> threads;
  RelabelSeed relabel_seed;
};

class FileDestination final : public GraphDestination {
 public:
  explicit FileDestination(WriteOptions options) : options_(std::move(options)) {}
  // METIS text, one pass, natural numbering: the run without any of the added options.
  explicit FileDestination(const std::string& output_name) { options_.output_name = output_name; }
  Outcome write(const GraphSource& source) const override;

 private:
  WriteOptions options_;
};

// The jobs of a run: each section's lines cut into pieces of about kJobBytes, in file order.
class JobPlan {
 public:
  static constexpr double kJobBytes = 1 << 20;
  // Few enough lines that a job's degrees and bookkeeping stay small whatever the layout.
  static constexpr Vertex kMostLinesPerJob = 1 << 16;

  JobPlan(const GraphSource& source, Format format, Vertex first_line, Vertex last_line);
  std::uint64_t job_count() const { return first_job_[sections_]; }
  // Job number index, with entries_before left at 0.
  FormatJob job(std::uint64_t index) const;

 private:
  Format format_;
  int sections_;
  Vertex first_line_;
  Vertex last_line_;
  Vertex lines_per_job_[2] = {1, 1};
  std::uint64_t first_job_[3] = {0, 0, 0};  // of each section, and the total after the last
};

// The thread count -threads asks for: at most what the run has jobs for, at most 64, and one
// per available core for 0 or less.
int thread_count_for(std::int32_t requested, std::uint64_t job_count);
