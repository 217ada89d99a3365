#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "data/readings.h"
#include "export/export_columns.h"

namespace rx {

// Writes readings as CSV in UTF-8 (RFC 4180) on `out`, one at a time: WriteHeader, then Add for
// each record in order, then Finish. The header row holds the export's columns; each row ends in
// CR LF. Text fields (kind, unit, time, last_time_stamp) are always quoted, with their quotes
// doubled, so that any byte they hold reads back; numbers are never quoted. The value is written
// with "." as decimal mark and is empty for a time record and for a reading without valid digits.
// Rows reach `out` in large pieces, each ending with a whole row; check `out`'s state for write
// errors after Finish.
class CsvWriter {
 public:
  explicit CsvWriter(std::ostream& out, char delimiter = ',');
  void WriteHeader();
  void Add(const Reading& reading);
  // Hands the rows not yet written to `out`.
  void Finish();

 private:
  void Write();

  std::ostream& out_;
  char delimiter_;
  std::string buffer_;
  ExportTimes times_;
};

// Appends `text` as a CSV text field: in double quotes, a quote inside doubled.
void AppendCsvText(std::string& out, std::string_view text);
// Appends `value` as the export writes a value: as the data file writes it, to 15 significant
// digits, and in full where that would round past the largest double (1.79769313486232E+308
// reads back as infinity).
void AppendCsvNumber(std::string& out, double value);

// The header and every one of `readings`, finished.
void WriteCsv(std::ostream& out, const std::vector<Reading>& readings, char delimiter = ',');

// Why `delimiter` cannot separate the fields of WriteCsv, or empty when it can. A delimiter is
// one ASCII character that never occurs in an unquoted field: not a quote, a line end, a letter,
// a digit, ".", "-", "+" or the "_" of the column names.
std::string CsvDelimiterProblem(std::string_view delimiter);

}  // namespace rx
