#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "data/readings.h"

namespace rx {

// Writes `readings` as CSV in UTF-8 (RFC 4180): a header row of the export's columns, then one
// row per record, CR LF after each. Text fields (kind, unit, time, last_time_stamp) are always
// quoted, with their quotes doubled, so that any byte they hold reads back; numbers are never
// quoted. The value is written with "." as decimal mark and is empty for a time record and for a
// reading without valid digits. Check `out`'s state for write errors.
void WriteCsv(std::ostream& out, const std::vector<Reading>& readings, char delimiter = ',');

// Why `delimiter` cannot separate the fields of WriteCsv, or empty when it can. A delimiter is
// one ASCII character that never occurs in an unquoted field: not a quote, a line end, a letter,
// a digit, ".", "-", "+" or the "_" of the column names.
std::string CsvDelimiterProblem(std::string_view delimiter);

}  // namespace rx
