#pragma once

#include <ostream>

#include "stats/reading_stats.h"
#include "stats/stats_columns.h"

namespace rx {

// The statistics as the export writes records: one row (CSV) or object (JSON Lines) for each
// series, then one for each session, with the columns of stats/stats_columns.h in the order of
// kStatsExportColumns. A series row has the series' figures, its record No. columns
// (min_number, max_number, first_number, last_number) and no number or time; a session row has
// its time record's No. as number, its time as 20yy-mm-ddThh:mm:ss and its readings, and nothing
// else. A figure that is not there is an empty field in CSV and null in JSON: no zero stands for
// a missing figure. Values are written as the readings' exports write them, in digits that
// read back, not at the resolution the tables a person reads use.

// RFC 4180 CSV in UTF-8: the header row, then the rows, CR LF after each; text fields quoted,
// numbers with "." as decimal mark. Check `out`'s state for write errors.
void WriteStatsCsv(std::ostream& out, const ReadingStats& stats);

// JSON Lines: one object a row, the columns as keys, LF after each.
void WriteStatsJsonLines(std::ostream& out, const ReadingStats& stats);

}  // namespace rx
