#include "graphfile/output/mpi_destination.hpp"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <new>
#include <optional>
#include <string_view>
#include <thread>

#include "graphfile/output/graph_file.hpp"
#include "graphfile/output/progress.hpp"

namespace famgen {

namespace {

std::string mpi_error_text(int code) {
  char text[MPI_MAX_ERROR_STRING];
  int length = 0;
  MPI_Error_string(code, text, &length);
  return std::string(text, static_cast<std::size_t>(length));
}

// How long a waiting process sleeps between looks: 50 µs within a round, where the wait is short
// and seen late by as much; up to kLongestPause, doubling, for the waits of an output's start
// and end (rank 0 opening the file, or replacing an old one of hundreds of megabytes on a disk,
// which took over 100 ms here: 2,000 looks 50 µs apart, each a wake-up).
constexpr std::chrono::microseconds kRoundPause{50};
constexpr std::chrono::microseconds kLongestPause{2000};

// Waits for request to complete. A process that waits for the others (one still writing its
// piece, say) sleeps between looks rather than spinning on its core as MPI's blocking calls do:
// pauses from 50 µs, doubling up to longest.
void wait_sleeping(MPI_Request& request, std::chrono::microseconds longest = kRoundPause) {
  constexpr int kQuickLooks = 64;
  std::chrono::microseconds pause = kRoundPause;
  for (int looks = 0;; ++looks) {
    int done = 0;
    MPI_Test(&request, &done, MPI_STATUS_IGNORE);
    if (done != 0) return;
    if (looks >= kQuickLooks) {
      std::this_thread::sleep_for(pause);
      pause = std::min(longest, 2 * pause);
    }
  }
}

// MPI_Bcast, asleep while the root is busy (renaming a large file, say).
void broadcast(void* values, int count, MPI_Datatype type, int root, MPI_Comm communicator) {
  MPI_Request request;
  MPI_Ibcast(values, count, type, root, communicator, &request);
  wait_sleeping(request, kLongestPause);
}

void broadcast(std::string& text, MPI_Comm communicator, int root) {
  auto length = static_cast<unsigned long long>(text.size());
  broadcast(&length, 1, MPI_UNSIGNED_LONG_LONG, root, communicator);
  text.resize(length);
  broadcast(text.data(), static_cast<int>(length), MPI_CHAR, root, communicator);
}

// A process's part of a shared file, from the place the plan gave it.
class MpiFileSink final : public ByteSink {
 public:
  MpiFileSink(MPI_File file, MPI_Offset offset, const std::string& name)
      : file_(file), offset_(offset), name_(name) {}
  void write(const char* data, std::size_t size) override {
    while (size > 0 && error_.empty()) {
      const int part = static_cast<int>(std::min<std::size_t>(size, INT_MAX / 2));
      MPI_Status status;
      const int code = MPI_File_write_at(file_, offset_, data, part, MPI_BYTE, &status);
      int written = 0;
      MPI_Get_count(&status, MPI_BYTE, &written);
      if (code != MPI_SUCCESS || written != part) {
        error_ = "famgen: cannot write '" + name_ +
                 "': " + (code != MPI_SUCCESS ? mpi_error_text(code) : "short write");
        return;
      }
      offset_ += part;
      written_ += static_cast<std::uint64_t>(part);
      data += part;
      size -= static_cast<std::size_t>(part);
    }
  }
  bool failed() const override { return !error_.empty(); }
  const std::string& error() const { return error_; }
  std::uint64_t written() const { return written_; }

