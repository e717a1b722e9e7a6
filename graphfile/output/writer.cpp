#include "graphfile/output/writer.hpp"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <thread>
#include <vector>

namespace famgen {

namespace {

// Bytes handed to the operating system per write call in the single pass: a job's, as the
// threads write them (each block starting on a page of the file: GraphFile holds back the rest
// of a page). Measured here on tmpfs, the circle of 40 million vertices took 0.33 s of CPU
// with 256 KiB blocks, 0.30 s with 1 MiB ones (as -threads 1) and 0.34 s with 4 MiB ones.
constexpr std::size_t kBlockSize = static_cast<std::size_t>(OutputPlan::kJobBytes);

// A small run's block: about its bytes, so that a small output (the library's, the fuzzer's)
// neither asks for nor maps a MiB it does not use.
constexpr std::size_t kLeastBlockSize = std::size_t{64} * 1024;

std::size_t block_size_for(const OutputPlan& plan, const FormatJob& run) {
  const double lines = static_cast<double>(std::max<Vertex>(0, run.last - run.first + 1));
  const double bytes = 1.25 * plan.line_bytes(run.section) * lines;
  if (!(bytes < static_cast<double>(kBlockSize))) return kBlockSize;
  return std::max(kLeastBlockSize, static_cast<std::size_t>(bytes));
}

// The single pass: one buffer, sent out a block at a time as the sinks fill it.
class BlockOutput final : public ChunkOutput {
 public:
  BlockOutput(ByteSink& sink, std::size_t block_size)
      : sink_(sink),
        block_size_(block_size),
        buffer_(std::make_unique_for_overwrite<char[]>(block_size + kOperationRoom)) {
    cursor = buffer_.get();
    limit = buffer_.get() + block_size_;
  }
  void make_room() override {
    char* const start = buffer_.get();
    sink_.write(start, block_size_);
    const std::size_t rest = static_cast<std::size_t>(cursor - limit);
    std::memmove(start, limit, rest);
    cursor = start + rest;
  }
  void finish() {
    sink_.write(buffer_.get(), static_cast<std::size_t>(cursor - buffer_.get()));
    cursor = buffer_.get();
  }

 private:
  ByteSink& sink_;
  std::size_t block_size_;
  std::unique_ptr<char[]> buffer_;
};

// The jobs of a run, in order, into out on the calling thread, each told the entries before it;
// stops once sink has failed and tells it of each job done. Returns the entries listed.
std::uint64_t format_in_order(const OutputPlan& plan, const JobPlan& jobs, const FormatJob& run,
                              ChunkOutput& out, ByteSink& sink) {
  std::uint64_t entries_before = run.entries_before;
  for (std::uint64_t index = 0; index < jobs.job_count() && !sink.failed(); ++index) {
    FormatJob job = jobs.job(index);
    job.entries_before = entries_before;
    entries_before += plan.source().format(job, out);
    sink.job_done(job);
  }
  return entries_before - run.entries_before;
}

std::uint64_t run_single_pass(const OutputPlan& plan, const JobPlan& jobs, const FormatJob& run,
                              ByteSink& sink) {
  BlockOutput out(sink, block_size_for(plan, run));
  const std::uint64_t entries = format_in_order(plan, jobs, run, out, sink);
  out.finish();
  return entries;
}

// Several threads take the jobs in order, each formats its job into a buffer of its own, and
// the bytes go out strictly in job order: a job's bytes are written by the thread that holds
// its turn, which then passes the turn on. A thread whose job outgrows its buffer waits for the
// turn and writes what it has, keeping the turn until its job is done.
class OrderedWriter {
 public:
  OrderedWriter(const OutputPlan& plan, const JobPlan& jobs, const FormatJob& run, ByteSink& sink)
      : plan_(plan), jobs_(jobs), sink_(sink), entries_before_(run.entries_before) {}

  class JobOutput final : public ChunkOutput {
   public:
    JobOutput(OrderedWriter& writer, std::unique_ptr<char[]> buffer)
        : writer_(writer), buffer_(std::move(buffer)) {}
    void start(const FormatJob& job, std::uint64_t index) {
      job_ = job;
      index_ = index;
      holds_turn_ = false;
      cursor = buffer_.get();
      limit = buffer_.get() + kBufferBytes;
    }
    void make_room() override { send(); }
    // Takes the turn if need be and writes what the buffer holds; false when the run failed.
    bool send();
    // Ends the job: its bytes go out and the turn passes on with the entries it listed.
    void finish(std::uint64_t entries);

