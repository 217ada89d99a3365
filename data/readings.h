#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/data_file.h"
#include "data/text_encoding.h"

namespace rx {

// The three kinds of record a download stores.
enum class RecordKind { kTime, kReading, kCoded };

// The kind of a record read back: "Time" exactly is a time record; a unit written as a number
// (a coded reading's unit code, at most six characters) is a coded reading; anything else is a
// channel reading, whose unit name is always at least ten characters.
RecordKind KindOf(const StoredRecord& record);

// One record as the views beside the grid use it (the command line's table, the export, the
// chart): the grid's own numbering, with the value as a number and the unit as UTF-8 text.
struct Reading {
  int32_t number = 0;  // 1 for the first record of the file, as the grid counts
  RecordKind kind = RecordKind::kReading;
  int16_t channel = 0;
  std::string value_text;  // item 2 exactly as stored: the time text of a time record
  // The reading's value; none for a time record and for a reading without valid digits, which
  // the meter's data file stores as the 999999 marker.
  std::optional<double> value;
  // UTF-8: a channel reading's unit name without its trailing blanks, a coded reading's unit
  // code as stored, "Time" for a time record.
  std::string unit;
};

// `record`, the `number`th of its file, as a Reading; the strings of `reading` keep their room.
void ToReading(const StoredRecord& record, int32_t number, TextEncoding encoding, Reading& reading);

std::vector<Reading> ToReadings(const std::vector<StoredRecord>& records, TextEncoding encoding);

// A meter's time text yymmddhhmmss as ISO 8601, "20yy-mm-ddThh:mm:ss"; none when the text is not
// twelve digits or not a real date and time of day, so that no date is ever made up.
std::optional<std::string> IsoTime(std::string_view time_text);
// The same as a person reads it, "20yy-mm-dd hh:mm:ss", for the views outside the grid and show;
// none where IsoTime has none, and the caller shows the stored text.
std::optional<std::string> ReadableTime(std::string_view time_text);

// A file's count of records in the words every view beside the grid uses:
// "300 records (298 readings, 2 time records)". Coded readings count as readings.
std::string RecordCountText(int64_t records, int64_t time_records);

// Every record of a data file, and the encoding its unit names are in (decided from the file's
// bytes as a unit table's is).
struct DataFileContents {
  std::vector<StoredRecord> records;
  TextEncoding encoding = TextEncoding::kCp1252;
};

// Reads every record of the data file at `path` into memory (DataFileReader reads them one at a
// time). Throws DataFileError, naming the file and the line, when it cannot be read or holds a
// line that is not a record.
DataFileContents ReadWholeDataFile(const std::string& path);

// The same, from bytes already in memory; `path` only names the file in errors.
DataFileContents ParseWholeDataFile(std::string_view bytes, const std::string& path);

}  // namespace rx
