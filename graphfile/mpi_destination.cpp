#include "graphfile/mpi_destination.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "graphfile/graph_file.hpp"
#include "graphfile/relabelling.hpp"

namespace {

// Pieces a process measures, so that ranges can end at a piece's edge and still hold about the
// same bytes.
constexpr std::int64_t kPiecesPerProcess = 16;

std::string mpi_error_text(int code) {
  char text[MPI_MAX_ERROR_STRING];
  int length = 0;
  MPI_Error_string(code, text, &length);
  return std::string(text, static_cast<std::size_t>(length));
}

void broadcast(std::string& text, MPI_Comm communicator, int root) {
  auto length = static_cast<unsigned long long>(text.size());
  MPI_Bcast(&length, 1, MPI_UNSIGNED_LONG_LONG, root, communicator);
  text.resize(length);
  MPI_Bcast(text.data(), static_cast<int>(length), MPI_CHAR, root, communicator);
}

// Counts the bytes a job would write, and keeps none of them.
class MeasuringOutput final : public ChunkOutput {
 public:
  MeasuringOutput() : buffer_(std::make_unique<char[]>(kBufferBytes + kOperationRoom)) {
    cursor = buffer_.get();
    limit = buffer_.get() + kBufferBytes;
  }
  void make_room() override {
    bytes_ += static_cast<std::uint64_t>(cursor - buffer_.get());
    cursor = buffer_.get();
  }
  std::uint64_t bytes() {
    make_room();
    return bytes_;
  }

