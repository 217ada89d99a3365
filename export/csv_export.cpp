#include "export/csv_export.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "data/data_file.h"
#include "export/export_columns.h"

namespace rx {
namespace {

constexpr size_t kChunk = 64 * 1024;

template <typename Integer>
void AppendInteger(std::string& out, Integer value) {
  char text[12];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

}  // namespace

void AppendCsvNumber(std::string& out, double value) { AppendDoubleReadingBack(out, value); }

void AppendCsvText(std::string& out, std::string_view text) {
  out += '"';
  for (size_t quote; (quote = text.find('"')) != std::string_view::npos;) {
    out.append(text.substr(0, quote + 1)).append(1, '"');
    text.remove_prefix(quote + 1);
  }
  out.append(text);
  out += '"';
}

CsvWriter::CsvWriter(std::ostream& out, char delimiter) : out_(out), delimiter_(delimiter) {
  buffer_.reserve(kChunk + 1024);
}

void CsvWriter::WriteHeader() {
  for (const std::string_view column : kExportColumns) {
    if (column != kExportColumns.front()) buffer_ += delimiter_;
    buffer_ += column;
  }
  buffer_ += "\r\n";
}

void CsvWriter::Add(const Reading& reading) {
  times_.Next(reading);
  AppendInteger(buffer_, reading.number);
  buffer_ += delimiter_;
  AppendCsvText(buffer_, KindName(reading.kind));
  buffer_ += delimiter_;
  AppendInteger(buffer_, reading.channel);
  buffer_ += delimiter_;
  if (reading.value) AppendCsvNumber(buffer_, *reading.value);
  buffer_ += delimiter_;
  AppendCsvText(buffer_, reading.unit);
  buffer_ += delimiter_;
  AppendCsvText(buffer_, times_.Time().value_or(""));
  buffer_ += delimiter_;
  AppendCsvText(buffer_, times_.LastTimeStamp().value_or(""));
  buffer_ += "\r\n";
  if (buffer_.size() >= kChunk) Write();
}

void CsvWriter::Finish() { Write(); }

void CsvWriter::Write() {
  out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
  buffer_.clear();
}

void WriteCsv(std::ostream& out, const std::vector<Reading>& readings, char delimiter) {
  CsvWriter csv(out, delimiter);
  csv.WriteHeader();
  for (const Reading& reading : readings) csv.Add(reading);
  csv.Finish();
}

std::string CsvDelimiterProblem(std::string_view delimiter) {
  if (delimiter.size() != 1) return "the delimiter must be one character";
  const char c = delimiter.front();
  if (c == '"') return "a quote cannot be the delimiter: it quotes text fields";
  if (c == '\r' || c == '\n') return "a line end cannot be the delimiter: it ends rows";
  if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.' ||
      c == '-' || c == '+') {
    return std::string("'") + c + "' cannot be the delimiter: it occurs in numbers";
  }
  for (const std::string_view column : kExportColumns) {
    if (column.find(c) != std::string_view::npos) {
      return std::string("'") + c + "' cannot be the delimiter: it occurs in the column names";
    }
  }
  if (static_cast<unsigned char>(c) >= 0x80 || (c < ' ' && c != '\t') || c == 0x7F) {
    return "the delimiter must be a printable ASCII character or a tab";
  }
  return {};
}

}  // namespace rx
