#include "window/statistics_table.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "chart/readings_chart.h"
#include "data/data_file.h"

namespace rx {
namespace {

// Rows shown without scrolling; more series scroll within the table.
constexpr int kRowsShown = 5;

const QStringList kColumns = {"Series", "Readings",  "No digits", "Minimum", "Maximum",
                              "Mean",   "Std. dev.", "From No.",  "To No."};

// A value as the data file writes it; empty where there is none.
QString ValueText(const std::optional<double>& value) {
  if (!value) return {};
  std::string text;
  AppendDouble(text, *value);
  return QString::fromStdString(text);
}

// A value with the record No. where it first occurs: "12.5 (No. 40)".
QString AtText(const std::optional<double>& value, int32_t number) {
  if (!value) return {};
  return QStringLiteral("%1 (No. %2)").arg(ValueText(value)).arg(number);
}

QString NumberText(const std::optional<int32_t>& number) {
  return number ? QString::number(*number) : QString();
}

}  // namespace

StatisticsTable::StatisticsTable(QWidget* parent) : QWidget(parent) {
  heading_ = new QLabel(this);
  heading_->setObjectName(QStringLiteral("StatisticsHeading"));
  table_ = new QTableWidget(0, static_cast<int>(kColumns.size()), this);
  table_->setObjectName(QStringLiteral("StatisticsTable"));
  table_->setHorizontalHeaderLabels(kColumns);
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
  for (int row = 0; row < table_->rowCount(); ++row) {
    const SeriesStats& s = stats.series[static_cast<size_t>(row)];
    const QStringList cells = {QString::fromStdString(s.key.name),
                               QString::number(s.readings),
                               QString::number(s.no_digits),
                               AtText(s.min, s.min_number),
                               AtText(s.max, s.max_number),
                               ValueText(s.mean),
                               ValueText(s.std_dev),
                               NumberText(s.first_number),
                               NumberText(s.last_number)};
    for (int column = 0; column < cells.size(); ++column) {
      QTableWidgetItem* item = table_->item(row, column);
      if (item == nullptr) {
        item = new QTableWidgetItem;
        table_->setItem(row, column, item);
      }
      item->setText(cells[column]);
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
  std::vector<QStringList> rows = {kColumns};
  for (int row = 0; row < table_->rowCount(); ++row) {
    QStringList& cells = rows.emplace_back();
    for (int column = 0; column < table_->columnCount(); ++column) {
      cells.append(table_->item(row, column)->text());
    }
  }
  return rows;
}

}  // namespace rx