 private:
  static constexpr std::size_t kBufferBytes = 64 * 1024;
  std::unique_ptr<char[]> buffer_;
  std::uint64_t bytes_ = 0;
};

// A process's part of the shared file, from the place the scan gave it.
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

// The lines of piece p of count pieces over lines 1..line_count: as even as whole lines allow.
struct Piece {
  Vertex first;
  Vertex last;
};
Piece piece_of(std::int64_t p, std::int64_t count, Vertex line_count) {
  const Vertex size = line_count / count;
  const Vertex extra = line_count % count;
  const Vertex first = 1 + p * size + std::min<Vertex>(p, extra);
  return {first, first + size + (p < extra ? 1 : 0) - 1};
}

struct Measures {
  std::vector<std::uint64_t> bytes;    // [section × pieces + piece]
  std::vector<std::uint64_t> entries;  // [piece]: what section 0 of the piece returns
};

// This process measures pieces rank, rank + size, ... on its threads; the sums over all
// processes give every piece's figures to all of them.
Measures measure_pieces(const GraphSource& source, const FormatJob& shape, int sections,
                        std::int64_t pieces, int rank, int size, int threads,
                        MPI_Comm communicator) {
  const Vertex lines = source.facts().line_count();
  Measures measures;
  measures.bytes.assign(static_cast<std::size_t>(sections * pieces), 0);
  measures.entries.assign(static_cast<std::size_t>(pieces), 0);
  std::atomic<std::int64_t> next{rank};
  const auto work = [&] {
    for (std::int64_t p = next.fetch_add(size); p < pieces; p = next.fetch_add(size)) {
      const Piece piece = piece_of(p, pieces, lines);
      for (int section = 0; section < sections; ++section) {
        FormatJob job = shape;
        job.section = section;
        job.first = piece.first;
        job.last = piece.last;
        MeasuringOutput out;
        const std::uint64_t entries = source.format(job, out);
        measures.bytes[static_cast<std::size_t>(section * pieces + p)] = out.bytes();
        if (section == 0) measures.entries[static_cast<std::size_t>(p)] = entries;
      }
    }
  };
  std::vector<std::thread> helpers;
  for (int i = 1; i < threads; ++i)
    helpers.emplace_back(work);
  work();
  for (std::thread& helper : helpers)
    helper.join();
  MPI_Allreduce(MPI_IN_PLACE, measures.bytes.data(), static_cast<int>(measures.bytes.size()),
                MPI_UINT64_T, MPI_SUM, communicator);
  MPI_Allreduce(MPI_IN_PLACE, measures.entries.data(), static_cast<int>(measures.entries.size()),
                MPI_UINT64_T, MPI_SUM, communicator);
  return measures;
}

// This process's share of the file: its pieces, its bytes in each section, and where each
// section begins.
struct Share {
  std::int64_t first_piece = 0;
  std::int64_t end_piece = 0;                // one past the last
  std::vector<std::uint64_t> bytes;          // [section]
  std::vector<std::uint64_t> section_start;  // [section]: its byte position in the file
  std::uint64_t entries = 0;                 // listed by the share's lines
};

// Contiguous pieces for each process, cut where the running total of bytes passes rank / size
// of the whole (a piece goes to the process in whose share most of it lies).
Share share_of(const Measures& measures, int sections, std::int64_t pieces,
               std::uint64_t heading_bytes, int rank, int size) {
  const auto at = [&](int section, std::int64_t p) {
    return measures.bytes[static_cast<std::size_t>(section * pieces + p)];
  };
  std::vector<std::uint64_t> piece_bytes(static_cast<std::size_t>(pieces), 0);
  std::uint64_t total = 0;
  for (std::int64_t p = 0; p < pieces; ++p) {
    for (int section = 0; section < sections; ++section)
      piece_bytes[static_cast<std::size_t>(p)] += at(section, p);
    total += piece_bytes[static_cast<std::size_t>(p)];
  }
  const auto first_piece_of = [&](int r) {
    if (r <= 0) return std::int64_t{0};
    const long double cut = static_cast<long double>(total) * r / size;
    long double running = 0;
    for (std::int64_t p = 0; p < pieces; ++p) {
      const auto bytes = static_cast<long double>(piece_bytes[static_cast<std::size_t>(p)]);
      if (running + bytes / 2 > cut) return p;
      running += bytes;
    }
    return pieces;
  };
  Share share;
  share.first_piece = first_piece_of(rank);
  share.end_piece = rank + 1 >= size ? pieces : first_piece_of(rank + 1);
  std::uint64_t start = heading_bytes;
  for (int section = 0; section < sections; ++section) {
    share.section_start.push_back(start);
    share.bytes.push_back(0);
    for (std::int64_t p = 0; p < pieces; ++p) {
      start += at(section, p);
      if (p >= share.first_piece && p < share.end_piece) share.bytes.back() += at(section, p);
    }
  }
  for (std::int64_t p = share.first_piece; p < share.end_piece; ++p)
    share.entries += measures.entries[static_cast<std::size_t>(p)];
  return share;
}

std::uint64_t exclusive_sum(std::uint64_t mine, int rank, MPI_Comm communicator) {
  std::uint64_t before = 0;
  MPI_Exscan(&mine, &before, 1, MPI_UINT64_T, MPI_SUM, communicator);
  return rank == 0 ? 0 : before;  // rank 0's result is undefined
}

// The first failure any process met, the same on every process; empty when none failed.
std::string agreed_failure(const std::string& mine, int rank, int size, MPI_Comm communicator) {
  int first_failed = mine.empty() ? size : rank;
  MPI_Allreduce(MPI_IN_PLACE, &first_failed, 1, MPI_INT, MPI_MIN, communicator);
  if (first_failed == size) return {};
  std::string error = mine;
  broadcast(error, communicator, first_failed);
  return error;
}

}  // namespace

