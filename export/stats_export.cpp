#include "export/stats_export.h"

#include <array>
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

using Row = std::array<StatsField, kStatsExportColumns.size()>;

// Each column of `columns` in its place among the export's, by name.
template <typename Of, size_t N>
Row ExportRow(std::string_view kind, const std::array<StatsColumn<Of>, N>& columns, const Of& of) {
  Row row;
  row[StatsExportIndex("kind")] = std::string(kind);
  for (const StatsColumn<Of>& column : columns) {
    StatsField& field = row[StatsExportIndex(column.name)];
    field = column.value(of);
    if (column.kind == StatsKind::kTime) {
      const std::string* text = std::get_if<std::string>(&field);
      const std::optional<std::string> time = text ? IsoTime(*text) : std::nullopt;
      field = time ? StatsField(*time) : StatsField();
    }
    if (column.at != nullptr && !std::holds_alternative<std::monostate>(field)) {
      row[StatsExportIndex(column.at_name)] = int64_t{column.at(of)};
    }
  }
  return row;
}

template <typename Each>
void ForEachRow(const ReadingStats& stats, Each each) {
  for (const SeriesStats& s : stats.series) each(ExportRow("series", kSeriesStatsColumns, s));
  for (const SessionStats& session : stats.sessions) {
    each(ExportRow("session", kSessionStatsColumns, session));
  }
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
