#include "library/request.hpp"

#include <algorithm>

#include "graphfile/layouts/layouts.hpp"

namespace famgen {

namespace {

constexpr std::string_view kSizeDelimiters = " ,\t\n";

void refuse_mesh_option(FamilyRequest& request, std::string why) {
  if (request.mesh_option_error.empty()) request.mesh_option_error = std::move(why);
}

}  // namespace

std::string_view next_size_token(std::string_view& rest) {
  const std::size_t start = rest.find_first_not_of(kSizeDelimiters);
  if (start == std::string_view::npos) {
    rest = {};
    return {};
  }
  rest.remove_prefix(start);
  const std::size_t end = std::min(rest.find_first_of(kSizeDelimiters), rest.size());
  const std::string_view token = rest.substr(0, end);
  rest.remove_prefix(end);
  return token;
}

void read_stencil(std::string_view value, FamilyRequest& request) {
  request.mesh_options_given = true;
  request.stencil_given = true;
  if (value == "star") {
    request.stencil = Stencil::kStar;
  } else if (value == "box") {
    request.stencil = Stencil::kBox;
  } else {
    refuse_mesh_option(
        request, "unknown stencil '" + std::string(value) + "': the stencils are star and box");
  }
}

void read_periodic(std::string_view value, FamilyRequest& request) {
  request.mesh_options_given = true;
  if (value == "all" || value == "none") {
    request.periodic = {value == "all" ? PeriodicAxes::Kind::kAll : PeriodicAxes::Kind::kNone, {}};
    return;
  }
  // A 0 or 1 for each axis, between commas or white space, as the sizes are written; an empty
  // place in the list (",1,0", "1,,0", "1,0,") is no flag and refuses the list.
  PeriodicAxes periodic{PeriodicAxes::Kind::kList, {}};
  const auto space = [](char c) { return c == ' ' || c == '\t'; };
  std::size_t at = 0;
  const auto skip_space = [&] {
    const std::size_t from = at;
    while (at < value.size() && space(value[at]))
      ++at;
    return at > from;
  };
  skip_space();
  while (at < value.size()) {
    if (value[at] != '0' && value[at] != '1') {
      periodic.list.clear();
      break;
    }
    periodic.list.push_back(value[at++] == '1');
    const bool spaced = skip_space();
    if (at == value.size()) break;
    if (value[at] == ',') {
      ++at;
      skip_space();
      if (at == value.size()) periodic.list.clear();  // a comma with no flag after it
    } else if (!spaced) {
      periodic.list.clear();  // "10", "1x": no separator
      break;
    }
  }
  if (periodic.list.empty()) {
    refuse_mesh_option(request,
                       "-periodic takes all, none or a 0 or 1 for each axis (1,0,1), not '" +
                           std::string(value) + "'");
    return;
  }
  request.periodic = std::move(periodic);
}

std::optional<std::uint64_t> read_seed(std::string_view value) {
  if (value.empty()) return std::nullopt;
  std::uint64_t seed = 0;
  for (const char c : value) {
    if (c < '0' || c > '9' || __builtin_mul_overflow(seed, 10, &seed) ||
        __builtin_add_overflow(seed, static_cast<std::uint64_t>(c - '0'), &seed)) {
      return std::nullopt;
    }
  }
  return seed;
}

void read_radius(std::string_view value, FamilyRequest& request) {
  if (const std::optional<std::int64_t> radius = read_radius(value)) {
    request.radius = *radius;
  } else if (request.radius_error.empty()) {
    request.radius_error =
        "-radius takes a decimal above 0 and at most 1 (0.01, 1), not '" + std::string(value) + "'";
  }
}

void read_vertex_weights(std::string_view value, FamilyRequest& request) {
  if (std::optional<std::string> why = read_vertex_weights(value, request.weights.vertex)) {
    if (request.weights_error.empty()) request.weights_error = std::move(*why);
  }
}

void read_edge_weights(std::string_view value, FamilyRequest& request) {
  if (std::optional<std::string> why = read_edge_weights(value, request.weights.edge)) {
    if (request.weights_error.empty()) request.weights_error = std::move(*why);
  }
}

void read_weight_seed(std::string_view value, FamilyRequest& request) {
  if (const std::optional<std::uint64_t> seed = read_seed(value)) {
    request.weights.seed = *seed;
  } else if (request.weights_error.empty()) {
    request.weights_error = "-seed takes a whole number from 0 to 18446744073709551615, not '" +
                            std::string(value) + "'";
  }
}

std::optional<Format> format_named(std::string_view keyword) {
  std::optional<Format> named;
  for_each_format([&](Format format) {
    if (keyword == format_keyword(format)) named = format;
  });
  return named;
}

std::string format_keywords() {
  std::string keywords;
  for_each_format([&](Format format) {
    if (format != Format::kMetis) keywords += format == Format::kLastKeyword ? " and " : ", ";
    keywords += format_keyword(format);
  });
  return keywords;
}

Outcome unknown_format(std::string_view keyword) {
  return refused("unknown format '" + std::string(keyword) + "': the formats are " +
                 format_keywords());
}

WriteOptions file_outputs(const std::string& out, Format format, const std::string& coordinates,
                          ThreadRequest threads, RelabelSeed seed) {
  WriteOptions options;
  options.outputs = {{out, format}};
  if (!coordinates.empty()) options.outputs.push_back({coordinates, coordinates_format(format)});
  options.threads = threads;
  options.relabel_seed = seed;
  return options;
}

std::optional<Outcome> request_failure(const FamilyRequest& request) {
  if (!request.mesh_option_error.empty()) return refused(request.mesh_option_error);
  if (request.mesh_options_given && request.graph_type != GRAPH_MESH) {
    if (!is_rgg(request.graph_type)) {
      return refused("-stencil applies to the mesh alone, -periodic to the mesh, rgg2d and rgg3d");
    }
    if (request.stencil_given) return refused("-stencil applies to the mesh alone");
    if (request.periodic.kind == PeriodicAxes::Kind::kList) {
      return refused("rgg2d and rgg3d take -periodic all or none, not a flag for each axis");
    }
  }
  if (!request.radius_error.empty()) return refused(request.radius_error);
  if (request.radius && !is_rgg(request.graph_type)) {
    return refused("-radius applies to rgg2d and rgg3d alone");
  }
  if (!request.weights_error.empty()) return refused(request.weights_error);
  const std::optional<WeightModel>& edge = request.weights.edge;
  if (edge && edge->kind == WeightModelKind::kAxes && request.graph_type != GRAPH_MESH) {
    return refused("-edge-weights " + edge->text + " applies to the mesh alone");
  }
  if (const std::optional<std::string_view> message = size_message(request)) {
    return Outcome{static_cast<int>(message->size()), std::string(*message), {}};
  }
  return std::nullopt;
}

WeightRequest drawn_weights(const FamilyRequest& request) {
  // The mesh draws its axes from the last to the first: its axis weights, given in the order of
  // its sizes, go the same way.
  WeightRequest weights = request.weights;
  if (weights.edge && weights.edge->kind == WeightModelKind::kAxes) {
    std::reverse(weights.edge->axes.begin(), weights.edge->axes.end());
  }
  return weights;
}

Outcome write_request(const FamilyRequest& request, const GraphDestination& destination,
                      bool simple) {
  if (std::optional<Outcome> failure = request_failure(request)) return std::move(*failure);
  const WeightRequest weights = drawn_weights(request);
  return make_family(request, write_to(destination, simple, &weights));
}

Outcome request_facts(const FamilyRequest& request, GraphFacts& facts) {
  if (std::optional<Outcome> failure = request_failure(request)) return std::move(*failure);
  return make_family(request, facts_into(facts));
}

}  // namespace famgen
