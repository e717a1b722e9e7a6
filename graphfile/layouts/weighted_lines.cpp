#include "graphfile/layouts/weighted_lines.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <tuple>
#include <utility>

#include "graphfile/layouts/layouts.hpp"
#include "graphfile/relabelling.hpp"

namespace famgen {

namespace {

constexpr UInt128 kMostSquared = static_cast<UInt128>(1) << 126;

// The least s with s² >= value, for value below 2^126.
std::uint64_t ceiling_root(UInt128 value) {
  if (value < (UInt128{1} << 62)) {  // a double's root is within one of the truth: 64-bit checks
    const auto small = static_cast<std::uint64_t>(value);
    auto s = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(small)));
    while (s * s < small)
      ++s;
    while (s > 0 && (s - 1) * (s - 1) >= small)
      --s;
    return s;
  }
  auto s = static_cast<std::uint64_t>(std::sqrt(static_cast<long double>(value)));
  const auto square = [](std::uint64_t x) { return static_cast<UInt128>(x) * x; };
  while (square(s) < value)
    ++s;
  while (s > 0 && square(s - 1) >= value)
    --s;
  return s;
}

// Hands each line's entries on, in the family's numbering: a whole list or fixed line as the
// family gives it, a line given entry by entry once it ends.
template <class Handler>
class LineCollector final : public VirtualLineSink {
 public:
  LineCollector(Vertex first_vertex, Handler& handler) : vertex_(first_vertex), handler_(handler) {}
  void at(Vertex vertex) { vertex_ = vertex; }
  void write_neighbour(Vertex neighbour) override { entries_.push_back(neighbour); }
  void write_neighbour_run(Vertex first, Vertex count) override {
    for (Vertex v = first; v < first + count; ++v)
      entries_.push_back(v);
  }
  void end_vertex_line() override {
    handler_(vertex_++, entries_.data(), static_cast<std::int64_t>(entries_.size()));
    entries_.clear();
  }
  void write_list_line(const Vertex* neighbours, int count) override {
    handler_(vertex_++, neighbours, count);
  }
  void write_fixed_numbers(const Vertex* numbers, int count) override {
    handler_(vertex_++, numbers, count);
  }

 private:
  Vertex vertex_;
  Handler& handler_;
  std::vector<Vertex> entries_;
};

// An array of numbers not set to anything until written, which a batch fills and empties.
template <class T>
class ScratchArray {
 public:
  void at_least(std::size_t size) {
    if (size <= size_) return;
    data_.reset(new T[size]);
    size_ = size;
  }
  T* data() { return data_.get(); }
  std::size_t size() const { return size_; }
  T& operator[](std::size_t k) { return data_[k]; }

 private:
  std::unique_ptr<T[]> data_;
  std::size_t size_ = 0;
};

class WeightedSource final : public GraphSource {
 public:
  WeightedSource(const GraphSource& base, const VirtualFamily& lines, GraphFacts facts,
                 const WeightCalculator& weights)
      : base_(base), lines_(lines), facts_(std::move(facts)), weights_(weights) {}
  const GraphFacts& facts() const override { return facts_; }

 private:
  // The job's lines are gathered a batch at a time, weighed in two calls (the vertices', the
  // edges'), relabelled if asked, and written a line at a time.
  // Lines whose weights need no positions are weighed and written one at a time, as the
  // family hands them over: nothing gathered, nothing copied.
  template <class Layout>
  std::uint64_t format_by_line(const FormatJob& job, ChunkOutput& out) const {
    SinkBuffer buffer(out);
    std::uint64_t written = 0;
    const bool edges = weights_.edges();
    LineDigits digits;
    std::int64_t head[kMostWeightsALine];
    ScratchArray<std::int64_t> edge_weights;
    edge_weights.at_least(64);
    const auto write_line = [&](Vertex vertex, const Vertex* entries, std::int64_t count) {
      if (edges) edge_weights.at_least(static_cast<std::size_t>(count));
      weights_.line_weights(vertex, entries, count, head, edge_weights.data());
      const WeightedLine line{
          vertex, head,   weights_.constraints(), entries, edges ? edge_weights.data() : nullptr,
          count,  &digits};
      written += Layout::write_weighted(line, job.section, buffer);
    };
    LineCollector collector(job.first, write_line);
    if (job.first <= job.last) lines_.write_lines(job.first, job.last, collector);
    return written;
  }