Outcome MpiDestination::write(const GraphSource& source) const {
  int rank = 0;
  int size = 1;
  MPI_Comm_rank(communicator_, &rank);
  MPI_Comm_size(communicator_, &size);
  const std::string& name = options_.output_name;
  if (name == "-") {
    return refused(
        "famgen-mpi writes a file that every process can reach, not standard output: "
        "name one with -out");
  }
  // A file-size limit then reaches every process as the write error EFBIG.
  signal(SIGXFSZ, SIG_IGN);
  const GraphFacts& facts = source.facts();
  const Format format = options_.format;
  const std::string heading = layout_heading(format, facts, options_.relabel_seed);

  // Rank 0 opens the output as famgen does and tells the others where to write.
  GraphFile file;
  int opened = 0;  // 0, or the status of a run that stops here
  std::string target_or_error;
  if (rank == 0) {
    file = open_graph_file(name, layout_lower_bound(format, facts, heading.size()));
    if (file.refused) {
      opened = kStatusRefused;
    } else if (!graph_file_ok(file)) {
      opened = close_graph_file(file);
    }
    target_or_error = opened != 0 ? file.error : file.temporary.empty() ? name : file.temporary;
  }
  MPI_Bcast(&opened, 1, MPI_INT, 0, communicator_);
  broadcast(target_or_error, communicator_, 0);
  if (opened != 0) return {opened, {}, target_or_error};

  MPI_File shared = MPI_FILE_NULL;
  const int open_code = MPI_File_open(communicator_, target_or_error.c_str(), MPI_MODE_WRONLY,
                                      MPI_INFO_NULL, &shared);
  std::string error;
  if (open_code != MPI_SUCCESS)
    error = "famgen: cannot open '" + name + "': " + mpi_error_text(open_code);
  error = agreed_failure(error, rank, size, communicator_);

  if (error.empty()) {
    std::optional<Relabelling> relabelling;
    if (options_.relabel_seed) relabelling.emplace(facts.line_count(), *options_.relabel_seed);
    FormatJob shape;
    shape.format = format;
    shape.relabelling = relabelling ? &*relabelling : nullptr;
    const int sections = layout_sections(format);
    const Vertex lines = facts.line_count();
    const std::int64_t pieces =
        std::max<std::int64_t>(1, std::min<std::int64_t>(lines, kPiecesPerProcess * size));
    const int threads =
        options_.threads ? thread_count_for(*options_.threads, static_cast<std::uint64_t>(pieces))
                         : 1;
    const Measures measures =
        measure_pieces(source, shape, sections, pieces, rank, size, threads, communicator_);

    const Share share = share_of(measures, sections, pieces, heading.size(), rank, size);
    const std::uint64_t entries_before = exclusive_sum(share.entries, rank, communicator_);

    if (rank == 0) {
      MpiFileSink sink(shared, 0, name);
      sink.write(heading.data(), heading.size());
      error = sink.error();
    }
    for (int section = 0; section < sections; ++section) {
      const std::uint64_t mine = share.bytes[static_cast<std::size_t>(section)];
      const std::uint64_t offset = share.section_start[static_cast<std::size_t>(section)] +
                                   exclusive_sum(mine, rank, communicator_);
      if (share.first_piece == share.end_piece || !error.empty()) continue;
      FormatJob run;
      run.format = format;
      run.relabelling = shape.relabelling;
      run.section = section;
      run.first = piece_of(share.first_piece, pieces, lines).first;
      run.last = piece_of(share.end_piece - 1, pieces, lines).last;
      run.entries_before = entries_before;
      MpiFileSink sink(shared, static_cast<MPI_Offset>(offset), name);
      write_section(source, run, options_.threads, sink);
      error = sink.error();
      if (error.empty() && sink.written() != mine) {
        error = "famgen: internal error: a range of '" + name + "' came out " +
                std::to_string(sink.written()) + " bytes long, measured " + std::to_string(mine);
      }
    }
    const int close_code = MPI_File_close(&shared);
    if (close_code != MPI_SUCCESS && error.empty()) {
      error = "famgen: cannot close '" + name + "': " + mpi_error_text(close_code);
    }
    error = agreed_failure(error, rank, size, communicator_);
  }

  // Rank 0 keeps the new file or removes it, and says how that went.
  int status = error.empty() ? 0 : -1;
  if (rank == 0) {
    if (!error.empty()) file.error = error;
    status = close_graph_file(file);
    error = file.error;
  }
  MPI_Bcast(&status, 1, MPI_INT, 0, communicator_);
  broadcast(error, communicator_, 0);
  return {status, {}, error};
}