 private:
  MPI_File file_;
  MPI_Offset offset_;
  const std::string& name_;
  std::string error_;
  std::uint64_t written_ = 0;
};

// The first failure any process met, the same on every process; empty when none failed.
std::string agreed_failure(const std::string& mine, int rank, int size, MPI_Comm communicator) {
  int first_failed = mine.empty() ? size : rank;
  MPI_Request request;
  MPI_Iallreduce(MPI_IN_PLACE, &first_failed, 1, MPI_INT, MPI_MIN, communicator, &request);
  wait_sleeping(request, kLongestPause);
  if (first_failed == size) return {};
  std::string error = mine;
  broadcast(error, communicator, first_failed);
  return error;
}

// Rank 0's meter (-progress) follows the output through rank 0's share, each byte of which
// stands for as many of the whole output as the shares, which hold about the same bytes, make.
void begin_progress(ProgressMeter& meter, const OutputPlan& plan, const ProcessShare& share,
                    std::uint64_t output_bytes) {
  std::vector<ProgressStage> sections;
  std::uint64_t share_bytes = 0;
  for (std::size_t k = 0; k < share.bytes.size() && share.writes; ++k) {
    sections.push_back({share.first, share.last, static_cast<double>(share.bytes[k])});
    share_bytes += share.bytes[k];
  }
  const double scale =
      share_bytes > 0 ? static_cast<double>(output_bytes) / static_cast<double>(share_bytes) : 0;
  // The meter weighs the outputs by the same estimate as when it began.
  meter.begin_output(expected_bytes(plan), std::move(sections), scale);
}

// Open MPI 4.1's shared-file-pointer component tests file locking on "PATH.locktest.RANK" in a
// 256-byte buffer when a file is opened, and overflows it past that: the paths it is given stay
// short enough for every rank's test name.
std::size_t longest_path_for(int processes) {
  return 255 - std::string_view(".locktest.").size() - std::to_string(processes - 1).size();
}

// This process's part of an output that rewrites a file in place: every process measures its
// pieces first (formatting them and keeping nothing), so that the output's size is known and
// reserved before any byte of the old file changes; then it writes its share of the lines, a
// contiguous range, at the place the measures give. output_bytes receives the bytes of the
// whole output. before_writing runs on rank 0 once the output's size is known and before any
// process writes.
template <class BeforeWriting>
std::string write_share(const OutputPlan& plan, MPI_File shared, const std::string& name,
                        ThreadRequest threads, int rank, int size, MPI_Comm communicator,
                        ProgressMeter* meter, std::uint64_t& output_bytes,
                        BeforeWriting before_writing) {
  std::string error;
  PieceMeasures measures;
  try {
    measures = measure_pieces(plan, size, rank, threads);
  } catch (const std::bad_alloc&) {
    error = "famgen: cannot write '" + name + "': out of memory";
  }
  error = agreed_failure(error, rank, size, communicator);
  if (!error.empty()) return error;
  MPI_Allreduce(MPI_IN_PLACE, measures.bytes.data(), static_cast<int>(measures.bytes.size()),
                MPI_UINT64_T, MPI_SUM, communicator);
  MPI_Allreduce(MPI_IN_PLACE, measures.entries.data(), static_cast<int>(measures.entries.size()),
                MPI_UINT64_T, MPI_SUM, communicator);
  const ProcessShare share = share_of(plan, measures, rank, size);
  output_bytes = plan.heading().size() + measures.total() + plan.trailer().size();
  if (rank == 0) error = before_writing(output_bytes);
  error = agreed_failure(error, rank, size, communicator);
  if (!error.empty()) return error;
  if (meter != nullptr) begin_progress(*meter, plan, share, output_bytes);
  if (rank == 0) {
    MpiFileSink heading(shared, 0, name);
    heading.write(plan.heading().data(), plan.heading().size());
    const auto end = static_cast<MPI_Offset>(plan.heading().size() + measures.total());
    MpiFileSink trailer(shared, end, name);
    trailer.write(plan.trailer().data(), plan.trailer().size());
    if (heading.failed() || trailer.failed()) return heading.error() + trailer.error();
  }
  if (!share.writes) return {};
  for (int section = 0; section < plan.sections(); ++section) {
    const auto k = static_cast<std::size_t>(section);
    MpiFileSink sink(shared, static_cast<MPI_Offset>(share.offsets[k]), name);
    std::optional<ProgressSink> progress;
    if (meter != nullptr) progress.emplace(sink, *meter);
    ByteSink& out = progress ? static_cast<ByteSink&>(*progress) : sink;
    try {
      write_run(plan, plan.run(section, share.first, share.last, share.entries_before), threads,
                out);
    } catch (const std::bad_alloc&) {
      return "famgen: cannot write '" + name + "': out of memory";
    }
    if (sink.failed()) return sink.error();
    if (sink.written() != share.bytes[k]) {
      return "famgen: internal error: a range of '" + name + "' came out " +
             std::to_string(sink.written()) + " bytes long, measured " +
             std::to_string(share.bytes[k]);
    }
  }
  return {};
}

constexpr std::uint64_t kJobsPerPiece = 2;

// Every process's count values, in rank order, into all.
void gather_sleeping(const std::uint64_t* own, std::uint64_t* all, int count,
                     MPI_Comm communicator) {
  MPI_Request request;
  MPI_Iallgather(own, count, MPI_UINT64_T, all, count, MPI_UINT64_T, communicator, &request);
  wait_sleeping(request);
}

// Sleeps while the shared word still holds seen, until a wake on it (or a spurious return).
// The futex is not private: the word lies in memory that the machine's processes share.
void futex_wait(std::uint32_t* word, std::uint32_t seen) {
  syscall(SYS_futex, word, FUTEX_WAIT, seen, nullptr, nullptr, 0);
}

void futex_wake_all(std::uint32_t* word) {
  syscall(SYS_futex, word, FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}

// What the processes of a round tell each other, and the order of their writes.
//
// The processes of one machine write their pieces of a round in turn. They share its page
// cache, where two writers of one file take turns anyway (the file's lock), the waiting one
// spinning in the kernel; passing the turn lets it sleep instead. Machines write at once.
//
// Both go through memory that the machine's processes share (an MPI shared window) where they
// can: the turn is a counter of the turns taken since the start, so that process m of M may
// write in round r when it reads r·M + m; and when the machine holds every process, the round's
// figures are gathered there too, each process writing its own and counting itself in. A
// process that waits sleeps in the kernel (a futex) until the one it waits for wakes it, where
// polling MPI would wake it every few tens of microseconds: those looks took a tenth of a
// process's CPU. Without a shared window, the turn is a message and the figures are gathered
// by MPI.
class RoundExchange {
 public:
  static constexpr int kFigures = 3;  // per process and round: bytes, entries, failed

  explicit RoundExchange(MPI_Comm communicator) : communicator_(communicator) {
    MPI_Comm_split_type(communicator, MPI_COMM_TYPE_SHARED, 0, MPI_INFO_NULL, &machine_);
    MPI_Comm_rank(machine_, &rank_);
    MPI_Comm_size(machine_, &size_);
    int everyone = 0;
    MPI_Comm_size(communicator, &everyone);
    // Split by type with equal keys, a machine's processes keep their order: when it holds
    // every process, its ranks are theirs.
    if (size_ > 1) share_memory(size_ == everyone);
  }
  ~RoundExchange() {
    if (window_ != MPI_WIN_NULL) MPI_Win_free(&window_);
    MPI_Comm_free(&machine_);
  }
  RoundExchange(const RoundExchange&) = delete;
  RoundExchange& operator=(const RoundExchange&) = delete;

  // Every process's kFigures values of this round, in rank order, into all.
  void gather(const std::uint64_t* own, std::uint64_t* all) {
    if (figures_ == nullptr) {
      // No exchange ends before every process has written the round before: wait asleep.
      if (turns_ != nullptr) wait_for(turns_, round_);
      gather_sleeping(own, all, kFigures, communicator_);
      return;
    }
    // Two sets of slots, a round's and the next's: a process may write the next round's figures
    // while another still reads this round's, never two rounds ahead.
    std::uint64_t* const slots =
        figures_ + (rounds_ % 2) * static_cast<std::size_t>(size_) * kFigures;
    std::copy_n(own, kFigures, slots + static_cast<std::size_t>(rank_) * kFigures);
    const std::uint32_t everyone = round_ + static_cast<std::uint32_t>(size_);
    if (std::atomic_ref<std::uint32_t>(*arrived_).fetch_add(1, std::memory_order_acq_rel) + 1 ==
        everyone) {
      futex_wake_all(arrived_);
    } else {
      wait_for(arrived_, everyone);
    }
    std::copy_n(slots, static_cast<std::size_t>(size_) * kFigures, all);
  }

  // Returns once the processes before this one on the machine have written in this round.
  void take() {
    if (turns_ != nullptr) return wait_for(turns_, round_ + static_cast<std::uint32_t>(rank_));
    if (rank_ == 0) return;
    char token = 0;
    MPI_Request request;
    MPI_Irecv(&token, 1, MPI_CHAR, rank_ - 1, kTag, machine_, &request);
    wait_sleeping(request);
  }
  // Hands the turn to the next process on the machine, and goes on to the next round.
  void pass() {
    if (turns_ != nullptr) {
      std::atomic_ref<std::uint32_t>(*turns_).store(round_ + static_cast<std::uint32_t>(rank_) + 1,
                                                    std::memory_order_release);
      futex_wake_all(turns_);
    } else if (rank_ + 1 < size_) {
      char token = 0;
      MPI_Request request;
      MPI_Isend(&token, 1, MPI_CHAR, rank_ + 1, kTag, machine_, &request);
      wait_sleeping(request);
    }
    round_ += static_cast<std::uint32_t>(size_);
    ++rounds_;
  }

 private:
  static constexpr int kTag = 1;
  static constexpr std::size_t kFiguresAt = 64;  // the counters' own cache line before them
  // Where the counters start: eight turns short of 2^32, so that every output of more than a
  // few rounds counts past it (the tests' larger ones do) and the counting modulo 2^32 is
  // exercised, not only trusted.
  static constexpr std::uint32_t kFirstCount = 0xFFFFFFF8;

  // The counters, and the figures' slots when gathering here, in a window of rank 0's memory
  // that every process of the machine maps. Left unshared (turns by message, figures by MPI)
  // if any of them cannot have it.
  void share_memory(bool gathering) {
    MPI_Comm_set_errhandler(machine_, MPI_ERRORS_RETURN);
    const std::size_t slots = gathering ? 2 * static_cast<std::size_t>(size_) * kFigures : 0;
    const std::size_t bytes = kFiguresAt + slots * sizeof(std::uint64_t);
    void* own = nullptr;
    int have = MPI_Win_allocate_shared(rank_ == 0 ? static_cast<MPI_Aint>(bytes) : 0, 1,
                                       MPI_INFO_NULL, machine_, &own, &window_) == MPI_SUCCESS;
    void* first = nullptr;
    if (have != 0) {
      MPI_Aint size = 0;
      int unit = 0;
      have = MPI_Win_shared_query(window_, 0, &size, &unit, &first) == MPI_SUCCESS &&
             size >= static_cast<MPI_Aint>(bytes) && first != nullptr;
    }
    if (have != 0 && rank_ == 0) {
      std::memset(first, 0, bytes);
      auto* const counters = static_cast<std::uint32_t*>(first);
      counters[0] = counters[1] = kFirstCount;
    }
    // The memory is set once every process has said so; the fences keep rank 0's stores before
    // that exchange and the others' first looks after it.
    int all_have = 0;
    std::atomic_thread_fence(std::memory_order_seq_cst);
    MPI_Allreduce(&have, &all_have, 1, MPI_INT, MPI_MIN, machine_);
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (all_have != 0) {
      auto* const base = static_cast<char*>(first);
      turns_ = reinterpret_cast<std::uint32_t*>(base);
      arrived_ = reinterpret_cast<std::uint32_t*>(base + sizeof(std::uint32_t));
      if (gathering) figures_ = reinterpret_cast<std::uint64_t*>(base + kFiguresAt);
    } else if (window_ != MPI_WIN_NULL) {
      MPI_Win_free(&window_);
    }
    MPI_Comm_set_errhandler(machine_, MPI_ERRORS_ARE_FATAL);
  }

  // Waits until the shared counter has reached value: a few looks, then asleep. Counters count
  // modulo 2^32, and never run more than a round past a value that a process waits for: the
  // arrivals at the next gathering may begin before a slow process has seen this one's last.
  static void wait_for(std::uint32_t* counter, std::uint32_t value) {
    std::atomic_ref<std::uint32_t> shared(*counter);
    const auto reached = [value](std::uint32_t seen) {
      return static_cast<std::int32_t>(seen - value) >= 0;
    };
    constexpr int kQuickLooks = 64;
    for (int looks = 0; looks < kQuickLooks; ++looks) {
      if (reached(shared.load(std::memory_order_acquire))) return;
    }
    for (std::uint32_t seen; !reached(seen = shared.load(std::memory_order_acquire));)
      futex_wait(counter, seen);
  }

  MPI_Comm communicator_;
  MPI_Comm machine_ = MPI_COMM_NULL;
  MPI_Win window_ = MPI_WIN_NULL;
  // In the shared window; null when unshared.
  std::uint32_t* turns_ = nullptr;     // turns taken
  std::uint32_t* arrived_ = nullptr;   // arrivals at the round's gathering
  std::uint64_t* figures_ = nullptr;   // [2][machine rank][kFigures]; null: gathered by MPI
  std::uint32_t round_ = kFirstCount;  // turns taken before this round, modulo 2^32
  std::uint64_t rounds_ = 0;           // rounds before this one
  int rank_ = 0;
  int size_ = 1;
};

// This process's part of one output with every line formatted once: the processes take each
// section's pieces in rounds, piece r × P + p of round r going to process p (P processes), a
// piece being as many jobs as the process has threads. Each formats its piece into memory; one
// exchange per round then tells every process what each piece of the round holds, the bytes
// before its own (its place in the file) and the entries before it (for the words that count
// them), and whether any process failed, so that all stop at the same round. output_bytes
// receives the bytes of the whole output. For a new file only: its size is known at the end.
std::string write_in_rounds(const OutputPlan& plan, MPI_File shared, const std::string& name,
                            ThreadRequest threads, int rank, int size, MPI_Comm communicator,
                            ProgressMeter* meter, std::uint64_t& output_bytes) {
  std::string error;
  if (rank == 0) {
    MpiFileSink heading(shared, 0, name);
    heading.write(plan.heading().data(), plan.heading().size());
    error = heading.error();
  }
  if (meter != nullptr) meter->begin_output(expected_bytes(plan), whole_sections(plan));
  const auto processes = static_cast<std::uint64_t>(size);
  std::uint64_t place = plan.heading().size();  // where the next round's bytes begin
  MemoryRun piece;
  RoundExchange exchange(communicator);
  std::vector<std::uint64_t> figures(RoundExchange::kFigures * processes);  // [process]
  for (int section = 0; section < plan.sections(); ++section) {
    const JobPlan jobs(plan, plan.run(section, 1, plan.line_count()));
    // Two jobs for each thread of the process. What a round costs beyond its formatting (the
    // exchange, the waits, the turns) is paid per piece, so pieces of one job cost more; pieces
    // of 4 MiB or more made the writes into the page cache of a disk slow here (on tmpfs, 8 jobs
    // measured as fast as 2).
    const std::uint64_t per_piece =
        kJobsPerPiece *
        (threads ? static_cast<std::uint64_t>(thread_count_for(*threads, jobs.job_count())) : 1);
    const std::uint64_t pieces = (jobs.job_count() + per_piece - 1) / per_piece;
    const auto last_line_of = [&](std::uint64_t piece_index) {
      return jobs.job(std::min(jobs.job_count(), (piece_index + 1) * per_piece) - 1).last;
    };
    std::uint64_t entries_before = 0;  // of the section's earlier rounds
    for (std::uint64_t first_piece = 0; first_piece < pieces; first_piece += processes) {
      const std::uint64_t index = first_piece + static_cast<std::uint64_t>(rank);
      const bool mine = index < pieces && error.empty();
      piece.clear();
      std::uint64_t entries = 0;
      if (mine) {
        const FormatJob run =
            plan.run(section, jobs.job(index * per_piece).first, last_line_of(index));
        try {
          entries = format_run(plan, run, threads, piece);
        } catch (const std::bad_alloc&) {
          error = "famgen: cannot write '" + name + "': out of memory";
        }
      }
      const std::uint64_t own[RoundExchange::kFigures] = {piece.size(), entries,
                                                          error.empty() ? 0u : 1u};
      exchange.gather(own, figures.data());
      std::uint64_t bytes_before_mine = 0;
      std::uint64_t entries_before_mine = 0;
      std::uint64_t round_bytes = 0;
      std::uint64_t round_entries = 0;
      bool any_failed = false;
      for (std::uint64_t p = 0; p < processes; ++p) {
        if (p == static_cast<std::uint64_t>(rank)) {
          bytes_before_mine = round_bytes;
          entries_before_mine = round_entries;
        }
        const std::uint64_t* const of_p = figures.data() + RoundExchange::kFigures * p;
        round_bytes += of_p[0];
        round_entries += of_p[1];
        any_failed = any_failed || of_p[2] != 0;
      }
      // The first process to fail says why, once every process has stopped.
      if (any_failed) return error;
      // Every process takes its turn, with a piece or without, so that the turns of the
      // round reach the last one.
      exchange.take();
      if (mine && piece.size() > 0) {
        char* const begin = piece.data();
        char* const end = begin + piece.size();
        if (plan.counts_earlier_entries(section)) {
          plan.rebase(section, begin, end, entries_before + entries_before_mine);
        }
        MpiFileSink sink(shared, static_cast<MPI_Offset>(place + bytes_before_mine), name);
        sink.write(begin, piece.size());
        error = sink.error();
      }
      exchange.pass();
      place += round_bytes;
      entries_before += round_entries;
      if (meter != nullptr) {
        meter->count(round_bytes);
        meter->reached(section, last_line_of(std::min(pieces, first_piece + processes) - 1));
      }
    }
  }
  if (rank == 0 && error.empty()) {
    MpiFileSink trailer(shared, static_cast<MPI_Offset>(place), name);
    trailer.write(plan.trailer().data(), plan.trailer().size());
    error = trailer.error();
  }
  output_bytes = place + plan.trailer().size();
  return error;
}

}  // namespace

Outcome MpiDestination::write(const GraphSource& source) const {
  int rank = 0;
  int size = 1;
  MPI_Comm_rank(communicator_, &rank);
  MPI_Comm_size(communicator_, &size);
  if (std::optional<Outcome> unnamed = unnamed_output(options_)) return *unnamed;
  for (const OutputSpec& output : options_.outputs) {
    if (output.name == "-") {
      return refused(
          "famgen-mpi writes a file that every process can reach, not standard output: "
          "name one with -out");
    }
  }
  // A file-size limit then reaches every process as the write error EFBIG.
  const FileSizeSignalIgnored file_size_signal;
  const std::deque<OutputPlan> plans = plans_of(source, options_);
  if (const std::optional<Outcome> refusal = refusal_of_plans(plans)) return *refusal;
  const std::size_t longest_path = longest_path_for(size);

  // Rank 0 opens the outputs as famgen does and tells the others where to write.
  GraphFiles files;
  int opened = 0;  // 0, or the status of a run that stops here
  std::string error;
  std::vector<std::string> targets(plans.size());
  // Per output: 1 when it rewrites a file in place, whose size must be known (and reserved)
  // before its first byte changes, so that its lines are measured before they are written.
  std::vector<int> in_place(plans.size(), 0);
  if (rank == 0) {
    std::vector<FileRequest> requests;
    for (std::size_t k = 0; k < plans.size(); ++k)
      requests.push_back({options_.outputs[k].name, [&plan = plans[k]] { return size_floor(plan); },
                          true, longest_path});
    files = open_graph_files(requests);
    for (std::size_t k = 0; k < files.files.size() && files.ok(); ++k) {
      targets[k] = files.files[k].shared_path();
      in_place[k] = needs_reservation(files.files[k]) ? 1 : 0;
    }
    if (!files.ok()) opened = close_graph_files(files);
    error = files.error;
  }
  broadcast(&opened, 1, MPI_INT, 0, communicator_);
  broadcast(in_place.data(), static_cast<int>(in_place.size()), MPI_INT, 0, communicator_);
  broadcast(error, communicator_, 0);
  if (opened != 0) return {opened, {}, error};

  std::optional<ProgressMeter> meter;
  if (rank == 0 && options_.progress) {
    double expected = 0;
    for (const OutputPlan& plan : plans)
      expected += expected_bytes(plan);
    meter.emplace(source.facts(), expected);
  }
  std::uint64_t written = 0;  // the bytes of every output, all processes together
  for (std::size_t k = 0; k < plans.size() && error.empty(); ++k) {
    const std::string& name = options_.outputs[k].name;
    broadcast(targets[k], communicator_, 0);
    MPI_File shared = MPI_FILE_NULL;
    const int open_code =
        MPI_File_open(communicator_, targets[k].c_str(), MPI_MODE_WRONLY, MPI_INFO_NULL, &shared);
    if (open_code != MPI_SUCCESS) {
      error = "famgen: cannot open '" + name + "': " + mpi_error_text(open_code);
    }
    error = agreed_failure(error, rank, size, communicator_);
    if (!error.empty()) break;
    // A file rewritten in place has its size reserved before any of its bytes change, and
    // ends where the new bytes end.
    const auto before_writing = [&files, k](std::uint64_t total) {
      GraphFile& file = files.files[k];
      reserve_graph_file(files, file, total);
      if (!files.ok()) return files.error;
      begin_graph_file(file);
      file.length = total;
      return std::string();
    };
    std::uint64_t output_bytes = 0;
    ProgressMeter* const shown = meter ? &*meter : nullptr;
    if (in_place[k] != 0) {
      error = write_share(plans[k], shared, name, options_.threads, rank, size, communicator_,
                          shown, output_bytes, before_writing);
    } else {
      if (rank == 0) begin_graph_file(files.files[k]);
      error = write_in_rounds(plans[k], shared, name, options_.threads, rank, size, communicator_,
                              shown, output_bytes);
      if (rank == 0) files.files[k].length = output_bytes;
    }
    written += output_bytes;
    const int close_code = MPI_File_close(&shared);
    if (close_code != MPI_SUCCESS && error.empty()) {
      error = "famgen: cannot close '" + name + "': " + mpi_error_text(close_code);
    }
    error = agreed_failure(error, rank, size, communicator_);
  }

  // Rank 0 keeps the new files or removes them, and says how that went.
  int status = error.empty() ? 0 : kStatusFileFailed;
  if (rank == 0) {
    if (!error.empty()) fail_graph_files(files, error, files.refused);
    status = close_graph_files(files);
    error = files.error;
  }
  broadcast(&status, 1, MPI_INT, 0, communicator_);
  broadcast(error, communicator_, 0);
  if (meter) meter->finish(status == 0, written);
  return {status, {}, error};
}

}  // namespace famgen
