#include "window/statistics_table.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "chart/readings_chart.h"
#include "stats/stats_table.h"

namespace rx {
namespace {

// Rows shown without scrolling; more series scroll within the table.
constexpr int kRowsShown = 5;

QStringList Columns() {
  QStringList columns;
  for (const std::string_view column : kStatsColumns) {
    columns.append(QString::fromUtf8(column.data(), static_cast<qsizetype>(column.size())));
  }
  return columns;
}

}  // namespace

StatisticsTable::StatisticsTable(QWidget* parent) : QWidget(parent) {
  heading_ = new QLabel(this);
  heading_->setObjectName(QStringLiteral("StatisticsHeading"));
  table_ = new QTableWidget(0, static_cast<int>(kStatsColumns.size()), this);
  table_->setObjectName(QStringLiteral("StatisticsTable"));
  table_->setHorizontalHeaderLabels(Columns());
  table_->verticalHeader()->hide();
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionMode(QAbstractItemView::ContiguousSelection);
  table_->setWordWrap(false);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setStretchLastSection(false);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(heading_);
  layout->addWidget(table_);
}

void StatisticsTable::Show(const ReadingStats& stats,
                           std::optional<std::pair<int32_t, int32_t>> records,
                           const ReadingsChart& chart) {
  heading_->setText(
      records ? QStringLiteral("Records %1 to %2").arg(records->first).arg(records->second)
              : QStringLiteral("No record in view"));
  const std::vector<ChartSeries>& drawn = chart.Data().series;
  table_->setUpdatesEnabled(false);
  table_->setRowCount(static_cast<int>(stats.series.size()));
  // Figure spaces take a digit's room in the table's proportional font, so the right-aligned
  // figures of a column line up on their decimal points.
  const std::vector<StatsTexts> series_texts = StatsRows(stats, FigurePadding::kFigureSpaces);
  for (int row = 0; row < table_->rowCount(); ++row) {
    const SeriesStats& s = stats.series[static_cast<size_t>(row)];
    const StatsTexts& texts = series_texts[static_cast<size_t>(row)];
    for (int column = 0; column < static_cast<int>(texts.size()); ++column) {
      QTableWidgetItem* item = table_->item(row, column);
      if (item == nullptr) {
        item = new QTableWidgetItem;
        table_->setItem(row, column, item);
      }
      item->setText(QString::fromStdString(texts[static_cast<size_t>(column)]));
      item->setTextAlignment(column == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                         : Qt::AlignRight | Qt::AlignVCenter);
    }
    const auto on_chart = std::find_if(drawn.begin(), drawn.end(),
                                       [&](const ChartSeries& c) { return c.name == s.key.name; });
    table_->item(row, 0)->setForeground(
        on_chart == drawn.end() ? palette().text().color()
                                : chart.SeriesColor(static_cast<size_t>(on_chart - drawn.begin())));
  }
  table_->setUpdatesEnabled(true);
  const int rows = std::clamp(table_->rowCount(), 1, kRowsShown);
  table_->setFixedHeight(table_->horizontalHeader()->sizeHint().height() +
                         rows * table_->verticalHeader()->defaultSectionSize() +
                         2 * table_->frameWidth() + 2);
}

QString StatisticsTable::Heading() const { return heading_->text(); }

std::vector<QStringList> StatisticsTable::Rows() const {
  std::vector<QStringList> rows = {Columns()};
  for (int row = 0; row < table_->rowCount(); ++row) {
    QStringList& cells = rows.emplace_back();
    for (int column = 0; column < table_->columnCount(); ++column) {
      cells.append(table_->item(row, column)->text());
    }
  }
  return rows;
}

}  // namespace rx
