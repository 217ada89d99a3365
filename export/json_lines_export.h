#pragma once

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

// Every one of `readings`, finished.
void WriteJsonLines(std::ostream& out, const std::vector<Reading>& readings);

}  // namespace rx
