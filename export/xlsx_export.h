#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/file_replacement.h"
#include "data/readings.h"

namespace rx {

// Writes the export's rows as an Excel workbook: one sheet, "Readings", with a bold, frozen
// header row of the export's columns and an autofilter over them. number and channel are whole
// numbers, value a number (empty where a record has none), kind and unit text, time and
// last_time_stamp date-times shown as yyyy-mm-dd hh:mm:ss. The same rows always give the same
// bytes: the workbook's creation time is fixed, not taken from the clock.
//
// Rows go to a temporary file as they come, so that memory stays small for any number of
// records; Finish assembles the workbook beside the file named and only then puts it in that
// file's place (FileReplacement), so that a failed export leaves no half-written workbook there.
class XlsxWriter {
 public:
  explicit XlsxWriter(std::string path);
  ~XlsxWriter();
  XlsxWriter(const XlsxWriter&) = delete;
  XlsxWriter& operator=(const XlsxWriter&) = delete;

  void WriteHeader();
  // One record, with the times of ForEachExportRow.
  void AddRow(const Reading& reading, const std::optional<std::string>& time,
              const std::optional<std::string>& last_time_stamp);
  // Writes the workbook. Returns what failed, on which file, and why, or an empty text when the
  // whole workbook is written under its name.
  std::string Finish();

 private:
  void Check(int error, int row);

  struct Book;
  std::string path_;
  FileReplacement file_;
  std::unique_ptr<Book> book_;
  int next_row_ = 0;
  std::string problem_;  // the first one; nothing more is written after it
  std::array<double, 7> widths_{};
};

// The rows of `readings` as a workbook at `path`; what failed, or an empty text.
std::string WriteXlsxFile(const std::string& path, const std::vector<Reading>& readings);

// A text as a cell of a workbook holds it: characters that XML cannot carry (NUL, U+FFFE,
// U+FFFF) written as _xHHHH_, Excel's escape, and the "_" of a text that already reads as such
// an escape written as _x005F_, so that Excel shows every text as it is. Bytes that are not
// UTF-8 become U+FFFD. libxlsxwriter escapes the other control characters itself.
std::string XlsxCellText(std::string_view text);

}  // namespace rx
