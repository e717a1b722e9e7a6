// Small graphs of every family, and the ways to get at their sources and whole files, for the
// property sweeps over ranges, threads, layouts and relabelling.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "graphfile/graph.hpp"

namespace famgen {

struct KeywordSizes {
  std::string keyword;
  std::string sizes;
  // Further arguments: the mesh's -stencil and -periodic, -simple.
  std::vector<std::string> options = {};
  std::string name() const;               // for messages: "mesh 3,4 -stencil box"
};

// Every family at its smallest sizes (self-loops, repeated neighbours, empty lines, no lines at
// all) and at a few ordinary ones, and the simple graphs of those whose files METIS refuses.
const std::vector<KeywordSizes>& small_graphs();

// Hands the source of a keyword's graph to look, as the dispatcher builds it.
void with_source(const KeywordSizes& graph, const std::function<void(const GraphSource&)>& look);

// Every layout, those of coordinates too.
const std::vector<Format>& every_format();
std::string format_name(Format format);

// The whole file of a source in a layout, written in memory.
std::string whole_file(const GraphSource& source, Format format, RelabelSeed seed);

}  // namespace famgen