  template <class Layout>
  std::uint64_t format_weighted(const FormatJob& job, ChunkOutput& out) const {
    if (job.relabelling == nullptr && weights_.weighs_by_line())
      return format_by_line<Layout>(job, out);
    constexpr std::size_t kBatchEntries = 4096;
    constexpr std::size_t kBatchLines = 512;
    SinkBuffer buffer(out);
    std::uint64_t written = 0;
    const Relabelling* relabelling = job.relabelling;
    const bool edges = weights_.edges();
    const auto constraints = static_cast<std::size_t>(weights_.constraints());
    LineDigits digits;
    digits.rising = relabelling == nullptr;
    Vertex line = job.first;
    // The batch: its lines' vertices and counts, and their entries one line after the other
    // (ends: each entry's own line's vertex), in the family's numbering; a line longer than
    // the batch is a batch of its own.
    std::size_t lines = 0;
    std::size_t held = 0;  // entries
    // Arrays left uninitialised, grown only while empty (for a line longer than a batch).
    ScratchArray<Vertex> vertices;
    ScratchArray<std::int64_t> counts;
    ScratchArray<Vertex> ends;
    ScratchArray<Vertex> entries;
    ScratchArray<std::int64_t> vertex_weights;
    ScratchArray<std::int64_t> edge_weights;
    ScratchArray<Vertex> relabelled;
    const auto at_least = [](auto& array, std::size_t size) { array.at_least(size); };
    at_least(vertices, kBatchLines);
    at_least(counts, kBatchLines);
    at_least(vertex_weights, kBatchLines * constraints);
    at_least(entries, kBatchEntries);
    if (edges) at_least(ends, entries.size()), at_least(edge_weights, entries.size());
    if (relabelling != nullptr) at_least(relabelled, entries.size());
    const auto flush = [&] {
      weights_.vertex_weights(vertices.data(), counts.data(), static_cast<std::int64_t>(lines),
                              vertex_weights.data());
      if (edges) {
        weights_.edge_weights(ends.data(), entries.data(), static_cast<std::int64_t>(held),
                              edge_weights.data());
      }
      const Vertex* numbers = entries.data();
      if (relabelling != nullptr) {
        for (std::size_t k = 0; k < held; ++k)
          relabelled[k] = relabelling->forward(entries[k]);
        numbers = relabelled.data();
      }
      std::size_t at = 0;
      for (std::size_t k = 0; k < lines; ++k) {
        const WeightedLine weighted{
            line++,       vertex_weights.data() + k * constraints,    static_cast<int>(constraints),
            numbers + at, edges ? edge_weights.data() + at : nullptr, counts[k],
            &digits};
        written += Layout::write_weighted(weighted, job.section, buffer);
        at += static_cast<std::size_t>(counts[k]);
      }
      lines = 0;
      held = 0;
    };
    const auto gather = [&](Vertex vertex, const Vertex* line_entries, std::int64_t count) {
      const auto size = static_cast<std::size_t>(count);
      if (held + size > entries.size()) {
        if (lines > 0) flush();
        if (size > entries.size()) {  // a line longer than a batch
          at_least(entries, size);
          if (edges) at_least(ends, size), at_least(edge_weights, size);
          if (relabelling != nullptr) at_least(relabelled, size);
        }
      }
      vertices[lines] = vertex;
      counts[lines] = count;
      ++lines;
      // Lines are short but for a few: a plain loop rather than a call to memmove.
      Vertex* const to = entries.data() + held;
      for (std::size_t k = 0; k < size; ++k)
        to[k] = line_entries[k];
      if (edges) {
        Vertex* const line_ends = ends.data() + held;
        for (std::size_t k = 0; k < size; ++k)
          line_ends[k] = vertex;
      }
      held += size;
      if (lines == kBatchLines) flush();
    };
    LineCollector collector(job.first, gather);
    if (relabelling == nullptr) {
      if (job.first <= job.last) lines_.write_lines(job.first, job.last, collector);
    } else {
      for (Vertex at = job.first; at <= job.last; ++at) {
        const Vertex vertex = relabelling->backward(at);
        collector.at(vertex);
        lines_.write_lines(vertex, vertex, collector);
      }
    }
    if (lines > 0) flush();
    return written;
  }

