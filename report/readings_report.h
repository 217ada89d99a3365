#pragma once

// The PDF report of a data file's readings, shared by rx7731-cli report and the grid's Save
// Report...: page 1 gives the file's name, its number of records, the statistics of each series
// (stats/stats_table.h), the chart that rx7731-cli plot draws, as vectors, and the sessions;
// the pages after it the records as the grid shows them (No., Channel, Value, Unit), the header
// row on each. Every page has a footer with the file's name and "Page n of m". Texts are real
// text in embedded fonts. Needs a QApplication (the chart is a Qt Charts widget).

#include <QPageSize>
#include <cstdint>
#include <functional>
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

// The records a report is made of, from the first, each time the report asks for them.
class ReportRecords {
 public:
  virtual ~ReportRecords() = default;
  virtual TextEncoding Encoding() = 0;
  // Calls `each` with every record in order; may throw DataFileError.
  virtual void ForEach(const std::function<void(const StoredRecord&)>& each) = 0;
};

// A data file on disk, read one record at a time each time.
class DataFileRecords : public ReportRecords {
 public:
  explicit DataFileRecords(DataFileReader& reader) : reader_(reader) {}
  TextEncoding Encoding() override { return reader_.Encoding(); }
  void ForEach(const std::function<void(const StoredRecord&)>& each) override;

 private:
  DataFileReader& reader_;
};

// Records already in memory, as the grid shows them.
class RecordsInMemory : public ReportRecords {
 public:
  RecordsInMemory(const std::vector<StoredRecord>& records, TextEncoding encoding)
      : records_(records), encoding_(encoding) {}
  TextEncoding Encoding() override { return encoding_; }
  void ForEach(const std::function<void(const StoredRecord&)>& each) override;

 private:
  const std::vector<StoredRecord>& records_;
  TextEncoding encoding_;
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
