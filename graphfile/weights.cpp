#include "graphfile/weights.hpp"

namespace famgen {

namespace {

constexpr std::string_view kVertexModels =
    "uniform:LO-HI, constant:K, degree or bump:PEAK:VERTEX:RADIUS";
constexpr std::string_view kEdgeModels =
    "uniform:LO-HI, constant:K, length:SCALE or axes:W1,W2,...";

// Decimal digits alone, of a value at most 2^63 - 1.
std::optional<std::int64_t> read_whole(std::string_view text) {
  if (text.empty() || text.size() > 19) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9' || __builtin_mul_overflow(value, 10, &value) ||
        __builtin_add_overflow(value, c - '0', &value)) {
      return std::nullopt;
    }
  }
  return value;
}

// Splits text at the first separator: what comes before it, and text left after it.
std::string_view split_off(std::string_view& text, char separator) {
  const std::size_t at = text.find(separator);
  const std::string_view head = text.substr(0, at);
  text = at == std::string_view::npos ? std::string_view{} : text.substr(at + 1);
  return head;
}

// "LO-HI", each at least least.
bool read_range(std::string_view text, std::int64_t least, WeightModel& model) {
  const std::optional<std::int64_t> low = read_whole(split_off(text, '-'));
  const std::optional<std::int64_t> high = read_whole(text);
  if (!low || !high || *low < least || *high < *low) return false;
  model.low = *low;
  model.high = *high;
  return true;
}

// One model, of those a vertex weight or an edge weight takes; false when text names none of
// them or its numbers are out of range.
bool read_model(std::string_view text, bool vertex, WeightModel& model) {
  model.text = std::string(text);
  std::string_view rest = text;
  const std::string_view name = split_off(rest, ':');
  const std::int64_t least = vertex ? 0 : 1;
  if (name == "uniform") {
    model.kind = WeightModelKind::kUniform;
    return read_range(rest, least, model);
  }
  if (name == "constant") {
    model.kind = WeightModelKind::kConstant;
    const std::optional<std::int64_t> k = read_whole(rest);
    if (!k || *k < least) return false;
    model.low = model.high = *k;
    return true;
  }
  if (vertex && text == "degree") {
    model.kind = WeightModelKind::kDegree;
    return true;
  }
  if (vertex && name == "bump") {
    model.kind = WeightModelKind::kBump;
    const std::optional<std::int64_t> peak = read_whole(split_off(rest, ':'));
    const std::optional<std::int64_t> centre = read_whole(split_off(rest, ':'));
    const std::optional<std::int64_t> radius = read_whole(rest);
    if (!peak || !centre || !radius || *peak < 1 || *centre < 1 || *radius < 1) return false;
    model.low = 1;
    model.high = *peak;
    model.centre = *centre;
    model.radius = *radius;
    return true;
  }
  if (!vertex && name == "length") {
    model.kind = WeightModelKind::kLength;
    const std::optional<std::int64_t> scale = read_whole(rest);
    if (!scale || *scale < 1) return false;
    model.scale = *scale;
    return true;
  }
  if (!vertex && name == "axes") {
    model.kind = WeightModelKind::kAxes;
    while (!rest.empty() || model.axes.empty()) {
      const std::optional<std::int64_t> weight = read_whole(split_off(rest, ','));
      if (!weight || *weight < 1 || model.axes.size() == kMostConstraints) return false;
      model.axes.push_back(*weight);
    }
    return true;
  }
  return false;
}

}  // namespace

std::optional<std::string> read_vertex_weights(std::string_view text,
                                               std::vector<WeightModel>& models) {
  models.clear();
  std::string_view rest = text;
  const bool ends_in_comma = !text.empty() && text.back() == ',';
  do {
    WeightModel model;
    if (ends_in_comma || !read_model(split_off(rest, ','), true, model) ||
        models.size() == kMostConstraints) {
      models.clear();
      return "-vertex-weights takes one model for each constraint (1 to 8, separated by "
             "commas): " +
             std::string(kVertexModels) + ", with whole numbers, not '" + std::string(text) + "'";
    }
    models.push_back(std::move(model));
  } while (!rest.empty());
  return std::nullopt;
}

std::optional<std::string> read_edge_weights(std::string_view text,
                                             std::optional<WeightModel>& model) {
  model.emplace();
  if ((!text.empty() && text.back() == ',') || !read_model(text, false, *model)) {
    model.reset();
    return "-edge-weights takes one model: " + std::string(kEdgeModels) +
           ", with whole numbers of at least 1, not '" + std::string(text) + "'";
  }
  return std::nullopt;
}

}  // namespace famgen