 public:
  std::uint64_t format(const FormatJob& job, ChunkOutput& out) const override {
    return with_layout(job.format, [&](auto layout) -> std::uint64_t {
      using Layout = decltype(layout);
      if constexpr (requires(const WeightedLine& line, SinkBuffer& buffer) {
                      Layout::write_weighted(line, 0, buffer);
                    }) {
        if (Layout::carries_weights(job.section)) return format_weighted<Layout>(job, out);
      }
      return base_.format(job, out);
    });
  }

 private:
  const GraphSource& base_;
  const VirtualFamily& lines_;
  GraphFacts facts_;
  const WeightCalculator& weights_;
};

}  // namespace

WeightCalculator::WeightCalculator(const WeightRequest& request, const VirtualFamily& lines,
                                   const GraphFacts& facts)
    : request_(request),
      lines_(lines),
      facts_(facts),
      edge_key_(stream_key(request.seed, kEdgeWeightStream)),
      edge_draw_(request.edge ? request.edge->low : 1, request.edge ? request.edge->high : 1) {
  for (int d = 0; d < facts.decimals; ++d)
    unit_ *= 10;
  const Vertex vertices = facts.line_count();
  for (std::size_t c = 0; c < request.vertex.size(); ++c) {
    const WeightModel& model = request.vertex[c];
    keys_.push_back(stream_key(request.seed, 1 + c));
    draws_.emplace_back(model.low, model.high);
    const bool placed = model.kind == WeightModelKind::kBump && model.centre <= vertices;
    centres_.push_back(placed ? position_of(model.centre) : Position{});
  }
  if (request.edge && request.edge->kind == WeightModelKind::kLength && vertices > 0) {
    // The bounding box of the drawing, whose diagonal no edge is longer than.
    std::int64_t low[8];
    std::int64_t high[8];
    constexpr Vertex kBatch = 512;
    std::vector<std::int64_t> batch(static_cast<std::size_t>(kBatch * facts.dimension));
    for (Vertex first = 1; first <= vertices; first += kBatch) {
      const Vertex last = std::min(vertices, first + kBatch - 1);
      lines.list_positions(first, last, batch.data());
      for (Vertex v = first; v <= last; ++v) {
        const std::int64_t* point = batch.data() + (v - first) * facts.dimension;
        for (int a = 0; a < facts.dimension; ++a) {
          low[a] = v == 1 ? point[a] : std::min(low[a], point[a]);
          high[a] = v == 1 ? point[a] : std::max(high[a], point[a]);
        }
      }
    }
    for (int a = 0; a < facts.dimension; ++a) {
      const auto side = static_cast<UInt128>(static_cast<Int128>(high[a]) - low[a]);
      widest_ += side * side;
    }
  }
}

WeightCalculator::Position WeightCalculator::position_of(Vertex v) const {
  Position position{};
  lines_.list_positions(v, v, position.coordinates);
  return position;
}

UInt128 WeightCalculator::squared_distance(const Position& a, const Position& b) const {
  UInt128 sum = 0;
  for (int k = 0; k < facts_.dimension; ++k) {
    Int128 difference = static_cast<Int128>(a.coordinates[k]) - b.coordinates[k];
    if (difference < 0) difference = -difference;
    if (facts_.period > 0) difference = std::min<Int128>(difference, facts_.period - difference);
    sum += static_cast<UInt128>(difference * difference);
  }
  return sum;
}

