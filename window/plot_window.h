#pragma once

#include <QWidget>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/commands.h"
#include "data/readings.h"
#include "download/message_box.h"
#include "window/file_dialogs.h"

class QChartView;
class QPushButton;
class QTimer;

namespace rx {

class ChartReadout;
class ReadingsChart;
class ReadingsChartView;
class StatisticsTable;

// A window of its own with the chart of the readings the grid showed when it was opened: drag a
// rectangle or turn the mouse wheel to zoom (+ and - from the keyboard, the arrow keys move),
// "Whole Chart" (or Home) goes back to every reading, "Save Image..." writes what it shows as PNG
// or SVG, the picture that rx7731-cli plot draws. Over the chart, a readout gives the values at the
// record under the pointer; under it, a table gives each series' statistics over the records in
// view.
class PlotWindow : public QWidget {
  Q_OBJECT

 public:
  PlotWindow(const ShownRecords& shown, FileDialogs& dialogs, MessageBox& messages,
             QWidget* parent = nullptr);

  ReadingsChart& Chart() const { return *chart_; }
  QChartView& View() const;
  const ChartReadout& Readout() const;
  const StatisticsTable& Statistics() const { return *statistics_; }

  // How long the statistics wait for the axes to stay still before they are worked out again.
  static constexpr int kStatisticsDelayMs = 150;

  void ShowWholeChart();
  void SaveImage();
  // Works out the statistics of the records in view now, without waiting.
  void UpdateStatistics();

 private:
  // The first and last record No. in the chart's view; none when the view lies between two.
  std::optional<std::pair<int32_t, int32_t>> RecordsInView() const;

  std::string path_;
  std::vector<Reading> readings_;
  FileDialogs& dialogs_;
  MessageBox& messages_;
  ReadingsChart* chart_ = nullptr;
  ReadingsChartView* view_ = nullptr;
  QPushButton* whole_ = nullptr;
  QPushButton* save_ = nullptr;
  StatisticsTable* statistics_ = nullptr;
  QTimer* statistics_timer_ = nullptr;
};

}  // namespace rx
