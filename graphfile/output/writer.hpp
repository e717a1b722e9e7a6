// The writing of an output (writer.cpp): its heading, its sections' lines job by job, its
// trailer, into a ByteSink; in one pass on the calling thread, or formatted on threads and handed
// out strictly in job order. Which jobs there are is the plan's (plan.hpp); where the bytes go is
// the sink's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphfile/graph.hpp"
#include "graphfile/output/plan.hpp"

namespace famgen {

// Where an output's bytes go, in order.
class ByteSink {
 public:
  virtual void write(const char* data, std::size_t size) = 0;
  virtual bool failed() const = 0;
  // Told after each job, in order, that its lines were formatted and handed on (the last of
  // its bytes may still wait in a buffer): how far its section has come, for -progress.
  virtual void job_done(const FormatJob&) {}

 protected:
  ~ByteSink() = default;
};

// Writes run's bytes into sink: in one pass on the calling thread when threads is empty,
// otherwise formatted on threads (thread_count_for) and written in order. Stops soon after the
// sink fails. Returns the entries the run's lines list, for the sections whose words count them.
std::uint64_t write_run(const OutputPlan& plan, const FormatJob& run, ThreadRequest threads,
                        ByteSink& sink);

// The whole output: the heading, every section's lines, the trailer.
void write_output(const OutputPlan& plan, ThreadRequest threads, ByteSink& sink);

}  // namespace famgen
