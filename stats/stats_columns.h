#pragma once

// The columns of the statistics, each defined once as a name with its value. The export (CSV,
// JSON Lines) writes every column under its name; the tables a person reads (rx7731-cli stats,
// the plot window's table, the report) show those with a heading, in this order. Plain C++.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "stats/reading_stats.h"

namespace rx {

// One field: none, a text, a whole number or a value.
using StatsField = std::variant<std::monostate, std::string, int64_t, double>;

// What a column holds, which decides how the tables and the export write it.
enum class StatsKind {
  kText,         // a name; the tables make its control characters visible
  kWhole,        // a count or a record No.
  kFigure,       // a value as read: the tables show it at the series' resolution
  kFinerFigure,  // a value worked out from readings: the tables give it one decimal more
  kTime,         // a time record's text: ISO 8601 in the export, as a person reads it in tables
};

template <typename Of>
struct StatsColumn {
  std::string_view name;     // the export's: the CSV header, the JSON key
  std::string_view heading;  // the tables'; empty for a column only the export has
  StatsKind kind;
  StatsField (*value)(const Of&);
  // For a minimum or maximum: the export's column of the record No. where it first occurs,
  // which the tables write beside the value, "12.5 (No. 40)". Written where the value is.
  std::string_view at_name = {};
  int32_t (*at)(const Of&) = nullptr;
};

inline StatsField FieldOf(const std::optional<double>& value) {
  return value ? StatsField(*value) : StatsField();
}
inline StatsField FieldOf(const std::optional<int32_t>& number) {
  return number ? StatsField(int64_t{*number}) : StatsField();
}

// A series' columns.
inline constexpr std::array<StatsColumn<SeriesStats>, 11> kSeriesStatsColumns = {{
    {"series", "Series", StatsKind::kText,
     [](const SeriesStats& s) -> StatsField { return s.key.name; }},
    {"channel", "", StatsKind::kWhole,
     [](const SeriesStats& s) -> StatsField { return int64_t{s.key.channel}; }},
    {"unit", "", StatsKind::kText, [](const SeriesStats& s) -> StatsField { return s.key.unit; }},
    {"readings", "Readings", StatsKind::kWhole,
     [](const SeriesStats& s) -> StatsField { return static_cast<int64_t>(s.readings); }},
    {"no_digits", "No digits", StatsKind::kWhole,
     [](const SeriesStats& s) -> StatsField { return static_cast<int64_t>(s.no_digits); }},
    {"min", "Minimum", StatsKind::kFigure, [](const SeriesStats& s) { return FieldOf(s.min); },
     "min_number", [](const SeriesStats& s) { return s.min_number; }},
    {"max", "Maximum", StatsKind::kFigure, [](const SeriesStats& s) { return FieldOf(s.max); },
     "max_number", [](const SeriesStats& s) { return s.max_number; }},
    {"mean", "Mean", StatsKind::kFinerFigure, [](const SeriesStats& s) { return FieldOf(s.mean); }},
    {"std_dev", "Std. dev.", StatsKind::kFinerFigure,
     [](const SeriesStats& s) { return FieldOf(s.std_dev); }},
    {"first_number", "From No.", StatsKind::kWhole,
     [](const SeriesStats& s) { return FieldOf(s.first_number); }},
    {"last_number", "To No.", StatsKind::kWhole,
     [](const SeriesStats& s) { return FieldOf(s.last_number); }},
}};

// A session's columns. The one before the file's first time record has no No. and no time.
inline constexpr std::array<StatsColumn<SessionStats>, 3> kSessionStatsColumns = {{
    {"number", "No.", StatsKind::kWhole, [](const SessionStats& s) { return FieldOf(s.number); }},
    {"time", "Time", StatsKind::kTime,
     [](const SessionStats& s) { return s.number ? StatsField(s.time_text) : StatsField(); }},
    {"readings", "Readings", StatsKind::kWhole,
     [](const SessionStats& s) -> StatsField { return static_cast<int64_t>(s.readings); }},
}};

namespace stats_columns_detail {

template <typename Columns>
constexpr size_t HeadingCount(const Columns& columns) {
  size_t count = 0;
  for (const auto& column : columns) count += !column.heading.empty();
  return count;
}

template <size_t N, typename Columns>
constexpr std::array<std::string_view, N> Headings(const Columns& columns) {
  std::array<std::string_view, N> headings{};
  size_t i = 0;
  for (const auto& column : columns) {
    if (!column.heading.empty()) headings[i++] = column.heading;
  }
  return headings;
}

// Calls `add` with the name of each of `columns`, and after a minimum's or maximum's with its
// record No.'s.
template <typename Columns, typename Add>
constexpr void EachNewName(const Columns& columns, Add add) {
  for (const auto& column : columns) {
    add(column.name);
    if (!column.at_name.empty()) add(column.at_name);
  }
}

template <size_t N = 64>
struct NameList {
  std::array<std::string_view, N> names{};
  size_t size = 0;
  constexpr void Add(std::string_view name) {
    for (size_t i = 0; i < size; ++i) {
      if (names[i] == name) return;
    }
    names[size++] = name;
  }
};

constexpr NameList<> ExportNames() {
  NameList<> list;
  list.Add("kind");
  EachNewName(kSeriesStatsColumns, [&](std::string_view name) { list.Add(name); });
  EachNewName(kSessionStatsColumns, [&](std::string_view name) { list.Add(name); });
  return list;
}

}  // namespace stats_columns_detail

// The headings of the tables a person reads: a series' and a session's.
inline constexpr auto kStatsColumns =
    stats_columns_detail::Headings<stats_columns_detail::HeadingCount(kSeriesStatsColumns)>(
        kSeriesStatsColumns);
inline constexpr auto kSessionColumns =
    stats_columns_detail::Headings<stats_columns_detail::HeadingCount(kSessionStatsColumns)>(
        kSessionStatsColumns);

// The export's columns: "kind" ("series" or "session"), every column of a series, then those
// of a session that a series has not. A row leaves the columns of the other kind empty.
inline constexpr auto kStatsExportColumns = [] {
  constexpr stats_columns_detail::NameList<> list = stats_columns_detail::ExportNames();
  std::array<std::string_view, list.size> names{};
  for (size_t i = 0; i < list.size; ++i) names[i] = list.names[i];
  return names;
}();

// The place of `name` among the export's columns.
constexpr size_t StatsExportIndex(std::string_view name) {
  for (size_t i = 0; i < kStatsExportColumns.size(); ++i) {
    if (kStatsExportColumns[i] == name) return i;
  }
  return kStatsExportColumns.size();
}

}  // namespace rx
