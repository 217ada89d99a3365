#pragma once

#include <QWidget>
#include <string>

#include "app/commands.h"
#include "download/message_box.h"
#include "window/file_dialogs.h"

class QChartView;
class QPushButton;

namespace rx {

class ChartReadout;
class ReadingsChart;
class ReadingsChartView;

// A window of its own with the chart of the readings the grid showed when it was opened: drag a
// rectangle or turn the mouse wheel to zoom (+ and - from the keyboard, the arrow keys move),
// "Whole Chart" (or Home) goes back to every reading, "Save Image..." writes it as PNG or SVG.
// Over the chart, a readout gives the values at the record under the pointer.
class PlotWindow : public QWidget {
  Q_OBJECT

 public:
  PlotWindow(const ShownRecords& shown, FileDialogs& dialogs, MessageBox& messages,
             QWidget* parent = nullptr);

  ReadingsChart& Chart() const { return *chart_; }
  QChartView& View() const;
  const ChartReadout& Readout() const;

  void ShowWholeChart();
  void SaveImage();

 private:
  std::string path_;
  FileDialogs& dialogs_;
  MessageBox& messages_;
  ReadingsChart* chart_ = nullptr;
  ReadingsChartView* view_ = nullptr;
  QPushButton* whole_ = nullptr;
  QPushButton* save_ = nullptr;
};

}  // namespace rx
