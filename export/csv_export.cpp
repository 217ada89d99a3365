#include "export/csv_export.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "data/data_file.h"
#include "export/export_columns.h"

namespace rx {
namespace {

constexpr size_t kChunk = 64 * 1024;

// Below this a value rounded to 15 significant digits stays a finite double.
constexpr double kLargestRoundedDown = 1.79769313486231e308;

// The value as the data file writes it, to 15 significant digits; a value so near the largest
// double that this rounds past it (to 1.79769313486232E+308, which reads back as infinity) is
// written in full instead.
void AppendValue(std::string& out, double value) {
  const size_t start = out.size();
  AppendDouble(out, value);
  if (std::fabs(value) <= kLargestRoundedDown) return;
  double back = 0;
  if (std::from_chars(out.data() + start, out.data() + out.size(), back).ec == std::errc()) return;
  out.resize(start);
  char text[32];
  char* end = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific).ptr;
  std::replace(text, end, 'e', 'E');
  out.append(text, end);
}

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace

void WriteCsv(std::ostream& out, const std::vector<Reading>& readings, char delimiter) {
  std::string buffer;
  buffer.reserve(kChunk + 1024);
  for (const std::string_view column : kExportColumns) {
    if (column != kExportColumns.front()) buffer += delimiter;
    buffer += column;
  }
  buffer += "\r\n";
  ForEachExportRow(readings, [&](const Reading& reading, const std::optional<std::string>& time,
                                 const std::optional<std::string>& last_time_stamp) {
    buffer += std::to_string(reading.number);
    buffer += delimiter;
    AppendQuoted(buffer, KindName(reading.kind));
    buffer += delimiter;
    buffer += std::to_string(reading.channel);
    buffer += delimiter;
    if (reading.value) AppendValue(buffer, *reading.value);
    buffer += delimiter;
    AppendQuoted(buffer, reading.unit);
    buffer += delimiter;
    AppendQuoted(buffer, time.value_or(""));
    buffer += delimiter;
    AppendQuoted(buffer, last_time_stamp.value_or(""));
    buffer += "\r\n";
    if (buffer.size() >= kChunk) {
      out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
      buffer.clear();
    }
  });
  out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
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
