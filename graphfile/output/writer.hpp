// The writing of an output (writer.cpp): its heading, its sections' lines job by job, its
// trailer, into a ByteSink; in one pass on the calling thread, or formatted on threads and handed
// out strictly in job order. Which jobs there are is the plan's (plan.hpp); where the bytes go is
// the sink's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

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

// A run's bytes in memory. The buffer is kept from one run to the next and grows when a run
// needs more, so that its pages are touched once however many runs it holds in turn.
// It is mapped memory that grows by remapping, its pages never copied, and a large one asks for
// huge pages: a run that holds one line of hundreds of megabytes (the star's centre) neither
// copies it at each doubling nor takes a fault every 4 KiB.
class MemoryRun final : public ChunkOutput {
 public:
  MemoryRun();
  ~MemoryRun();
  MemoryRun(const MemoryRun&) = delete;
  MemoryRun& operator=(const MemoryRun&) = delete;
  char* data() { return buffer_; }
  std::size_t size() const { return static_cast<std::size_t>(cursor - buffer_); }
  void clear() { cursor = buffer_; }
  void make_room() override;  // grows the buffer, keeping what it holds
  void append(const char* data, std::size_t size);

 private:
  char* buffer_ = nullptr;
  std::size_t capacity_ = 0;  // writable; the mapping holds kOperationRoom more
};

// Formats run's lines into memory, in place of what it held: on the calling thread when
// threads is empty, otherwise on threads as write_run does. Returns the entries the lines list.
std::uint64_t format_run(const OutputPlan& plan, const FormatJob& run, ThreadRequest threads,
                         MemoryRun& memory);

// The whole output: the heading, every section's lines, the trailer.
void write_output(const OutputPlan& plan, ThreadRequest threads, ByteSink& sink);

}  // namespace famgen
