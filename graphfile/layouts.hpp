// Every output layout behind one switch: what the writers ask of a layout (its heading, its
// sections, a lower bound of its size) and the formatting of one job in it. Adding a layout
// means a file of its own and a case here; no generator changes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "graphfile/edge_lines_layout.hpp"
#include "graphfile/graph_source.hpp"
#include "graphfile/metis_layout.hpp"
#include "graphfile/parhip_layout.hpp"
#include "graphfile/scotch_layout.hpp"

// How the vertices are numbered in a run: as the generator numbers them, or relabelled at
// random with this seed.
using RelabelSeed = std::optional<std::int64_t>;

// The bytes before the first section: for METIS the comment and counts lines (none for
// "completegraph"), the other layouts' own headings with the true counts.
std::string layout_heading(Format format, const GraphFacts& facts, RelabelSeed seed);

// ParHIP writes its offsets and then its entries; every other layout has one section.
int layout_sections(Format format);

// A size the file cannot be smaller than: every entry takes at least a digit and a separator
// (a word in the binary layout), so a file that would fit is never refused on its account.
std::uint64_t layout_lower_bound(Format format, const GraphFacts& facts,
                                 std::uint64_t heading_bytes);

// About how many bytes a line of the section takes, to cut a run into jobs of similar size.
double estimated_line_bytes(Format format, int section, const GraphFacts& facts);

// Whether the section's words depend on the entries of the lines before the job (ParHIP's
// offsets). Such a job may be formatted with entries_before = 0 and moved into place later by
// rebase_section, once the jobs before it have said how many entries they list.
bool section_counts_earlier_entries(Format format, int section);
void rebase_section(Format format, int section, char* begin, char* end,
                    std::uint64_t entries_before);

template <class Lines>
std::uint64_t format_layout(const FormatJob& job, const Lines& lines, const GraphFacts& facts,
                            ChunkOutput& out) {
  switch (job.format) {
    case Format::kMetis:
      return format_metis(lines, out);
    case Format::kParhip:
      if (job.section == 0) {
        const auto vertex_count = static_cast<std::uint64_t>(facts.line_count());
        return format_parhip_offsets(lines, vertex_count, job.entries_before, out);
      }
      return format_parhip_entries(lines, out);
    case Format::kScotch:
      return format_scotch(lines, out);
    case Format::kMatrixMarket:
      return format_edge_lines<EdgeEnd::kLower>(lines, out);
    case Format::kEdgeList:
      return format_edge_lines<EdgeEnd::kUpper>(lines, out);
  }
  return 0;
}
