#include "graphfile/output/plan.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <limits>
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
    for (int section = 0; section < layout.sections(facts); ++section)
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

// Counts the bytes a job would write, and keeps none of them. Its buffer is its own, so that
// measuring allocates nothing.
class MeasuringOutput final : public ChunkOutput {
 public:
  MeasuringOutput() {
    cursor = buffer_;
    limit = buffer_ + kBufferBytes;
  }
  MeasuringOutput(const MeasuringOutput&) = delete;
  MeasuringOutput& operator=(const MeasuringOutput&) = delete;
  void make_room() override {
    bytes_ += static_cast<std::uint64_t>(cursor - buffer_);
    cursor = buffer_;
  }
  // The bytes of a job, and the entries it lists where its section counts them.
  std::uint64_t measure(const OutputPlan& plan, const FormatJob& job,
                        std::uint64_t* entries = nullptr) {
    bytes_ = 0;
    cursor = buffer_;
    const std::uint64_t listed = plan.source().format(job, *this);
    if (entries != nullptr) *entries = listed;
    make_room();
    return bytes_;
  }

 private:
  static constexpr std::size_t kBufferBytes = 16 * 1024;
  char buffer_[kBufferBytes + kOperationRoom];
  std::uint64_t bytes_ = 0;
};

// Starts helpers that run work beside the calling thread; fewer than asked for when the system
// has no more threads (or no memory for them) to give.
template <class Work>
std::vector<std::thread> start_helpers(int count, const Work& work) {
  std::vector<std::thread> helpers;
  helpers.reserve(static_cast<std::size_t>(std::max(0, count)));
  for (int i = 0; i < count; ++i) {
    try {
      helpers.emplace_back(work);
    } catch (const std::exception&) {
      break;
    }
  }
  return helpers;
}

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
    MeasuringOutput out;
    for (std::int64_t p = next.fetch_add(processes); p < measures.pieces;
         p = next.fetch_add(processes)) {
      const Piece piece = piece_of(p, measures.pieces, lines);
      for (int section = 0; section < sections; ++section) {
        std::uint64_t entries = 0;
        measures.bytes[static_cast<std::size_t>(section * measures.pieces + p)] =
            out.measure(plan, plan.run(section, piece.first, piece.last), &entries);
        if (section == 0) measures.entries[static_cast<std::size_t>(p)] = entries;
      }
    }
  };
  const int thread_count =
      threads ? thread_count_for(*threads, static_cast<std::uint64_t>(measures.pieces)) : 1;
  std::vector<std::thread> helpers = start_helpers(thread_count - 1, work);
  work();
  for (std::thread& helper : helpers)
    helper.join();
  return measures;
}

