// The sink of the layouts with one line per vertex position (coordinates.hpp,
// scotch_geometry.hpp, the nodes of dot.hpp). A family drives it with write_point(x, y),
// write_point(x, y, z) or write_coordinates(coordinates, count) for each vertex of a range in turn;
// the numbers count units of 10^-decimals, decimals being 0, 6 or 9 (GraphFacts).
#pragma once

#include "graphfile/layouts/sinks.hpp"

namespace famgen {

// The six decimals of a micro-unit count's fraction: two from a four-digit text without its
// leading zeros, then four. Stores 8 bytes.
inline char* write_six_decimals(char* out, std::uint64_t fraction) {
  const auto two = static_cast<std::uint16_t>(decimal::kFourDigits.text[fraction / 10000] >> 16);
  std::memcpy(out, &two, 2);
  std::memcpy(out + 2, &decimal::kFourDigits.text[fraction % 10000], 4);
  return out + 6;
}

enum class PointStyle {
  kPlain,   // "x y[ z]\n"
  kLabels,  // "label x y[ z]\n", the label the vertex's line number
  kDot,     // '  label [pos="x,y"];\n', in points, y down, 3D seen from above the x axis
};

// Writer is the decimal writer of the numbering (decimal::CachedDecimal when the positions come
// in vertex order, as their labels and whole parts then mostly rise or fall a little).
template <PointStyle kStyle, class Writer>
class PointSink {
 public:
  PointSink(ChunkOutput& out, const GraphFacts& facts, Vertex first_line)
      : buffer_(out),
        decimals_(facts.decimals),
        drawing_unit_(kPointsPerUnit * facts.drawing_scale),
        line_(first_line) {}

  void write_point(std::int64_t x, std::int64_t y) {
    char* cursor = start_line(buffer_.reserve());
    if constexpr (kStyle == PointStyle::kDot) {
      cursor = write_pos(cursor, x * drawing_unit_, -y * drawing_unit_);
    } else {
      cursor = write_coordinate(cursor, 1, x);
      *cursor++ = ' ';
      cursor = write_coordinate(cursor, 2, y);
      *cursor++ = '\n';
    }
    buffer_.commit(cursor);
  }

  // Any count of coordinates: 1 (drawn on the x axis), 2 and 3 as above, or more (a mesh of
  // up to 8 axes), which the plain layouts list in full and the layouts that refuse them
  // (dot, Scotch's geometry) never receive.
  void write_coordinates(const std::int64_t* coordinates, int count) {
    if (count == 2) return write_point(coordinates[0], coordinates[1]);
    if (count == 3) return write_point(coordinates[0], coordinates[1], coordinates[2]);
    if constexpr (kStyle == PointStyle::kDot) {
      write_point(coordinates[0], 0);
    } else {
      char* cursor = start_line(buffer_.reserve());
      for (int k = 0; k < count; ++k) {
        cursor = write_coordinate(cursor, static_cast<unsigned>(k) + 1, coordinates[k]);
        *cursor++ = ' ';
      }
      cursor[-1] = '\n';
      buffer_.commit(cursor);
    }
  }

  void write_point(std::int64_t x, std::int64_t y, std::int64_t z) {
    if constexpr (kStyle == PointStyle::kDot) {
      // Seen from in front and above, at 60 degrees or so: the z axis up, y foreshortened by
      // half. Whole numbers are halved in points, exactly; micro-units in micro-units.
      const std::int64_t up = decimals_ == 0 ? z * drawing_unit_ + y * (drawing_unit_ / 2)
                                             : (z + y / 2) * drawing_unit_;
      char* cursor = start_line(buffer_.reserve());
      buffer_.commit(write_pos(cursor, x * drawing_unit_, -up));
    } else {
      char* cursor = start_line(buffer_.reserve());
      cursor = write_coordinate(cursor, 1, x);
      *cursor++ = ' ';
      cursor = write_coordinate(cursor, 2, y);
      *cursor++ = ' ';
      cursor = write_coordinate(cursor, 3, z);
      *cursor++ = '\n';
      buffer_.commit(cursor);
    }
  }

 private:
  // Graphviz's points, 36 to a unit; y grows downwards, as the lines of a page do.
  static constexpr std::int64_t kPointsPerUnit = 36;

  char* start_line(char* cursor) {
    const Vertex label = line_++;
    if constexpr (kStyle == PointStyle::kPlain) return cursor;
    if constexpr (kStyle == PointStyle::kDot) cursor = append(cursor, "  ");
    cursor = decimals_by_position_.write(cursor, 0, static_cast<std::uint64_t>(label));
    *cursor++ = ' ';
    return cursor;
  }

  // A coordinate as "%d" writes it (decimals 0) or with six or nine decimals ("-12.000500"),
  // its whole part through the position's writer. At most 32 bytes.
  char* write_coordinate(char* cursor, unsigned position, std::int64_t value) {
    if (value < 0) *cursor++ = '-';
    const std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    if (decimals_ == 0) return decimals_by_position_.write(cursor, position, magnitude);
    if (decimals_ == 9) {
      constexpr std::uint64_t kNano = 1000000000;
      cursor = decimals_by_position_.write(cursor, position, magnitude / kNano);
      *cursor++ = '.';
      const std::uint64_t fraction = magnitude % kNano;
      *cursor++ = static_cast<char>('0' + fraction / 100000000);
      const std::uint64_t eight = decimal::eight_digits(fraction % 100000000);
      std::memcpy(cursor, &eight, 8);
      return cursor + 8;
    }
    cursor = decimals_by_position_.write(cursor, position, magnitude / 1000000);
    *cursor++ = '.';
    return write_six_decimals(cursor, magnitude % 1000000);
  }

  // pos in points, given in points.
  char* write_pos(char* cursor, std::int64_t x, std::int64_t y) {
    cursor = append(cursor, "[pos=\"");
    cursor = write_coordinate(cursor, 1, x);
    *cursor++ = ',';
    cursor = write_coordinate(cursor, 2, y);
    return append(cursor, "\"];\n");
  }

  SinkBuffer buffer_;
  int decimals_;
  std::int64_t drawing_unit_;  // points per unit of position
  Vertex line_;
  PositionalDecimals<Writer> decimals_by_position_;  // 0: the label, 1 to 3: x, y, z
};

// The refusal of a layout that draws or stores at most three coordinates a vertex.
inline std::optional<std::string> beyond_three_axes(std::string_view layout,
                                                    const GraphFacts& facts) {
  if (facts.dimension <= 3) return std::nullopt;
  return std::string(layout) + " holds 1 to 3 coordinates a vertex; this graph has " +
         decimal_text(facts.dimension);
}

// What the layouts of positions share but their headings.
template <PointStyle kStyle>
struct PointLinesLayout : LayoutDefaults {
  // Every coordinate takes at least a digit and a separator.
  static std::uint64_t body_lower_bound(const GraphFacts& facts) {
    return saturating_multiply(2 * static_cast<std::uint64_t>(facts.dimension), line_total(facts));
  }
  static double line_bytes(int, const GraphFacts& facts) {
    return (number_bytes(facts) + facts.decimals + 2) * (facts.dimension + 1);
  }
  static WrittenEntries written_entries(int, const GraphFacts&) {
    return {WrittenEntries::Kind::kNone, 0};
  }
  template <class Lines>
  static std::uint64_t format(const Lines& lines, const FormatJob&, const GraphFacts& facts,
                              ChunkOutput& out) {
    PointSink<kStyle, typename Lines::NumberWriter> sink(out, facts, lines.first);
    lines.positions(sink);
    return 0;
  }
};

}  // namespace famgen