   private:
    OrderedWriter& writer_;
    std::unique_ptr<char[]> buffer_;
    FormatJob job_;
    std::uint64_t index_ = 0;
    bool holds_turn_ = false;
  };

  // A thread's buffer, or null when there is no memory for it.
  std::unique_ptr<JobOutput> make_output();
  void work(JobOutput& out);
  bool failed() const { return failed_.load(std::memory_order_acquire); }
  std::uint64_t entries_before() const { return entries_before_; }

 private:
  static constexpr std::size_t kBufferBytes = std::size_t{2} << 20;
  static constexpr std::uint64_t kFailedTurn = ~std::uint64_t{0};

  bool wait_for_turn(std::uint64_t index);
  void fail() {
    failed_.store(true, std::memory_order_release);
    turn_.store(kFailedTurn, std::memory_order_release);
    turn_.notify_all();
  }

  const OutputPlan& plan_;
  const JobPlan& jobs_;
  ByteSink& sink_;
  std::atomic<std::uint64_t> next_job_{0};
  std::atomic<std::uint64_t> turn_{0};  // the job whose bytes go out next
  std::atomic<bool> failed_{false};
  // Touched only by the thread that holds the turn: the entries listed before the turn's job,
  // for the sections whose words count them.
  std::uint64_t entries_before_;
};

bool OrderedWriter::wait_for_turn(std::uint64_t index) {
  // The waiting thread sleeps. Spinning for the turn (up to half a millisecond, as long as a
  // job's write) measured no faster on two cores and took the core that the thread holding the
  // turn, or another process, needed: -threads 2 then ran at twice the time of -threads 1.
  for (;;) {
    const std::uint64_t turn = turn_.load(std::memory_order_acquire);
    if (turn == index) return true;
    if (turn == kFailedTurn) return false;
    turn_.wait(turn, std::memory_order_acquire);
  }
}

bool OrderedWriter::JobOutput::send() {
  if (!holds_turn_) {
    if (!writer_.wait_for_turn(index_)) {
      cursor = buffer_.get();  // the run failed: the bytes are dropped
      return false;
    }
    holds_turn_ = true;
  }
  char* const start = buffer_.get();
  if (writer_.plan_.counts_earlier_entries(job_.section)) {
    writer_.plan_.rebase(job_.section, start, cursor, writer_.entries_before_);
  }
  writer_.sink_.write(start, static_cast<std::size_t>(cursor - start));
  cursor = start;
  if (writer_.sink_.failed()) {
    writer_.fail();
    return false;
  }
  return true;
}

void OrderedWriter::JobOutput::finish(std::uint64_t entries) {
  if (!send()) return;
  writer_.sink_.job_done(job_);
  writer_.entries_before_ += entries;
  writer_.turn_.store(index_ + 1, std::memory_order_release);
  writer_.turn_.notify_all();
}

std::unique_ptr<OrderedWriter::JobOutput> OrderedWriter::make_output() {
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kBufferBytes + kOperationRoom]);
  if (!buffer) return nullptr;
  return std::make_unique<JobOutput>(*this, std::move(buffer));
}

void OrderedWriter::work(JobOutput& out) {
  while (!failed()) {
    const std::uint64_t index = next_job_.fetch_add(1, std::memory_order_relaxed);
    if (index >= jobs_.job_count()) return;
    const FormatJob job = jobs_.job(index);
    out.start(job, index);
    // Formatted as if no entries came before; send() moves the words into place once the
    // turn, and with it the entries before, is known.
    const std::uint64_t entries = plan_.source().format(job, out);
    out.finish(entries);
  }
}