// The length times the scale, rounded up: the least k with k·unit >= scale·√squared, where
// squared is in units of 10^-2·decimals; at least 1.
std::int64_t WeightCalculator::length_weight(UInt128 squared) const {
  const auto scale = static_cast<UInt128>(request_.edge->scale);
  if (squared != 0 && scale * scale > kMostSquared / squared) return INT64_MAX;
  const std::uint64_t root = ceiling_root(scale * scale * squared);
  if (unit_ == 1) return std::max<std::int64_t>(1, static_cast<std::int64_t>(root));
  const auto unit = static_cast<std::uint64_t>(unit_);
  return std::max<std::int64_t>(1, static_cast<std::int64_t>(root / unit + (root % unit != 0)));
}

// 1 + ⌊(PEAK − 1)·R² / (R² + d²)⌋: PEAK at the centre, halfway down at distance R, 1 far away.
// Both terms are halved alike until their sum fits 64 bits, so that the product fits 128: the
// same integers on every machine.
std::int64_t WeightCalculator::bump_weight(const WeightModel& model, const Position& centre,
                                           const Position& position) const {
  UInt128 near = static_cast<UInt128>(model.radius) * unit_;
  near *= near;
  UInt128 far = squared_distance(position, centre);
  while (near + far >= (static_cast<UInt128>(1) << 63)) {
    near >>= 1;
    far >>= 1;
  }
  const auto rise = static_cast<UInt128>(model.high - 1);
  if (near + far == 0) return model.high;
  return 1 + static_cast<std::int64_t>(rise * near / (near + far));
}

std::int64_t WeightCalculator::model_weight(const WeightModel& model, std::uint64_t stream,
                                            Vertex v, std::int64_t degree) const {
  switch (model.kind) {
    case WeightModelKind::kUniform:
      return draws_[stream - 1](keys_[stream - 1], static_cast<std::uint64_t>(v), 0);
    case WeightModelKind::kConstant:
      return model.low;
    case WeightModelKind::kDegree:
      return degree;
    case WeightModelKind::kBump:
      return bump_weight(model, centres_[stream - 1], position_of(v));
    case WeightModelKind::kLength:
    case WeightModelKind::kAxes:
      break;  // of edges alone
  }
  return 0;
}

// The weight of an edge between the points a and b, by the length or axes model.
std::int64_t WeightCalculator::placed_weight(const Position& a, const Position& b) const {
  const WeightModel& model = *request_.edge;
  if (model.kind == WeightModelKind::kLength) return length_weight(squared_distance(a, b));
  // The largest weight of the axes the edge moves along (a box stencil's diagonals move along
  // several); the least of all for an edge that moves along none.
  std::int64_t weight = 0;
  for (int k = 0; k < facts_.dimension; ++k) {
    if (a.coordinates[k] != b.coordinates[k]) {
      weight = std::max(weight, model.axes[static_cast<std::size_t>(k)]);
    }
  }
  if (weight == 0) weight = *std::min_element(model.axes.begin(), model.axes.end());
  return weight;
}

void WeightCalculator::vertex_weights(const Vertex* vertices, const std::int64_t* degrees,
                                      std::int64_t count, std::int64_t* weights) const {
  const std::size_t constraints = request_.vertex.size();
  for (std::size_t c = 0; c < constraints; ++c) {
    const WeightModel& model = request_.vertex[c];
    if (model.kind == WeightModelKind::kUniform) {
      const UniformDraw draw = draws_[c];
      const std::uint64_t key = keys_[c];
      for (std::int64_t k = 0; k < count; ++k)
        weights[k * constraints + c] = draw(key, static_cast<std::uint64_t>(vertices[k]), 0);
    } else {
      for (std::int64_t k = 0; k < count; ++k)
        weights[k * constraints + c] = model_weight(model, 1 + c, vertices[k], degrees[k]);
    }
  }
}

