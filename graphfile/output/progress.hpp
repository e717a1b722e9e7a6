// -progress: how far a run has come, on standard error. On a terminal one line, rewritten in
// place a few times a second; otherwise a line at every tenth of the run. Then a summary line:
// vertices, edges, bytes, seconds and GB/s.
//
// The run's fraction comes from the lines its jobs have handed on (ByteSink::job_done), each
// section weighted by the bytes it is expected to hold, so that a line of many entries counts
// for more than one of few. The bytes come from the sink. Both are looked at once a job, about
// a MiB: the meter costs nothing next to the writing.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "graphfile/output/plan.hpp"
#include "graphfile/output/writer.hpp"

namespace famgen {

// One section of an output as one process writes it: its lines and its share of the output.
struct ProgressStage {
  Vertex first = 1;
  Vertex last = 0;
  double weight = 0;
};

class ProgressMeter {
 public:
  // facts: the graph the summary names; expected_bytes: what the run's outputs hold together,
  // about.
  ProgressMeter(const GraphFacts& facts, double expected_bytes);
  ~ProgressMeter();  // ends a line left open on the terminal
  ProgressMeter(const ProgressMeter&) = delete;
  ProgressMeter& operator=(const ProgressMeter&) = delete;

  // The next output begins: its expected bytes, its sections as this process writes them, and
  // how many of the run's bytes each byte it writes stands for (famgen-mpi's rank 0 stands for
  // every process; a process alone for itself).
  void begin_output(double expected_bytes, std::vector<ProgressStage> sections, double scale = 1);
  void count(std::uint64_t bytes);
  // The lines of section up to last are handed on.
  void reached(int section, Vertex last);
  // The summary when the run wrote all its bytes; otherwise only the end of an open line.
  void finish(bool written, std::uint64_t bytes);

  std::uint64_t counted() const { return counted_; }

 private:
  double fraction(int section, Vertex last) const;
  double seconds() const;
  void show(const std::string& text, bool in_place);

  std::chrono::steady_clock::time_point start_;
  bool terminal_;
  std::int64_t vertices_;
  std::int64_t edges_;
  double expected_total_;
  double expected_before_ = 0;  // of the outputs begun before the current one
  double expected_current_ = 0;
  std::vector<ProgressStage> sections_;
  double scale_ = 1;
  std::uint64_t counted_ = 0;
  double shown_bytes_ = 0;
  int tenths_shown_ = 0;
  double last_shown_ = 0;      // seconds, for the terminal's rate of rewriting: none at first
  std::size_t open_line_ = 0;  // characters of a line left open on the terminal
  bool finished_ = false;
};

// Passes bytes on to sink and tells the meter how far they came.
class ProgressSink final : public ByteSink {
 public:
  ProgressSink(ByteSink& sink, ProgressMeter& meter) : sink_(sink), meter_(meter) {}
  void write(const char* data, std::size_t size) override {
    sink_.write(data, size);
    meter_.count(size);
  }
  bool failed() const override { return sink_.failed(); }
  void job_done(const FormatJob& job) override {
    sink_.job_done(job);
    meter_.reached(job.section, job.last);
  }

 private:
  ByteSink& sink_;
  ProgressMeter& meter_;
};

// An output's sections as a process alone writes them: every line, weighted by the estimate.
std::vector<ProgressStage> whole_sections(const OutputPlan& plan);

// What the output of a plan holds, about.
double expected_bytes(const OutputPlan& plan);

}  // namespace famgen
