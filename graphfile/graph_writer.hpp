// Writes a GraphSource to one file: the heading, then the lines cut into jobs of about a MiB,
// either in one pass on the calling thread or formatted by several threads at once and written
// in order.
#pragma once

#include <cstddef>
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

// Where a writer's bytes go, in order: the output file, or one process's part of a file that
// many processes write.
class ByteSink {
 public:
  virtual void write(const char* data, std::size_t size) = 0;
  virtual bool failed() const = 0;

 protected:
  ~ByteSink() = default;
};

// Writes the bytes of run (the lines run.first..run.last of one section, as one job would) into
// sink: in one pass on the calling thread when threads is empty, otherwise formatted on threads
// (thread_count_for) and written in order. Stops soon after the sink fails.
void write_section(const GraphSource& source, const FormatJob& run,
                   std::optional<std::int32_t> threads, ByteSink& sink);

// The jobs of a section run: its lines cut into pieces of about kJobBytes, in file order.
class JobPlan {
 public:
  static constexpr double kJobBytes = 1 << 20;
  // Few enough lines that a job's degrees and bookkeeping stay small whatever the layout.
  static constexpr Vertex kMostLinesPerJob = 1 << 16;

  JobPlan(const GraphSource& source, const FormatJob& run);
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
