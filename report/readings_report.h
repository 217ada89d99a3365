#pragma once

// The PDF report of a data file's readings, shared by rx7731-cli report and the grid's Save
// Report...: page 1 gives the file's name, its count of records, the span of its time records,
// its size and SHA-256, when the report was made, the statistics of each series
// (stats/stats_table.h), the chart that rx7731-cli plot draws, as vectors, and each session's
// start and records; the pages after it the records as the grid shows them (No., Channel, Value,
// Unit) in as many blocks side by side as the page's width holds, each with its header row. Every
// page has a footer with the file's name and "Page n of m"; a name too long for the title or the
// footer is shortened with "…". The report sets its own fonts, the chart's too, so that the
// window and the command line make the same document. Texts are real text in embedded fonts.
// Needs a QApplication (the chart is a Qt Charts widget).

#include <QCryptographicHash>
#include <QPageSize>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "data/data_file.h"
#include "data/data_file_reader.h"
#include "data/text_encoding.h"

namespace rx {

// Letter where the system's locale measures in inches (the US, Canada), A4 elsewhere.
QPageSize::PageSizeId DefaultPaper();

struct ReportOptions {
  std::vector<int16_t> channels;  // the statistics and chart of these only; empty for all
  QPageSize::PageSizeId paper = QPageSize::A4;
};

// The size and SHA-256 of a data file's bytes, by which a report handed on is traced to its file.
struct FileDigest {
  int64_t size = 0;
  std::string sha256;   // 64 lowercase hexadecimal digits
  std::string problem;  // why the bytes are not known; empty when they are
  bool operator==(const FileDigest&) const = default;
};

// The records a report is made of, from the first, each time the report asks for them.
class ReportRecords {
 public:
  virtual ~ReportRecords() = default;
  virtual TextEncoding Encoding() = 0;
  // Calls `each` with every record in order; may throw DataFileError.
  virtual void ForEach(const std::function<void(const StoredRecord&)>& each) = 0;
  // The bytes the records of the last ForEach came from.
  virtual FileDigest Digest() = 0;
};

// A data file on disk, read one record at a time each time, and digested as it is read.
class DataFileRecords : public ReportRecords {
 public:
  explicit DataFileRecords(DataFileReader& reader) : reader_(reader) {}
  TextEncoding Encoding() override { return reader_.Encoding(); }
  void ForEach(const std::function<void(const StoredRecord&)>& each) override;
  FileDigest Digest() override { return digest_; }

 private:
  DataFileReader& reader_;
  QCryptographicHash hash_{QCryptographicHash::Sha256};
  int64_t size_ = 0;
  FileDigest digest_;
};

// Records already in memory, as the grid shows them, read earlier from the data file at `path`.
// Their digest is of that file as it is when first asked for, and only while it still holds
// these records.
class RecordsInMemory : public ReportRecords {
 public:
  RecordsInMemory(const std::vector<StoredRecord>& records, TextEncoding encoding, std::string path)
      : records_(records), encoding_(encoding), path_(std::move(path)) {}
  TextEncoding Encoding() override { return encoding_; }
  void ForEach(const std::function<void(const StoredRecord&)>& each) override;
  FileDigest Digest() override;

 private:
  const std::vector<StoredRecord>& records_;
  TextEncoding encoding_;
  std::string path_;
  std::optional<FileDigest> digest_;
};

struct ReportOutcome {
  std::string problem;  // empty when the report was written
  int pages = 0;
  int32_t records = 0;
};

// Writes the report of `records`, the data file `data_file` (its name heads the report), to
// the PDF file `output`. The PDF is written beside `output` and takes its name only when whole,
// so a failure leaves no half-written file and an earlier one as it was. A problem names the
// file and the system's reason; a line that is no record (DataFileError) is reported the same
// way.
ReportOutcome WriteReport(ReportRecords& records, const std::string& data_file,
                          const std::string& output, const ReportOptions& options);

}  // namespace rx
