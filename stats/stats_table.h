#pragma once

// The statistics as the tables a person reads show them: the plot window's table, rx7731-cli
// stats and the report give the same texts under the same headings (stats/stats_columns.h).

#include <array>
#include <string>
#include <vector>

#include "stats/figure_text.h"
#include "stats/reading_stats.h"
#include "stats/stats_columns.h"

namespace rx {

using StatsTexts = std::array<std::string, kStatsColumns.size()>;

// Each series' figures, one row a series: values at the series' resolution (the most decimals
// its readings have; the mean and standard deviation one more), trailing zeros kept, "."
// whatever the locale; the minimum and maximum with the record No. where each first occurs
// ("12.50 (No. 40)"); an empty text for a figure the series does not have. The series' name has
// its control characters made visible. Each column's figures are padded by `padding` so that,
// right-aligned, their decimal points line up.
std::vector<StatsTexts> StatsRows(const ReadingStats& stats, FigurePadding padding);

using SessionTexts = std::array<std::string, kSessionColumns.size()>;

// One session: its time record's No. and time as a person reads it ("2023-05-12 07:39:33", or
// the text as stored where that is no date and time), both empty for the readings before the
// file's first time record, and how many readings follow it.
SessionTexts SessionCells(const SessionStats& session);

}  // namespace rx
