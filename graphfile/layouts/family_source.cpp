#include "graphfile/layouts/family_source.hpp"

namespace famgen {

// Every layout over a family reached through virtual calls: instantiated here once for all
// families.

std::uint64_t format_through_calls(const VirtualFamily& family, const GraphFacts& facts,
                                   const FormatJob& job, ChunkOutput& out) {
  return FamilySource<FamilyThroughCalls>(FamilyThroughCalls(family, facts.dimension), facts)
      .format(job, out);
}

// The layouts' loops over the gathered lines, with their sinks and number writers inlined.
[[gnu::flatten]] std::uint64_t format_gathered(const GatheringFamily& family,
                                               const VirtualFamily& calls, const GraphFacts& facts,
                                               const FormatJob& job, ChunkOutput& out) {
  Gathering gathering;
  const GatheredLines lines{family, calls, *job.relabelling, gathering, job.first, job.last};
  switch (job.format) {
    case Format::kScotch:
      return ScotchLayout::format(lines, job, facts, out);
    case Format::kMatrixMarket:
      return MatrixMarketLayout::format(lines, job, facts, out);
    case Format::kEdgeList:
      return EdgeListLayout::format(lines, job, facts, out);
    case Format::kMetis:
    case Format::kParhip:
    case Format::kDot:
    case Format::kCoordinates:
    case Format::kScotchGeometry:
      break;
  }
  return 0;  // not reached: only the layouts above are gathered
}

Outcome write_through_calls(const VirtualFamily& family, const GraphFacts& facts,
                            const GraphDestination& destination) {
  return destination.write(
      FamilySource<FamilyThroughCalls>(FamilyThroughCalls(family, facts.dimension), facts));
}

Outcome write_simple_graph(const VirtualFamily& family, const GraphFacts& family_facts,
                           const GraphDestination& destination, const WeightRequest* weights) {
  const SimpleLines lines(family);
  const GraphFacts facts = simple_facts(family_facts);
  if (weights == nullptr) return write_through_calls(lines, facts, destination);
  const FamilySource<FamilyThroughCalls> source(FamilyThroughCalls(lines, facts.dimension), facts);
  return write_weighted(source, lines, *weights, destination);
}

}  // namespace famgen
