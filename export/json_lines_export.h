#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "data/readings.h"
#include "export/export_columns.h"

namespace rx {

// Writes readings as JSON Lines on `out`, one at a time, as CsvWriter does: one object per
// record, with the export's columns as keys in order, LF after each. A value, time or
// last_time_stamp that a record does not have is null. The output is valid UTF-8; control
// characters, NUL included, are escaped. Check `out`'s state for write errors after Finish.
class JsonLinesWriter {
 public:
  explicit JsonLinesWriter(std::ostream& out);
  // JSON Lines has no header: does nothing, so that every export writer is driven alike.
  void WriteHeader() {}
  void Add(const Reading& reading);
  // Hands the lines not yet written to `out`.
  void Finish();

 private:
  void Write();

  std::ostream& out_;
  std::string buffer_;
  ExportTimes times_;
};

// Appends `value` as a JSON number, the shortest digits that read back (whole values below 1e15
// without a point), or null for none.
void AppendJsonNumber(std::string& out, const std::optional<double>& value);
// Appends `text` as a JSON string, control characters escaped. Text that is not valid UTF-8 gets
// U+FFFD for each byte that starts no character, so that the line stays valid.
void AppendJsonString(std::string& out, std::string_view text);

// Every one of `readings`, finished.
void WriteJsonLines(std::ostream& out, const std::vector<Reading>& readings);

}  // namespace rx