std::uint64_t run_threads(const OutputPlan& plan, const JobPlan& jobs, const FormatJob& run,
                          ByteSink& sink, int thread_count) {
  OrderedWriter writer(plan, jobs, run, sink);
  // Every thread's buffer is had before any thread starts, since a thread that found no memory
  // for its own could only end the process. Under a memory limit the run takes the threads
  // there are buffers and threads for, down to the single pass.
  std::vector<std::unique_ptr<OrderedWriter::JobOutput>> outputs;
  outputs.reserve(static_cast<std::size_t>(thread_count));
  for (int i = 0; i < thread_count; ++i) {
    std::unique_ptr<OrderedWriter::JobOutput> out = writer.make_output();
    if (!out) break;
    outputs.push_back(std::move(out));
  }
  if (outputs.empty()) return run_single_pass(plan, jobs, run, sink);
  std::vector<std::thread> helpers;
  helpers.reserve(outputs.size());
  for (std::size_t i = 1; i < outputs.size(); ++i) {
    try {
      helpers.emplace_back([&writer, &out = *outputs[i]] { writer.work(out); });
    } catch (const std::exception&) {
      break;  // fewer threads than asked for: the ones there are do the work
    }
  }
  writer.work(*outputs[0]);
  for (std::thread& helper : helpers)
    helper.join();
  return writer.entries_before() - run.entries_before;
}

// Appends what it is given to a MemoryRun.
class MemorySink final : public ByteSink {
 public:
  explicit MemorySink(MemoryRun& memory) : memory_(memory) {}
  void write(const char* data, std::size_t size) override { memory_.append(data, size); }
  bool failed() const override { return false; }

 private:
  MemoryRun& memory_;
};

}  // namespace

namespace {

// From this many bytes a run's buffer asks for huge pages: a fault a 2 MiB page.
constexpr std::size_t kHugePagesFrom = std::size_t{8} << 20;

void advise_huge_pages(char* buffer, std::size_t bytes) {
  if (bytes >= kHugePagesFrom) madvise(buffer, bytes, MADV_HUGEPAGE);  // a hint: may be refused
}

}  // namespace

MemoryRun::MemoryRun() : capacity_(kBlockSize) {
  void* const mapped = mmap(nullptr, capacity_ + kOperationRoom, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  buffer_ = static_cast<char*>(mapped);
  cursor = buffer_;
  limit = buffer_ + capacity_;
}

MemoryRun::~MemoryRun() {
  munmap(buffer_, capacity_ + kOperationRoom);
}

void MemoryRun::make_room() {
  const std::size_t held = size();
  const std::size_t capacity = 2 * std::max(capacity_, held);
  void* const moved =
      mremap(buffer_, capacity_ + kOperationRoom, capacity + kOperationRoom, MREMAP_MAYMOVE);
  if (moved == MAP_FAILED) throw std::bad_alloc();
  buffer_ = static_cast<char*>(moved);
  capacity_ = capacity;
  advise_huge_pages(buffer_, capacity_ + kOperationRoom);
  cursor = buffer_ + held;
  limit = buffer_ + capacity_;
}

void MemoryRun::append(const char* data, std::size_t size) {
  while (static_cast<std::size_t>(limit - cursor) < size)
    make_room();
  std::memcpy(cursor, data, size);
  cursor += size;
}

std::uint64_t format_run(const OutputPlan& plan, const FormatJob& run, ThreadRequest threads,
                         MemoryRun& memory) {
  memory.clear();
  const JobPlan jobs(plan, run);
  MemorySink sink(memory);
  if (threads) {
    return run_threads(plan, jobs, run, sink, thread_count_for(*threads, jobs.job_count()));
  }
  return format_in_order(plan, jobs, run, memory, sink);
}

std::uint64_t write_run(const OutputPlan& plan, const FormatJob& run, ThreadRequest threads,
                        ByteSink& sink) {
  const JobPlan jobs(plan, run);
  if (!threads) return run_single_pass(plan, jobs, run, sink);
  return run_threads(plan, jobs, run, sink, thread_count_for(*threads, jobs.job_count()));
}

void write_output(const OutputPlan& plan, ThreadRequest threads, ByteSink& sink) {
  sink.write(plan.heading().data(), plan.heading().size());
  for (int section = 0; section < plan.sections() && !sink.failed(); ++section)
    write_run(plan, plan.run(section, 1, plan.line_count()), threads, sink);
  if (!sink.failed()) sink.write(plan.trailer().data(), plan.trailer().size());
}

}  // namespace famgen
