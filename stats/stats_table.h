#pragma once

// The statistics as the views print them: the plot window's table, rx7731-cli stats and the
// report show the same texts in the same columns.

#include <array>
#include <string>
#include <string_view>

#include "stats/reading_stats.h"

namespace rx {

inline constexpr std::array<std::string_view, 9> kStatsColumns = {
    "Series", "Readings",  "No digits", "Minimum", "Maximum",
    "Mean",   "Std. dev.", "From No.",  "To No."};
using StatsTexts = std::array<std::string, kStatsColumns.size()>;

// One series' figures: values as the data file writes them ("." whatever the locale, never NaN
// or infinity), the minimum and maximum with the record No. where each first occurs
// ("12.5 (No. 40)"), and an empty text for a figure the series does not have. The series'
// name has its control characters made visible.
StatsTexts StatsCells(const SeriesStats& series);

inline constexpr std::array<std::string_view, 3> kSessionColumns = {"No.", "Time", "Readings"};
using SessionTexts = std::array<std::string, kSessionColumns.size()>;

// One session: its time record's No. and time display, empty for the readings before the file's
// first time record, and how many readings follow it.
SessionTexts SessionCells(const SessionStats& session);

// A value as the data file writes it (in full where that would not read back); empty where
// there is none.
std::string ValueText(const std::optional<double>& value);

}  // namespace rx
