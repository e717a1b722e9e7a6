#include "graphfile/output/destinations.hpp"

#include <new>
#include <optional>

#include "graphfile/output/graph_file.hpp"
#include "graphfile/output/progress.hpp"

namespace famgen {

namespace {

class FileSink final : public ByteSink {
 public:
  explicit FileSink(GraphFile& file) : file_(file) {}
  void write(const char* data, std::size_t size) override { write_graph_bytes(file_, data, size); }
  bool failed() const override { return !file_.error.empty(); }

 private:
  GraphFile& file_;
};

}  // namespace

std::deque<OutputPlan> plans_of(const GraphSource& source, const WriteOptions& options) {
  std::deque<OutputPlan> plans;
  for (const OutputSpec& output : options.outputs)
    plans.emplace_back(source, output.format, options.relabel_seed);
  return plans;
}

std::optional<Outcome> refusal_of_plans(const std::deque<OutputPlan>& plans) {
  for (const OutputPlan& plan : plans) {
    if (!plan.refusal().empty()) return refused(plan.refusal());
  }
  return std::nullopt;
}

std::optional<Outcome> unnamed_output(const WriteOptions& options) {
  for (const OutputSpec& output : options.outputs) {
    if (output.name.empty()) {
      return Outcome{kStatusFileFailed,
                     {},
                     "famgen: no output file (give -out FILE, or -out - for standard output)"};
    }
  }
  return std::nullopt;
}

Outcome FileDestination::write(const GraphSource& source) const {
  if (std::optional<Outcome> unnamed = unnamed_output(options_)) return *unnamed;
  GraphFiles files;
  std::optional<ProgressMeter> meter;
  try {
    const std::deque<OutputPlan> plans = plans_of(source, options_);
    if (const std::optional<Outcome> refusal = refusal_of_plans(plans)) return *refusal;
    std::vector<FileRequest> requests;
    for (std::size_t k = 0; k < plans.size(); ++k)
      requests.push_back(
          {options_.outputs[k].name, [&plan = plans[k]] { return size_floor(plan); }});
    files = open_graph_files(requests);
    // A file rewritten in place has its exact size reserved before its first byte changes.
    for (std::size_t k = 0; k < files.files.size() && files.ok(); ++k) {
      if (needs_reservation(files.files[k])) {
        reserve_graph_file(files, files.files[k], exact_size(plans[k], options_.threads));
      }
    }
    if (options_.progress && files.ok()) {
      double expected = 0;
      for (const OutputPlan& plan : plans)
        expected += expected_bytes(plan);
      meter.emplace(source.facts(), expected);
    }
    // New files first, then those written in place: a failure on the way leaves the latter as
    // they were.
    for (const bool in_place : {false, true}) {
      for (std::size_t k = 0; k < files.files.size() && files.ok(); ++k) {
        GraphFile& file = files.files[k];
        if (needs_reservation(file) != in_place) continue;
        begin_graph_file(file);
        FileSink sink(file);
        if (meter) {
          meter->begin_output(expected_bytes(plans[k]), whole_sections(plans[k]));
          ProgressSink progress(sink, *meter);
          write_output(plans[k], options_.threads, progress);
        } else {
          write_output(plans[k], options_.threads, sink);
        }
        if (!file.error.empty()) fail_graph_files(files, file.error);
      }
    }
  } catch (const std::bad_alloc&) {
    // Fewer threads and smaller buffers were tried on the way; what is made is taken back.
    const std::string name = options_.outputs.empty() ? "" : options_.outputs.front().name;
    fail_graph_files(files, "famgen: cannot write '" + name + "': out of memory", true);
  }
  const int status = close_graph_files(files);
  if (meter) meter->finish(status == 0, meter->counted());
  return {status, {}, files.error};
}

Outcome MemoryDestination::write(const GraphSource& source) const {
  const std::deque<OutputPlan> plans = plans_of(source, options_);
  outputs_.clear();
  if (const std::optional<Outcome> refusal = refusal_of_plans(plans)) return *refusal;
  for (const OutputPlan& plan : plans) {
    StringSink sink;
    write_output(plan, options_.threads, sink);
    outputs_.push_back(std::move(sink.bytes));
  }
  return {};
}

}  // namespace famgen
