// Where a run's outputs go: files (standard output among them), or memory. Both follow the
// outputs' plans (plan.hpp) and differ only in where the bytes land.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "graphfile/graph.hpp"
#include "graphfile/output/plan.hpp"
#include "graphfile/output/writer.hpp"

namespace famgen {

// One output of a run: a name ("-" for standard output) and the layout written there.
struct OutputSpec {
  std::string name;
  Format format = Format::kMetis;
};

struct WriteOptions {
  std::vector<OutputSpec> outputs;
  ThreadRequest threads;  // absent: the single pass on the calling thread
  RelabelSeed relabel_seed;
  bool progress = false;  // what is written, the rate and the time left, on standard error
};

// The plans of the outputs, in the options' order.
std::deque<OutputPlan> plans_of(const GraphSource& source, const WriteOptions& options);

// The refusal of the first output whose layout cannot hold the graph; nothing when all can.
std::optional<Outcome> refusal_of_plans(const std::deque<OutputPlan>& plans);
// The failure of a run that names no file for an output; nothing when every output has a name.
std::optional<Outcome> unnamed_output(const WriteOptions& options);

// The outputs as files, all of them or none (graph_file.hpp).
class FileDestination final : public GraphDestination {
 public:
  explicit FileDestination(WriteOptions options) : options_(std::move(options)) {}
  // METIS text, one pass, natural numbering: the run without any of the added options.
  explicit FileDestination(const std::string& output_name) : options_{{{output_name}}, {}, {}} {}
  Outcome write(const GraphSource& source) const override;

 private:
  WriteOptions options_;
};

// Appends what it is given.
class StringSink final : public ByteSink {
 public:
  void write(const char* data, std::size_t size) override { bytes.append(data, size); }
  bool failed() const override { return false; }
  std::string bytes;
};

// The outputs' bytes in memory, one string per output in the options' order; the names are
// not used.
class MemoryDestination final : public GraphDestination {
 public:
  MemoryDestination(WriteOptions options, std::vector<std::string>& outputs)
      : options_(std::move(options)), outputs_(outputs) {}
  Outcome write(const GraphSource& source) const override;

 private:
  WriteOptions options_;
  std::vector<std::string>& outputs_;
};

}  // namespace famgen
