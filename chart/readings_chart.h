#pragma once

#include <QChart>
#include <QColor>
#include <QSize>
#include <QString>
#include <QValueAxis>
#include <cstdint>
#include <string>
#include <vector>

#include "chart/chart_data.h"

namespace rx {

class ReadingsLinesItem;

// The chart of a data file's readings: a Qt Chart with the record number across, one value axis
// per unit (or one shared axis when there are too many units to tell apart), a legend, and the
// readings and time markers drawn over its plot area. Put it in a QChartView to show it (zoom
// with QChart::zoomIn / zoom / scroll; ShowWholeChart goes back), or lay it out with
// SetChartSize (chart_image.h) to save it as an image.
//
// Each series is drawn as one line per run, so a reading without valid digits leaves a gap.
// The lines are thinned to the plot area's pixel columns each time it is painted, keeping
// what a line through every point would show, so a zoomed-in chart shows every reading again.
class ReadingsChart : public QChart {
  Q_OBJECT
 public:
  // Beyond this many units, one axis each would leave no room for the plot, so the units
  // share one value axis and each series names its unit in the legend.
  static constexpr size_t kMaxValueAxes = 4;
  // The legend names at most this many series, those with the most readings, and says how
  // many more there are.
  static constexpr size_t kMaxLegendEntries = 16;

  explicit ReadingsChart(ChartData data, QGraphicsItem* parent = nullptr);

  const ChartData& Data() const { return data_; }
  // The colour of channel `channel`'s lines, the same in every chart.
  static QColor ChannelColor(int16_t channel);
  // The line colour of `Data().series[index]`: its channel's.
  QColor SeriesColor(size_t index) const { return colors_.at(index); }
  // Solid for a channel's first unit, dashed for its second, and so on.
  Qt::PenStyle SeriesLineStyle(size_t index) const { return styles_.at(index); }
  QValueAxis* RecordAxis() const { return record_axis_; }
  // The value axis that `Data().series[index]` is drawn against.
  QValueAxis* ValueAxis(size_t index) const { return series_axis_.at(index); }
  // Sets the font of the axes', the legend's and, a little smaller, the time markers' texts.
  // Without it they take the application's font.
  void SetTextFont(const QFont& font);
  // Sets every axis back to the range that shows all readings. Zooming out or moving never goes
  // beyond that range.
  void ShowWholeChart();
  // Titles the chart with the name of the data file at `data_file`, without its folder.
  void ShowFileName(const std::string& data_file);
  // Shows the ranges that `other`, a chart of the same data, shows now.
  void ShowRangesOf(const ReadingsChart& other);

 private:
  ChartData data_;
  std::vector<QColor> colors_;
  std::vector<Qt::PenStyle> styles_;
  QValueAxis* record_axis_ = nullptr;
  std::vector<QValueAxis*> value_axes_;
  std::vector<QValueAxis*> series_axis_;
  std::vector<std::pair<double, double>> whole_ranges_;  // of record_axis_, then value_axes_
  ReadingsLinesItem* lines_ = nullptr;
};

// Writes the chart of `data` to `path` (SVG or PNG by its extension) as rx7731-cli plot and the
// plot window's Save Image both write it: `size` pixels, titled with the name of `data_file`,
// showing what `shown` (a chart of the same data, zoomed or not) shows, or the whole chart.
// Throws ChartImageError.
void SaveReadingsChart(ChartData data, const std::string& data_file, QSize size,
                       const QString& path, const ReadingsChart* shown = nullptr);

}  // namespace rx
