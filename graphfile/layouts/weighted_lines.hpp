// A family's graph with weights on its vertices or edges (weights.hpp), in any layout: its lines
// come through virtual calls (virtual_family.hpp), a line at a time, are weighed in the family's
// own numbering, relabelled if asked, and handed to the layout's write_weighted
// (weighted_line.hpp). The sections that carry no weights (ParHIP's offsets and entries, a
// drawing's vertices, the positions) are the unweighted graph's own. Compiled once for all
// families, so that weights add no unit per family and layout.
#pragma once

#include <utility>

#include "graphfile/graph.hpp"
#include "graphfile/virtual_family.hpp"
#include "graphfile/weights.hpp"

namespace famgen {

// The graph of lines (the family's, or its simple graph's) whose unweighted bytes base writes,
// with the weights request asks for, written to destination; refused, with nothing written,
// when a model does not fit the graph (a vertex past its count, axes it does not have) or its
// weights, or their sums as a reader adds them up, pass the integers of the graph's readers.
Outcome write_weighted(const GraphSource& base, const VirtualFamily& lines,
                       const WeightRequest& request, const GraphDestination& destination);

// The weights of vertices for each constraint (degree: its line's entries) and of edges, in the
// family's numbering, as write_weighted writes them; for the library's arrays too.
class WeightCalculator {
 public:
  WeightCalculator(const WeightRequest& request, const VirtualFamily& lines,
                   const GraphFacts& facts);
  // Why these weights cannot be had for this graph; nothing when they can.
  std::optional<std::string> refusal() const;
  // The weights of vertices[k] (whose line lists degrees[k] entries) at weights[k × constraints
  // + c], and of the edges {ends[k], others[k]} at weights[k]: a batch in one call.
  void vertex_weights(const Vertex* vertices, const std::int64_t* degrees, std::int64_t count,
                      std::int64_t* weights) const;
  void edge_weights(const Vertex* ends, const Vertex* others, std::int64_t count,
                    std::int64_t* weights) const;
  // Whether every model is of the vertex or edge alone (uniform, constant, degree), so that a
  // line is weighed as it comes, with no positions to look up.
  bool weighs_by_line() const;
  // The weights of vertex's line (its entries: count of them) at vertex_weights, one for each
  // constraint, and of its edges at edge_weights, one an entry: by_line models alone.
  void line_weights(Vertex vertex, const Vertex* entries, std::int64_t count,
                    std::int64_t* vertex_weights, std::int64_t* edge_weights) const;
  int constraints() const { return static_cast<int>(request_.vertex.size()); }
  // Whether the edge weights are the uniform model's, and its weight of {u, w}, inline: for a
  // loop over many entries.
  bool uniform_edges() const {
    return request_.edge && request_.edge->kind == WeightModelKind::kUniform;
  }
  std::int64_t uniform_edge_weight(Vertex u, Vertex w) const {
    const auto a = static_cast<std::uint64_t>(u);
    const auto b = static_cast<std::uint64_t>(w);
    return edge_draw_(edge_key_, a < b ? a : b, a < b ? b : a);
  }
  bool edges() const { return request_.edge.has_value(); }

 private:
  struct Position {
    std::int64_t coordinates[8];
  };
  Position position_of(Vertex v) const;
  UInt128 squared_distance(const Position& a, const Position& b) const;
  std::int64_t model_weight(const WeightModel& model, std::uint64_t stream, Vertex v,
                            std::int64_t degree) const;
  std::int64_t length_weight(UInt128 squared) const;
  std::int64_t placed_weight(const Position& a, const Position& b) const;
  std::int64_t bump_weight(const WeightModel& model, const Position& centre,
                           const Position& position) const;
  UInt128 bump_total(std::size_t constraint) const;
  std::pair<std::int64_t, UInt128> length_extent() const;
  // The largest weight the model can give on this graph.
  std::int64_t largest(const WeightModel& model) const;

  const WeightRequest& request_;
  const VirtualFamily& lines_;
  GraphFacts facts_;
  std::int64_t unit_ = 1;            // 10^decimals: a position unit in the positions' integers
  std::vector<Position> centres_;    // of each vertex model, its bump's centre
  std::vector<std::uint64_t> keys_;  // of each vertex model, its random numbers' stream
  std::vector<UniformDraw> draws_;   // of each vertex model, its uniform numbers' range
  std::uint64_t edge_key_;
  UniformDraw edge_draw_;
  UInt128 widest_ = 0;  // the squared diagonal of the drawing's bounding box
};

}  // namespace famgen
