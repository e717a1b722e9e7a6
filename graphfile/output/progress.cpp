#include "graphfile/output/progress.hpp"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "graphfile/output/graph_file.hpp"

namespace famgen {

namespace {

// A terminal's line is rewritten at most this often.
constexpr double kRewriteSeconds = 0.25;

std::string time_left(double seconds) {
  const auto whole = static_cast<long long>(std::ceil(seconds));
  char text[48];
  if (whole < 100) {
    std::snprintf(text, sizeof text, "%lld s", whole);
  } else if (whole < 6000) {
    std::snprintf(text, sizeof text, "%lld min %02lld s", whole / 60, whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld h %02lld min", whole / 3600, whole / 60 % 60);
  }
  return text;
}

}  // namespace

ProgressMeter::ProgressMeter(const GraphFacts& facts, double expected_bytes)
    : start_(std::chrono::steady_clock::now()),
      terminal_(isatty(STDERR_FILENO) == 1),
      vertices_(facts.line_count()),
      edges_(facts.counts.arcs / 2),
      expected_total_(std::max(1.0, expected_bytes)) {}

ProgressMeter::~ProgressMeter() {
  if (open_line_ > 0) std::fputc('\n', stderr);
}

void ProgressMeter::begin_output(double expected_bytes, std::vector<ProgressStage> sections,
                                 double scale) {
  expected_before_ += expected_current_;
  expected_current_ = expected_bytes;
  sections_ = std::move(sections);
  scale_ = scale;
}

void ProgressMeter::count(std::uint64_t bytes) {
  counted_ += bytes;
  shown_bytes_ += static_cast<double>(bytes) * scale_;
}

double ProgressMeter::fraction(int section, Vertex last) const {
  double total = 0;
  double done = 0;
  for (std::size_t k = 0; k < sections_.size(); ++k) {
    const ProgressStage& stage = sections_[k];
    total += stage.weight;
    if (static_cast<int>(k) < section) {
      done += stage.weight;
    } else if (static_cast<int>(k) == section && stage.last >= stage.first) {
      done += stage.weight * static_cast<double>(std::min(last, stage.last) - stage.first + 1) /
              static_cast<double>(stage.last - stage.first + 1);
    }
  }
  const double within = total > 0 ? done / total : 1;
  return std::clamp((expected_before_ + expected_current_ * within) / expected_total_, 0.0, 1.0);
}

double ProgressMeter::seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void ProgressMeter::reached(int section, Vertex last) {
  const double done = fraction(section, last);
  const int tenths = static_cast<int>(done * 10);
  // Off a terminal a line for every tenth passed, the whole run's being the summary's.
  if (!terminal_ && (tenths <= tenths_shown_ || tenths >= 10)) return;
  const double elapsed = seconds();
  if (terminal_ && elapsed - last_shown_ < kRewriteSeconds) return;
  tenths_shown_ = tenths;
  last_shown_ = elapsed;
  char text[160];
  const double rate = elapsed > 0 ? shown_bytes_ / elapsed : 0;
  std::snprintf(text, sizeof text, "famgen: %d %%, %s written, %.2f GB/s, %s left",
                static_cast<int>(done * 100),
                human_size(static_cast<std::uint64_t>(shown_bytes_)).c_str(), rate / 1e9,
                done > 0 ? time_left(elapsed * (1 - done) / done).c_str() : "?");
  show(text, terminal_);
}

void ProgressMeter::finish(bool written, std::uint64_t bytes) {
  if (finished_) return;
  finished_ = true;
  if (!written) {
    if (open_line_ > 0) std::fputc('\n', stderr);
    open_line_ = 0;
    return;
  }
  const double elapsed = seconds();
  char text[200];
  std::snprintf(text, sizeof text,
                "famgen: %lld vertices, %lld edges, %llu bytes in %.2f s, %.2f GB/s",
                static_cast<long long>(vertices_), static_cast<long long>(edges_),
                static_cast<unsigned long long>(bytes), elapsed,
                elapsed > 0 ? static_cast<double>(bytes) / elapsed / 1e9 : 0.0);
  show(text, false);
}

void ProgressMeter::show(const std::string& text, bool in_place) {
  std::string line;
  if (open_line_ > 0) {
    // Back to the start of the open line, and blanks over what the new text leaves of it.
    line = "\r" + text;
    if (text.size() < open_line_) line.append(open_line_ - text.size(), ' ');
  } else {
    line = text;
  }
  if (!in_place) line += '\n';
  open_line_ = in_place ? text.size() : 0;
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

std::vector<ProgressStage> whole_sections(const OutputPlan& plan) {
  std::vector<ProgressStage> sections;
  for (int section = 0; section < plan.sections(); ++section)
    sections.push_back({1, plan.line_count(), plan.estimated_bytes(section)});
  return sections;
}

double expected_bytes(const OutputPlan& plan) {
  double bytes = static_cast<double>(plan.heading().size() + plan.trailer().size());
  for (int section = 0; section < plan.sections(); ++section)
    bytes += plan.estimated_bytes(section);
  return bytes;
}

}  // namespace famgen
