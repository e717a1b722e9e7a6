// What both fuzz targets share: the input, split at NUL bytes, is the argument vector after the
// program's name, parsed as main parses it; a graph past a size cap is skipped before dispatch.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.hpp"

namespace famgen::fuzz {

inline Settings parsed_arguments(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments = {"famgen"};
  std::string current;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      arguments.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  arguments.push_back(current);
  std::vector<const char*> argv;
  for (const std::string& argument : arguments)
    argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  Settings settings;
  parse_command_line(static_cast<int>(arguments.size()), argv.data(), settings);
  return settings;
}

// Whether the requested graph is at most the given figures. A request without counts is
// either no graph at all or figures past 64 bits, which are refused at once, so it is small.
// counts receives the graph's counts when they were worked out, for the caller to use again.
inline bool small_enough(const Settings& settings, std::int64_t most_vertices,
                         std::int64_t most_edges,
                         std::optional<GraphCounts>* counts_out = nullptr) {
  // A random geometric graph's counts come from counting its edges, a pass over all its
  // points (every pair, for a radius near 1), made again when it is written: its size, the
  // number of points, is judged against a cap of its own, and its edges by their expectation,
  // N(N - 1)/2 times the volume of a ball of the radius.
  constexpr std::int64_t kMostRandomPoints = 300;
  if (is_rgg(settings.graph_type)) {
    if (settings.first_size > std::min(most_vertices, kMostRandomPoints)) return false;
    const RggShape shape = rgg_shape(settings);
    const double r = static_cast<double>(shape.radius) / static_cast<double>(kRadiusUnit);
    const double ball = shape.dimension == 2 ? 3.14159 * r * r : 4.18879 * r * r * r;
    const auto n = static_cast<double>(shape.points);
    const auto edges = static_cast<std::int64_t>(n * (n - 1) / 2 * std::min(1.0, ball));
    if (counts_out != nullptr) *counts_out = GraphCounts{shape.points, edges, 2 * edges, 0, 0};
    return edges <= most_edges;
  }
  const std::optional<GraphCounts> counts = family_counts(settings);
  if (counts_out != nullptr) *counts_out = counts;
  if (!counts) return true;
  return counts->vertices <= most_vertices && counts->edges <= most_edges;
}

}  // namespace famgen::fuzz