void WeightCalculator::edge_weights(const Vertex* ends, const Vertex* others, std::int64_t count,
                                    std::int64_t* weights) const {
  const WeightModel& model = *request_.edge;
  if (model.kind == WeightModelKind::kUniform) {
    for (std::int64_t k = 0; k < count; ++k)
      weights[k] = uniform_edge_weight(ends[k], others[k]);
    return;
  }
  if (model.kind == WeightModelKind::kConstant) {
    std::fill(weights, weights + count, model.low);
    return;
  }
  // Of the positions: an end's position is looked up once for the run of entries it has.
  Vertex end = 0;
  Position here{};
  for (std::int64_t k = 0; k < count; ++k) {
    if (ends[k] != end) here = position_of(end = ends[k]);
    weights[k] = placed_weight(here, position_of(others[k]));
  }
}

bool WeightCalculator::weighs_by_line() const {
  const auto alone = [](const WeightModel& model) {
    return model.kind == WeightModelKind::kUniform || model.kind == WeightModelKind::kConstant ||
           model.kind == WeightModelKind::kDegree;
  };
  return std::ranges::all_of(request_.vertex, alone) && (!request_.edge || alone(*request_.edge));
}

void WeightCalculator::line_weights(Vertex vertex, const Vertex* entries, std::int64_t count,
                                    std::int64_t* vertex_weights,
                                    std::int64_t* edge_weights) const {
  const std::size_t constraints = request_.vertex.size();
  for (std::size_t c = 0; c < constraints; ++c) {
    const WeightModel& model = request_.vertex[c];
    vertex_weights[c] = model.kind == WeightModelKind::kUniform
                            ? draws_[c](keys_[c], static_cast<std::uint64_t>(vertex), 0)
                            : (model.kind == WeightModelKind::kDegree ? count : model.low);
  }
  if (!request_.edge) return;
  if (request_.edge->kind != WeightModelKind::kUniform) {
    std::fill(edge_weights, edge_weights + count, request_.edge->low);
    return;
  }
  // The draw and its key in locals: a store to the weights could otherwise be taken to change
  // them.
  const UniformDraw draw = edge_draw_;
  const std::uint64_t key = edge_key_;
  const auto u = static_cast<std::uint64_t>(vertex);
  for (std::int64_t k = 0; k < count; ++k) {
    const auto w = static_cast<std::uint64_t>(entries[k]);
    edge_weights[k] = draw(key, u < w ? u : w, u < w ? w : u);
  }
}

std::int64_t WeightCalculator::largest(const WeightModel& model) const {
  switch (model.kind) {
    case WeightModelKind::kUniform:
    case WeightModelKind::kConstant:
    case WeightModelKind::kBump:
      return model.high;
    case WeightModelKind::kDegree:
      return std::max<std::int64_t>(0, facts_.counts.arcs);
    case WeightModelKind::kLength:
      return length_weight(widest_);
    case WeightModelKind::kAxes:
      return *std::max_element(model.axes.begin(), model.axes.end());
  }
  return 0;
}

namespace {

// A sum as a message gives it: past 64 bits, as more than the largest 64-bit integer.
std::string sum_text(UInt128 sum) {
  if (sum > static_cast<UInt128>(INT64_MAX)) return "more than " + std::to_string(INT64_MAX);
  return std::to_string(static_cast<std::int64_t>(sum));
}

}  // namespace

// The sum of the bump's weights over every vertex, worked out vertex by vertex.
UInt128 WeightCalculator::bump_total(std::size_t c) const {
  const Vertex vertices = facts_.line_count();
  constexpr Vertex kBatch = 512;
  std::vector<std::int64_t> batch(static_cast<std::size_t>(kBatch * facts_.dimension));
  UInt128 total = 0;
  for (Vertex first = 1; first <= vertices; first += kBatch) {
    const Vertex last = std::min(vertices, first + kBatch - 1);
    lines_.list_positions(first, last, batch.data());
    for (Vertex v = first; v <= last; ++v) {
      Position position{};
      std::copy_n(batch.data() + (v - first) * facts_.dimension, facts_.dimension,
                  position.coordinates);
      total += static_cast<UInt128>(bump_weight(request_.vertex[c], centres_[c], position));
    }
  }
  return total;
}

