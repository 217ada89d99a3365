#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "data/file_replacement.h"

namespace rx {

// A data file could not be created, written, closed or read. what() names the file and the
// system's reason.
class DataFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The value stored for a reading whose display showed no valid digits (an overload): the
// file's readers show it as it is, and the views beside the grid as no value.
inline constexpr double kNoDigitsMarker = 999999;

// One item of a record: text (written in double quotes), 16-bit integer, 32-bit integer, double.
using RecordItem = std::variant<std::string_view, int16_t, int32_t, double>;

// Writes the text form of a double: plain decimal with "." whatever the locale, at most 15
// significant digits, no trailing zeros, no point for whole values, "0" before the point of a
// magnitude below one. Magnitudes below 1e-7 or from 1e21 up use an exponent (1.234E-29).
void AppendDouble(std::string& out, double value);
// The same, except for a value so near the largest double that 15 digits round past it
// (1.79769313486232E+308 reads back as infinity): that one is written in full. For the views
// beside the data file, whose numbers must read back.
void AppendDoubleReadingBack(std::string& out, double value);

// Writes the lines of one download. Records are buffered and reach the operating system on
// Flush, Close, or when the buffer grows large.
//
// The records go to a new file beside the one named, which takes that name when the first of
// them reaches the system, in one rename; the records after it are appended there. So a download
// that stores nothing leaves a file already there as it was, and creates none.
class DataFileWriter {
 public:
  // The most characters a number's text can take; "-d.ddddddddddddddE-308" is the longest.
  static constexpr size_t kNumberBound = 24;

  DataFileWriter() = default;
  DataFileWriter(const DataFileWriter&) = delete;
  DataFileWriter& operator=(const DataFileWriter&) = delete;
  ~DataFileWriter();

  // Creates the new file beside `path` and keeps it open for writing. Fails when it cannot be
  // created, or when a file at `path` could not be replaced (read-only; on Windows held open by
  // another program).
  void OpenDataFile(const std::string& path);
  // Appends one line of four items and CR LF. Each item is a RecordItem or one of its types.
  template <typename Item1, typename Item2, typename Item3, typename Item4>
  void AppendRecord(const Item1& item1, const Item2& item2, const Item3& item3,
                    const Item4& item4) {
    char* out = BeginRecord(Bound(item1) + Bound(item2) + Bound(item3) + Bound(item4) + 5);
    out = Put(out, item1);
    *out++ = ',';
    out = Put(out, item2);
    *out++ = ',';
    out = Put(out, item3);
    *out++ = ',';
    out = Put(out, item4);
    EndRecord(out);
  }
  // Hands every appended record to the operating system.
  void Flush();
  // Flushes and closes. Does nothing when no file is open.
  void CloseDataFile();
  // Closes without reporting errors; used when a download is already being abandoned.
  void CloseQuietly() noexcept;

  bool IsOpen() const { return file_ && file_->File() != nullptr; }
  const std::string& Path() const { return path_; }
  // Records that have reached the operating system whole since the file was opened. After a
  // failed write the file is cut back to these, so it never ends in part of a record.
  int32_t SavedRecords() const { return saved_records_; }

 private:
  static constexpr size_t Bound(int16_t) { return kNumberBound; }
  static constexpr size_t Bound(int32_t) { return kNumberBound; }
  static constexpr size_t Bound(double) { return kNumberBound; }
  static constexpr size_t Bound(std::string_view text) { return text.size() + 2; }
  static size_t Bound(const RecordItem& item);
  // Each writes an item's text at `out` and returns its end.
  static char* Put(char* out, std::string_view text);
  static char* Put(char* out, int16_t value);
  static char* Put(char* out, int32_t value);
  static char* Put(char* out, double value);
  static char* Put(char* out, const RecordItem& item);
  // Makes room for a record of at most `bound` characters at the end of the buffer.
  char* BeginRecord(size_t bound);
  // Ends the record whose text ends at `end` with CR LF and gives back the room not used.
  void EndRecord(char* end);

  [[noreturn]] void Fail(const char* what, const std::error_code& error);
  void CutToSavedRecords() noexcept;

  std::optional<FileReplacement> file_;
  std::string path_;
  std::string buffer_;
  int32_t buffered_records_ = 0;
  int32_t saved_records_ = 0;
  uintmax_t saved_bytes_ = 0;  // the file's length up to the end of the last saved record
  bool cut_short_ = false;     // a failed write may have left part of a record in the file
};

// One record read back: items 2, 3 and 4.
struct StoredRecord {
  std::string ValueText;
  std::string UnitText;
  int16_t Channel = 0;
  bool operator==(const StoredRecord&) const = default;
};

// Reads the first `count` records of the file. Throws DataFileError when the file cannot be
// opened, ends before `count` records, or holds a line that is not a record; no partial list.
std::vector<StoredRecord> ReadDataFile(const std::string& path, int32_t count);

// The same, from bytes already in memory; `path` only names the file in errors.
std::vector<StoredRecord> ParseDataFile(std::string_view bytes, int32_t count,
                                        const std::string& path);

}  // namespace rx