namespace {

// A number from 0 to range - 1 that depends on key alone (splitmix64's finish).
std::uint64_t spread(std::uint64_t key, std::uint64_t range) {
  key += 0x9e3779b97f4a7c15;
  key = (key ^ (key >> 30)) * 0xbf58476d1ce4e5b9;
  key = (key ^ (key >> 27)) * 0x94d049bb133111eb;
  return (key ^ (key >> 31)) % range;
}

// A section's bytes estimated from a sample of its lines; how far the estimates of two halves
// of the sample disagree; and how many points the sample has and how rough their figures are
// from one point to the next, which the halves of a few points cannot judge.
struct SectionEstimate {
  double bytes = 0;
  double disagreement = 0;
  std::size_t points = 0;
  double roughness = 0;  // the mean distance of a point's figure from its neighbours' middle
};

// A block of lines measured as one, and what it stands for.
struct Point {
  double at = 0;       // the middle of its lines
  double bytes = 0;    // of its lines, heavy ones left out
  double written = 0;  // the entries its lines write, or its lines where they write none
  double lines = 0;
  double figure() const { return written > 0 ? bytes / written : 0; }
};

// The estimate from the points; of the points dealt into two halves, each holding one of every
// two neighbouring points (so that each half still covers every part of the lines), which one
// by a draw that no structure of the graph lines up with (not alternately: the odd strata of a
// hypercube list more than the even); and the points' roughness.
template <class Estimate>
SectionEstimate estimate_from(const std::vector<Point>& points, const Estimate& estimate) {
  SectionEstimate result{estimate(points), 0, points.size(), 0};
  std::vector<Point> halves[2];
  for (std::size_t k = 0; k < points.size(); ++k)
    halves[(spread(k / 2 ^ 0x5bd1e995, 2) + k) % 2].push_back(points[k]);
  if (halves[0].size() >= 2 && halves[1].size() >= 2) {
    result.disagreement = std::abs(estimate(halves[0]) - estimate(halves[1]));
  }
  double distance = 0;
  double total = 0;
  for (std::size_t k = 1; k + 1 < points.size(); ++k) {
    distance +=
        std::abs(points[k].figure() - (points[k - 1].figure() + points[k + 1].figure()) / 2);
    total += points[k].figure();
  }
  result.roughness = total > 0 ? distance / total : 0;
  return result;
}

// Lines 1..lines cut into strata, and in each a block of block_lines at a place that no
// structure of the graph can line up with (a fixed pseudo-random place).
std::vector<Piece> sample_blocks(Vertex lines, Vertex strata, Vertex block_lines) {
  std::vector<Piece> blocks;
  for (Vertex s = 0; s < strata; ++s) {
    const Piece stratum = piece_of(s, strata, lines);
    const Vertex size = stratum.last - stratum.first + 1;
    const Vertex block = std::min(size, block_lines);
    const auto start =
        stratum.first + static_cast<Vertex>(spread(static_cast<std::uint64_t>(s),
                                                   static_cast<std::uint64_t>(size - block + 1)));
    blocks.push_back({start, start + block - 1});
  }
  return blocks;
}

// A section whose lines hold each its vertex's own value (positions, offsets): the bytes of a
// line taken to change linearly from one block to the next, exact where they grow evenly and
// within a step's share where they step (a digit more).
SectionEstimate estimate_by_lines(const OutputPlan& plan, int section,
                                  const std::vector<Piece>& blocks, MeasuringOutput& out) {
  std::vector<Point> points;
  for (const Piece& block : blocks) {
    const auto bytes =
        static_cast<double>(out.measure(plan, plan.run(section, block.first, block.last)));
    const auto count = static_cast<double>(block.last - block.first + 1);
    points.push_back({static_cast<double>(block.first + block.last) / 2, bytes, count, count});
  }
  const double lines = static_cast<double>(plan.line_count());
  return estimate_from(points, [lines](const std::vector<Point>& joined) {
    const auto per_line = [&](std::size_t k) { return joined[k].bytes / joined[k].lines; };
    double total = per_line(0) * (joined.front().at - 0.5);
    for (std::size_t k = 1; k < joined.size(); ++k)
      total += (per_line(k - 1) + per_line(k)) / 2 * (joined[k].at - joined[k - 1].at);
    return total + per_line(joined.size() - 1) * (lines + 0.5 - joined.back().at);
  });
}

// A section whose bytes follow the entries its lines write, whose total the layout knows: the
// bytes an entry takes, from the sample, times that total. Lines of very different sizes (the
// edges of complete graphs, of which a line writes fewer and fewer) weigh nothing then.
//
// A line that lists far more entries than most (a star's hub) is kept out of the blocks and
// counted once: measured where that costs no more than the sample, otherwise as the layout
// reckons a line of its entries numbered all over 1..V (its bytes an entry are not the other
// lines': the hub's numbers run to V, the others' include the hub's 1). Such lines are looked
// for one at a time at both ends of every stratum, in line order and in the vertices' own
// order, where the graph's shape lies (the hub is vertex 1 whatever line a relabelling gives
// it), and in every block that lists more than its lines should.
SectionEstimate estimate_by_entries(const OutputPlan& plan, int section,
                                    const WrittenEntries& written, Vertex strata,
                                    const std::vector<Piece>& blocks, double sample_bytes,
                                    MeasuringOutput& out) {
  const Vertex lines = plan.line_count();
  // Every entry the lines list, as ParHIP's offsets count them.
  const auto listed = [&](Vertex first, Vertex last) {
    std::uint64_t entries = 0;
    if (first <= last) {
      out.measure(plan, {Format::kParhip, plan.relabelling(), 0, first, last, 0}, &entries);
    }
    return static_cast<double>(entries);
  };
  // The bytes of lines first..last, and the entries they write.
  const auto measure = [&](Vertex first, Vertex last, double& bytes, double& entries) {
    if (first > last) return;
    std::uint64_t counted = 0;
    bytes += static_cast<double>(out.measure(plan, plan.run(section, first, last), &counted));
    entries += written.kind == WrittenEntries::Kind::kCounted ? static_cast<double>(counted)
                                                              : listed(first, last);
  };
  const auto line_of_vertex = [&](Vertex vertex) {
    return plan.relabelling() != nullptr ? plan.relabelling()->forward(vertex) : vertex;
  };

  // The heavy lines: past 16 times the median entries of the lines looked at one at a time.
  std::vector<std::pair<Vertex, double>> heavy;  // line, entries listed
  std::vector<std::pair<double, Vertex>> looked;
  const auto look = [&](Vertex vertex) {
    const Vertex line = line_of_vertex(vertex);
    looked.emplace_back(listed(line, line), line);
    if (line != vertex) looked.emplace_back(listed(vertex, vertex), vertex);
  };
  for (Vertex s = 0; s < strata; ++s) {
    const Piece stratum = piece_of(s, strata, lines);
    look(stratum.first);
    if (stratum.last > stratum.first) look(stratum.last);
  }
  const auto middle = looked.begin() + static_cast<std::ptrdiff_t>(looked.size() / 2);
  std::nth_element(looked.begin(), middle, looked.end());
  const double median = middle->first;
  const double threshold = std::max(64.0, 16 * median);
  for (const auto& [entries, line] : looked) {
    if (entries > threshold) heavy.emplace_back(line, entries);
  }
  for (const Piece& block : blocks) {
    const auto count = static_cast<double>(block.last - block.first + 1);
    if (count == 1 || listed(block.first, block.last) <= median * count + threshold) continue;
    for (Vertex line = block.first; line <= block.last; ++line) {
      const double entries = listed(line, line);
      if (entries > threshold) heavy.emplace_back(line, entries);
    }
  }
  std::sort(heavy.begin(), heavy.end());
  heavy.erase(std::unique(heavy.begin(), heavy.end()), heavy.end());

  // The blocks, around their heavy lines.
  std::vector<Point> points;
  for (const Piece& block : blocks) {
    Point point{static_cast<double>(block.first + block.last) / 2, 0, 0, 0};
    Vertex from = block.first;
    auto next = std::lower_bound(heavy.begin(), heavy.end(), std::make_pair(block.first, 0.0));
    for (; next != heavy.end() && next->first <= block.last; ++next) {
      measure(from, next->first - 1, point.bytes, point.written);
      point.lines += static_cast<double>(next->first - from);
      from = next->first + 1;
    }
    measure(from, block.last, point.bytes, point.written);
    point.lines += static_cast<double>(block.last - from + 1);
    if (point.lines > 0) points.push_back(point);
  }
  // The heavy lines themselves.
  double heavy_bytes = 0;
  double heavy_written = 0;
  double budget = sample_bytes;
  for (const auto& heavy_line : heavy) {
    const Vertex line = heavy_line.first;
    const double entries = heavy_line.second;
    const SpreadLine reckoned = with_layout(plan.format(), [&](auto layout) {
      return layout.spread_line(section, plan.source().facts(), line, entries);
    });
    if (reckoned.bytes <= budget) {
      double bytes = 0;
      double line_written = 0;
      measure(line, line, bytes, line_written);
      budget -= bytes;
      heavy_bytes += bytes;
      heavy_written += line_written;
    } else {
      heavy_bytes += reckoned.bytes;
      heavy_written += reckoned.written;
    }
  }
  const double other_written = std::max(0.0, written.total - heavy_written);
  if (points.empty()) return {heavy_bytes, 0, 0, 0};
  return estimate_from(points, [&](const std::vector<Point>& sample) {
    double bytes = 0;
    double entries = 0;
    for (const Point& point : sample) {
      bytes += point.bytes;
      entries += point.written;
    }
    return heavy_bytes + (entries > 0 ? bytes / entries * other_written : 0);
  });
}

}  // namespace

