#include "export/stats_export.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "data/readings.h"
#include "export/csv_export.h"
#include "export/json_lines_export.h"

namespace rx {
namespace {

// One field of a row: none, a text, a whole number or a value.
using Field = std::variant<std::monostate, std::string, int64_t, double>;
using Row = std::array<Field, kStatsExportColumns.size()>;

Field Optional(const std::optional<double>& value) { return value ? Field(*value) : Field(); }
Field Optional(const std::optional<int32_t>& number) {
  return number ? Field(int64_t{*number}) : Field();
}

Row SeriesRow(const SeriesStats& s) {
  const bool figures = s.readings > 0;
  return {std::string("series"),
          s.key.name,
          int64_t{s.key.channel},
          s.key.unit,
          static_cast<int64_t>(s.readings),
          static_cast<int64_t>(s.no_digits),
          Optional(s.min),
          figures ? Field(int64_t{s.min_number}) : Field(),
          Optional(s.max),
          figures ? Field(int64_t{s.max_number}) : Field(),
          Optional(s.mean),
          Optional(s.std_dev),
          Optional(s.first_number),
          Optional(s.last_number),
          Field(),
          Field()};
}

Row SessionRow(const SessionStats& session) {
  const std::optional<std::string> time =
      session.number ? IsoTime(session.time_text) : std::nullopt;
  Row row;
  row[0] = std::string("session");
  row[4] = static_cast<int64_t>(session.readings);
  row[14] = Optional(session.number);
  if (time) row[15] = *time;
  return row;
}

template <typename Each>
void ForEachRow(const ReadingStats& stats, Each each) {
  for (const SeriesStats& s : stats.series) each(SeriesRow(s));
  for (const SessionStats& session : stats.sessions) each(SessionRow(session));
}

void AppendInteger(std::string& out, int64_t value) {
  char text[24];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

}  // namespace

void WriteStatsCsv(std::ostream& out, const ReadingStats& stats) {
  std::string text;
  for (const std::string_view column : kStatsExportColumns) {
    if (column != kStatsExportColumns.front()) text += ',';
    text += column;
  }
  text += "\r\n";
  ForEachRow(stats, [&](const Row& row) {
    for (size_t c = 0; c < row.size(); ++c) {
      if (c > 0) text += ',';
      if (const auto* s = std::get_if<std::string>(&row[c])) AppendCsvText(text, *s);
      if (const auto* i = std::get_if<int64_t>(&row[c])) AppendInteger(text, *i);
      if (const auto* d = std::get_if<double>(&row[c])) AppendCsvNumber(text, *d);
    }
    text += "\r\n";
  });
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void WriteStatsJsonLines(std::ostream& out, const ReadingStats& stats) {
  std::string text;
  ForEachRow(stats, [&](const Row& row) {
    text += '{';
    for (size_t c = 0; c < row.size(); ++c) {
      if (c > 0) text += ',';
      AppendJsonString(text, kStatsExportColumns[c]);
      text += ':';
      if (std::holds_alternative<std::monostate>(row[c])) text += "null";
      if (const auto* s = std::get_if<std::string>(&row[c])) AppendJsonString(text, *s);
      if (const auto* i = std::get_if<int64_t>(&row[c])) AppendInteger(text, *i);
      if (const auto* d = std::get_if<double>(&row[c])) AppendJsonNumber(text, *d);
    }
    text += "}\n";
  });
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace rx
