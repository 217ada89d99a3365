#pragma once

#include <QWidget>
#include <cstdint>
#include <optional>

#include "stats/reading_stats.h"

class QLabel;
class QTableWidget;

namespace rx {

class ReadingsChart;

// The small table under the plot window's chart: each series' statistics over the records the
// chart shows, under a heading that names them ("Records 120 to 480").
class StatisticsTable : public QWidget {
  Q_OBJECT

 public:
  explicit StatisticsTable(QWidget* parent = nullptr);

  // Shows `stats`, the statistics of records `first` to `last`, or says that no record is in
  // view. A series on `chart` has its name in the line's colour.
  void Show(const ReadingStats& stats, std::optional<std::pair<int32_t, int32_t>> records,
            const ReadingsChart& chart);

  QString Heading() const;
  // The table as shown: the header row, then one row a series.
  std::vector<QStringList> Rows() const;

 private:
  QLabel* heading_ = nullptr;
  QTableWidget* table_ = nullptr;
};

}  // namespace rx
