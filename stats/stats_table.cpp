#include "stats/stats_table.h"

#include "data/readings.h"
#include "data/record_texts.h"

namespace rx {
namespace {

// `field` as the tables write a column of `kind`, for a series whose readings have `decimals`.
std::string CellText(const StatsField& field, StatsKind kind, int decimals) {
  if (const auto* text = std::get_if<std::string>(&field)) {
    if (kind == StatsKind::kTime) {
      if (std::optional<std::string> readable = ReadableTime(*text)) return *readable;
    }
    return VisibleText(*text);
  }
  if (const auto* whole = std::get_if<int64_t>(&field)) return std::to_string(*whole);
  if (const auto* value = std::get_if<double>(&field)) {
    return FigureText(*value, kind == StatsKind::kFinerFigure ? decimals + 1 : decimals);
  }
  return {};
}

template <typename Of, size_t N, size_t M>
std::array<std::string, M> Cells(const std::array<StatsColumn<Of>, N>& columns, const Of& of,
                                 int decimals) {
  std::array<std::string, M> cells;
  size_t i = 0;
  for (const StatsColumn<Of>& column : columns) {
    if (column.heading.empty()) continue;
    const StatsField field = column.value(of);
    std::string& cell = cells[i++];
    cell = CellText(field, column.kind, decimals);
    if (column.at != nullptr && !std::holds_alternative<std::monostate>(field)) {
      cell += " (No. " + std::to_string(column.at(of)) + ")";
    }
  }
  return cells;
}

}  // namespace

std::vector<StatsTexts> StatsRows(const ReadingStats& stats, FigurePadding padding) {
  std::vector<StatsTexts> rows;
  rows.reserve(stats.series.size());
  for (const SeriesStats& s : stats.series) {
    rows.push_back(Cells<SeriesStats, kSeriesStatsColumns.size(), kStatsColumns.size()>(
        kSeriesStatsColumns, s, s.decimals));
  }
  size_t i = 0;
  for (const StatsColumn<SeriesStats>& column : kSeriesStatsColumns) {
    if (column.heading.empty()) continue;
    if (column.kind == StatsKind::kFigure || column.kind == StatsKind::kFinerFigure) {
      std::vector<std::string*> cells;
      for (StatsTexts& row : rows) cells.push_back(&row[i]);
      AlignFigures(cells, padding);
    }
    ++i;
  }
  return rows;
}

SessionTexts SessionCells(const SessionStats& session) {
  return Cells<SessionStats, kSessionStatsColumns.size(), kSessionColumns.size()>(
      kSessionStatsColumns, session, 0);
}

}  // namespace rx