// The largest of the length model's weights and their sum over every entry, worked out edge by
// edge.
std::pair<std::int64_t, UInt128> WeightCalculator::length_extent() const {
  std::int64_t most = 0;
  UInt128 total = 0;
  const auto weigh = [&](Vertex vertex, const Vertex* entries, std::int64_t count) {
    const Position here = position_of(vertex);
    for (std::int64_t k = 0; k < count; ++k) {
      const std::int64_t weight = placed_weight(here, position_of(entries[k]));
      most = std::max(most, weight);
      total += static_cast<UInt128>(weight);
    }
  };
  LineCollector collector(1, weigh);
  if (facts_.line_count() > 0) lines_.write_lines(1, facts_.line_count(), collector);
  return {most, total};
}

std::optional<std::string> WeightCalculator::refusal() const {
  const Vertex vertices = facts_.line_count();
  const std::int64_t arcs = std::max<std::int64_t>(0, facts_.counts.arcs);
  // A graph whose figures fit 32 bits is read by programs whose integers may be of 32 bits
  // (METIS's idx_t as most builds make it): its weights must add up within them too.
  const bool narrow = vertices <= INT32_MAX && arcs <= INT32_MAX;
  const auto limit = static_cast<UInt128>(narrow ? INT32_MAX : INT64_MAX);
  const std::string past = " on this graph, past the " + std::string(narrow ? "32-bit" : "64-bit") +
                           " integers its readers sum weights in";
  for (std::size_t c = 0; c < request_.vertex.size(); ++c) {
    const WeightModel& model = request_.vertex[c];
    if (model.kind == WeightModelKind::kBump && model.centre > vertices) {
      return "-vertex-weights " + model.text + " centres on vertex " +
             std::to_string(model.centre) + ", past the graph's " + std::to_string(vertices);
    }
    // At most the largest weight on every vertex; a bump's own sum when that bound is too
    // coarse.
    UInt128 total = model.kind == WeightModelKind::kDegree
                        ? static_cast<UInt128>(arcs)
                        : static_cast<UInt128>(largest(model)) * static_cast<UInt128>(vertices);
    bool exact = model.kind == WeightModelKind::kDegree || model.kind == WeightModelKind::kConstant;
    if (total > limit && model.kind == WeightModelKind::kBump) {
      total = bump_total(c);
      exact = true;
    }
    if (total > limit) {
      return "-vertex-weights " + model.text + (exact ? " adds up to " : " may add up to ") +
             sum_text(total) + past;
    }
  }
  if (const std::optional<WeightModel>& model = request_.edge) {
    if (model->kind == WeightModelKind::kAxes &&
        model->axes.size() != static_cast<std::size_t>(facts_.dimension)) {
      const std::size_t given = model->axes.size();
      return "-edge-weights " + model->text + " gives " + std::to_string(given) +
             (given == 1 ? " axis weight" : " axis weights") + " for a mesh of " +
             std::to_string(facts_.dimension) + " axes";
    }
    // At most the largest weight on every entry; the lengths' own sum when that bound, taken
    // from the drawing's diagonal, is too coarse.
    std::int64_t most = largest(*model);
    UInt128 total = static_cast<UInt128>(most) * static_cast<UInt128>(arcs);
    bool exact = model->kind == WeightModelKind::kConstant;
    if (total > limit && model->kind == WeightModelKind::kLength) {
      std::tie(most, total) = length_extent();
      exact = true;
    }
    if (static_cast<UInt128>(most) > limit || total > limit) {
      return "-edge-weights " + model->text + (exact ? " adds up to " : " may add up to ") +
             sum_text(total) + past;
    }
  }
  return std::nullopt;
}

Outcome write_weighted(const GraphSource& base, const VirtualFamily& lines,
                       const WeightRequest& request, const GraphDestination& destination) {
  GraphFacts facts = base.facts();
  facts.weights = request.facts();
  // Weights need a counts line to say they are there: a family without one gets one.
  if (!facts.has_heading) {
    facts.has_heading = true;
    facts.comment_line = "% " + facts.title + "\n";
  }
  const WeightCalculator weights(request, lines, facts);
  if (std::optional<std::string> why = weights.refusal()) return refused(*why);
  return destination.write(WeightedSource(base, lines, std::move(facts), weights));
}

}  // namespace famgen
