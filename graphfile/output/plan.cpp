#include "graphfile/output/plan.hpp"

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "graphfile/layouts/layouts.hpp"

namespace famgen {

OutputPlan::OutputPlan(const GraphSource& source, Format format, RelabelSeed seed)
    : source_(source), format_(format) {
  if (seed) relabelling_.emplace(line_count(), *seed);
  const GraphFacts& facts = source.facts();
  with_layout(format, [&](auto layout) {
    heading_ = layout.heading(facts, seed);
    trailer_ = layout.trailer(facts);
    refusal_ = layout.refusal(facts).value_or("");
    lower_bound_ =
        saturating_add(heading_.size() + trailer_.size(), layout.body_lower_bound(facts));
    for (int section = 0; section < layout.kSections; ++section)
      line_bytes_.push_back(layout.line_bytes(section, facts));
  });
}

FormatJob OutputPlan::run(int section, Vertex first, Vertex last,
                          std::uint64_t entries_before) const {
  return {format_, relabelling_ ? &*relabelling_ : nullptr, section, first, last, entries_before};
}

double OutputPlan::estimated_bytes(int section) const {
  return line_bytes_[static_cast<std::size_t>(section)] * static_cast<double>(line_count());
}

Vertex OutputPlan::lines_per_job(int section) const {
  const double per_line = std::max(1.0, line_bytes_[static_cast<std::size_t>(section)]);
  return std::clamp<Vertex>(static_cast<Vertex>(kJobBytes / per_line), 1, kMostLinesPerJob);
}

bool OutputPlan::counts_earlier_entries(int section) const {
  return with_layout(format_, [&](auto layout) { return layout.counts_earlier_entries(section); });
}

void OutputPlan::rebase(int section, char* begin, char* end, std::uint64_t entries_before) const {
  with_layout(format_, [&](auto layout) { layout.rebase(section, begin, end, entries_before); });
}

JobPlan::JobPlan(const OutputPlan& plan, const FormatJob& run)
    : run_(run), lines_per_job_(plan.lines_per_job(run.section)) {
  const Vertex lines = std::max<Vertex>(0, run.last - run.first + 1);
  job_count_ = static_cast<std::uint64_t>(
      std::max<Vertex>(1, (lines + lines_per_job_ - 1) / lines_per_job_));
}

FormatJob JobPlan::job(std::uint64_t index) const {
  FormatJob job = run_;
  job.first = run_.first + static_cast<Vertex>(index) * lines_per_job_;
  job.last = std::min(run_.last, job.first + lines_per_job_ - 1);
  job.entries_before = 0;
  return job;
}

namespace {

// Pieces a process measures, so that ranges can end at a piece's edge and still hold about the
// same bytes.
constexpr std::int64_t kPiecesPerProcess = 16;

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

}  // namespace

std::uint64_t PieceMeasures::total() const {
  std::uint64_t sum = 0;
  for (const std::uint64_t piece : bytes)
    sum += piece;
  return sum;
}

PieceMeasures measure_pieces(const OutputPlan& plan, int processes, int rank,
                             ThreadRequest threads) {
  const Vertex lines = plan.line_count();
  const int sections = plan.sections();
  PieceMeasures measures;
  measures.pieces =
      std::max<std::int64_t>(1, std::min<std::int64_t>(lines, kPiecesPerProcess * processes));
  measures.bytes.assign(static_cast<std::size_t>(sections * measures.pieces), 0);
  measures.entries.assign(static_cast<std::size_t>(measures.pieces), 0);
  std::atomic<std::int64_t> next{rank};
  const auto work = [&] {
    for (std::int64_t p = next.fetch_add(processes); p < measures.pieces;
         p = next.fetch_add(processes)) {
      const Piece piece = piece_of(p, measures.pieces, lines);
      for (int section = 0; section < sections; ++section) {
        MeasuringOutput out;
        const std::uint64_t entries =
            plan.source().format(plan.run(section, piece.first, piece.last), out);
        measures.bytes[static_cast<std::size_t>(section * measures.pieces + p)] = out.bytes();
        if (section == 0) measures.entries[static_cast<std::size_t>(p)] = entries;
      }
    }
  };
  const int thread_count =
      threads ? thread_count_for(*threads, static_cast<std::uint64_t>(measures.pieces)) : 1;
  std::vector<std::thread> helpers;
  for (int i = 1; i < thread_count; ++i)
    helpers.emplace_back(work);
  work();
  for (std::thread& helper : helpers)
    helper.join();
  return measures;
}

ProcessShare share_of(const OutputPlan& plan, const PieceMeasures& measures, int rank,
                      int processes) {
  const std::int64_t pieces = measures.pieces;
  const int sections = plan.sections();
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
  // A piece goes to the process in whose share most of it lies.
  const auto first_piece_of = [&](int r) {
    if (r <= 0) return std::int64_t{0};
    const long double cut = static_cast<long double>(total) * r / processes;
    long double running = 0;
    for (std::int64_t p = 0; p < pieces; ++p) {
      const auto bytes = static_cast<long double>(piece_bytes[static_cast<std::size_t>(p)]);
      if (running + bytes / 2 > cut) return p;
      running += bytes;
    }
    return pieces;
  };
  const std::int64_t first_piece = first_piece_of(rank);
  const std::int64_t end_piece = rank + 1 >= processes ? pieces : first_piece_of(rank + 1);
  ProcessShare share;
  share.writes = first_piece < end_piece;
  if (share.writes) {
    share.first = piece_of(first_piece, pieces, plan.line_count()).first;
    share.last = piece_of(end_piece - 1, pieces, plan.line_count()).last;
  }
  std::uint64_t start = plan.heading().size();
  for (int section = 0; section < sections; ++section) {
    share.offsets.push_back(start);
    share.bytes.push_back(0);
    for (std::int64_t p = 0; p < pieces; ++p) {
      if (p < first_piece) share.offsets.back() += at(section, p);
      if (p >= first_piece && p < end_piece) share.bytes.back() += at(section, p);
      start += at(section, p);
    }
  }
  for (std::int64_t p = 0; p < first_piece; ++p)
    share.entries_before += measures.entries[static_cast<std::size_t>(p)];
  return share;
}

}  // namespace famgen
