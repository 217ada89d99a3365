#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "data/data_file.h"
#include "data/readings.h"
#include "data/text_encoding.h"

namespace rx {

// Reads a data file one record at a time. It holds one chunk of the file and the line being read,
// so its memory does not grow with the file's length (only with its longest line). Every reader
// of data files sits on it: View Data, Open Data File, and rx7731-cli's show, export and plot.
//
//   DataFileReader reader(path);        // throws DataFileError when the file cannot be opened
//   Reading reading;
//   while (reader.Next(reading)) Use(reading);   // throws DataFileError at a line that is not a
//                                                // record, naming the file and the line
//
// A failure part-way through comes after the records before it have been handed over: a caller
// that writes as it reads decides what becomes of what it wrote.
class DataFileReader {
 public:
  // Opens the file at `path`. A file that cannot be read twice from its start (a pipe) is read
  // into memory whole instead. Throws DataFileError "Cannot open data file PATH: reason".
  explicit DataFileReader(const std::string& path);
  // Reads `bytes`, which must outlive the reader; `path` only names them in errors.
  DataFileReader(std::string_view bytes, const std::string& path);
  DataFileReader(const DataFileReader&) = delete;
  DataFileReader& operator=(const DataFileReader&) = delete;
  ~DataFileReader();

  // The next record into `record` (its strings' room is reused); false after the last one.
  bool Next(StoredRecord& record);
  // The next record as a Reading, numbered as the grid counts and its unit name in UTF-8 by
  // Encoding(); false after the last one.
  bool Next(Reading& reading);

  // The encoding of the file's unit names, decided from all of its bytes as a unit table's is.
  // The first call reads the file through once on its own and leaves the reader where it was.
  TextEncoding Encoding();

  // Records handed over so far.
  int32_t RecordsRead() const { return records_read_; }
  // Starts again at the first record, for a caller that needs two passes. `watch`, when given,
  // is handed every byte of the file, in order, as this pass reads it: what a caller reads to the
  // last record, it can digest without reading the file again.
  void Rewind(std::function<void(std::string_view)> watch = {});
  const std::string& Path() const { return path_; }

 private:
  bool NextLine(std::string_view& line);
  void Fill();
  void DecideEncoding();
  [[noreturn]] void Fail(const std::string& reason) const;

  std::string path_;
  std::FILE* file_ = nullptr;
  std::string buffer_;      // from the file: bytes read, from the start of the current line
  std::string_view data_;   // the bytes at hand: buffer_, or all of them when read from memory
  std::string_view whole_;  // all the bytes, when read from memory
  std::string piped_;       // all the bytes of a file that cannot be read twice
  size_t pos_ = 0;          // the first byte of data_ not yet read
  bool at_end_ = true;      // data_ ends where the file does
  int32_t records_read_ = 0;
  std::optional<TextEncoding> encoding_;
  StoredRecord record_;  // Next(Reading&)'s record, kept for the room its strings have
  std::function<void(std::string_view)> watch_;  // of the pass since the last Rewind
};

// Calls `each` with every reading of the data file at `path`, in order, and returns how many
// there were. Throws DataFileError as DataFileReader does.
int32_t ForEachReading(const std::string& path, const std::function<void(const Reading&)>& each);

}  // namespace rx
