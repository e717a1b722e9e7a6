// The one switch over Format: everything else asks the layout it hands over. Adding a layout is
// a file of its own (see sinks.hpp for what it provides), its Format value and a case here.
#pragma once

#include <string_view>

#include "graphfile/layouts/coordinates.hpp"
#include "graphfile/layouts/dot.hpp"
#include "graphfile/layouts/edge_list.hpp"
#include "graphfile/layouts/matrix_market.hpp"
#include "graphfile/layouts/metis.hpp"
#include "graphfile/layouts/parhip.hpp"
#include "graphfile/layouts/scotch.hpp"
#include "graphfile/layouts/scotch_geometry.hpp"

namespace famgen {

// use(Layout{}) for the format's layout; every layout's use must return the same type.
template <class Use>
decltype(auto) with_layout(Format format, Use&& use) {
  switch (format) {
    case Format::kMetis:
      return use(MetisLayout{});
    case Format::kParhip:
      return use(ParhipLayout{});
    case Format::kScotch:
      return use(ScotchLayout{});
    case Format::kMatrixMarket:
      return use(MatrixMarketLayout{});
    case Format::kEdgeList:
      return use(EdgeListLayout{});
    case Format::kDot:
      return use(DotLayout{});
    case Format::kCoordinates:
      return use(CoordinatesLayout{});
    case Format::kScotchGeometry:
      return use(ScotchGeometryLayout{});
  }
  return use(MetisLayout{});  // not reached: every Format has its case
}

inline std::string_view format_keyword(Format format) {
  return with_layout(format, [](auto layout) { return layout.kKeyword; });
}

// Every Format that -format names, in keyword order, for tables and sweeps.
template <class Visit>
void for_each_format(Visit&& visit) {
  for (int format = 0; format <= static_cast<int>(Format::kLastKeyword); ++format)
    visit(static_cast<Format>(format));
}

// The layout of a run's coordinates beside a graph in this layout.
inline Format coordinates_format(Format graph_format) {
  return graph_format == Format::kScotch ? Format::kScotchGeometry : Format::kCoordinates;
}

}  // namespace famgen