std::uint64_t size_floor(const OutputPlan& plan) {
  // About a thousandth of the output is formatted to estimate it, from 128 KiB (which measures
  // the smaller outputs whole) to 64 MiB: a thousandth of the run's own formatting at most, a
  // millisecond on most outputs. Where the two halves of the sample disagree by more than 1 %,
  // or where a sample of few points (large lines) finds them rough, the sample grows, up to a
  // twentieth of the output (between 4 and 256 MiB): lines of very different sizes, few of
  // them (the edges of complete graphs).
  constexpr double kSampleShare = 1.0 / 1000;
  constexpr double kLeastSample = 128 * 1024;
  constexpr double kMostSample = 64 << 20;  // a twentieth of a second, on outputs past 64 GB
  constexpr double kMostSampleShare = 1.0 / 20;
  constexpr double kMostSmallSample = 4 << 20;
  constexpr double kMostGrownSample = 256 << 20;
  constexpr double kMostDisagreement = 0.01;
  constexpr std::size_t kLeastPoints = 128;
  const Vertex lines = plan.line_count();
  double estimate = static_cast<double>(plan.heading().size() + plan.trailer().size());
  double uncertainty = 0;  // the largest disagreement of a section's halves, a share of it
  bool exact = true;
  MeasuringOutput out;
  for (int section = 0; section < plan.sections() && lines > 0; ++section) {
    const double line_bytes = std::max(1.0, plan.line_bytes(section));
    const double about = line_bytes * static_cast<double>(lines);
    double sample = std::clamp(about * kSampleShare, kLeastSample, kMostSample);
    if (about <= sample) {
      estimate += static_cast<double>(out.measure(plan, plan.run(section, 1, lines)));
      continue;
    }
    exact = false;
    const WrittenEntries written = with_layout(plan.format(), [&](auto layout) {
      return layout.written_entries(section, plan.source().facts());
    });
    for (;;) {
      constexpr Vertex kMostStrata = 512;  // points enough for any shape, a few calls each
      const auto sample_lines = std::max<Vertex>(1, static_cast<Vertex>(sample / line_bytes));
      const Vertex strata = std::min({sample_lines, kMostStrata, lines});
      const std::vector<Piece> blocks =
          sample_blocks(lines, strata, std::max<Vertex>(1, sample_lines / strata));
      const SectionEstimate section_estimate =
          written.kind == WrittenEntries::Kind::kNone
              ? estimate_by_lines(plan, section, blocks, out)
              : estimate_by_entries(plan, section, written, strata, blocks, sample, out);
      const double disagreement =
          section_estimate.disagreement / std::max(1.0, section_estimate.bytes);
      const bool settled =
          disagreement <= kMostDisagreement && (section_estimate.points >= kLeastPoints ||
                                                section_estimate.roughness <= kMostDisagreement);
      const double largest =
          std::max(kMostSmallSample, std::min(about * kMostSampleShare, kMostGrownSample));
      if (settled || sample * 4 > largest) {
        estimate += section_estimate.bytes;
        uncertainty = std::max(uncertainty, disagreement);
        break;
      }
      sample *= 4;
    }
  }
  if (exact) return static_cast<std::uint64_t>(estimate);
  // Below the estimate by more than its error, which the sweeps keep within a few per cent, and
  // by more again where the sample stayed uncertain: a file that fits is never refused.
  const double floor = estimate * std::max(0.5, 0.95 - uncertainty / 2);
  if (floor >= 18446744073709549568.0) return UINT64_MAX;  // the largest double below 2^64
  return std::max(plan.lower_bound(), static_cast<std::uint64_t>(floor));
}

std::uint64_t exact_size(const OutputPlan& plan, ThreadRequest threads) {
  return saturating_add(plan.heading().size() + plan.trailer().size(),
                        measure_pieces(plan, 1, 0, threads).total());
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

int thread_count_for(std::int32_t requested, std::uint64_t job_count) {
  constexpr int kMostThreads = 64;
  int count = requested;
  if (count <= 0) count = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  count = std::min(count, kMostThreads);
  return static_cast<int>(std::max<std::uint64_t>(1, std::min<std::uint64_t>(count, job_count)));
}

}  // namespace famgen
