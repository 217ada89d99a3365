#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "data/reading_series.h"
#include "data/readings.h"

namespace rx {

// What a chart of readings shows, worked out from the records alone: no sizes, no drawing.
// x is the record's number as the grid counts it, y its value.
struct ChartPoint {
  double x = 0;
  double y = 0;
  bool operator==(const ChartPoint&) const = default;
};

// Points joined by one line: a reading without valid digits ends a run, so no line is drawn
// through it, and so does a time record, so that no line joins one session to the next.
using ChartRun = std::vector<ChartPoint>;

// The readings of one channel in one unit.
struct ChartSeries {
  int16_t channel = 0;
  std::string unit;            // the unit name, "code N" for a coded reading's unit code
  std::string name;            // the legend's text: "ch 1 V"
  std::vector<ChartRun> runs;  // in record order, never empty
  size_t points = 0;           // in all runs
  double min_y = 0;
  double max_y = 0;
  // The record numbers of the series' readings without valid digits, in record order.
  std::vector<double> no_digits;
};

// A time record: a thin vertical line at its number, labelled "2023-05-12 07:39:33" (a time text
// that is no real date and time as the grid shows it, "231399 07:39:33").
struct TimeMarker {
  double x = 0;
  std::string label;
  bool operator==(const TimeMarker&) const = default;
};

struct ChartData {
  // One series per channel and unit, ordered by channel, then by their first reading.
  std::vector<ChartSeries> series;
  std::vector<TimeMarker> markers;  // every time record of the file, in record order
  // The distinct units of the series, the unit with the most points first.
  std::vector<std::string> units;
  double first_x = 0;  // the first and last record numbers of the file
  double last_x = 0;
};

// Groups readings, fed one at a time in record order, into series and time markers. A non-empty
// `channels` keeps only readings of the channels named; time records are kept whatever their
// channel. Series whose readings all lack valid digits are left out, as they have nothing to
// draw.
class ChartDataBuilder {
 public:
  explicit ChartDataBuilder(std::vector<int16_t> channels = {});
  void Add(const Reading& reading);
  ChartData Finish();

 private:
  std::vector<int16_t> channels_;
  ChartData data_;
  bool empty_ = true;
  std::vector<bool> in_run_;  // a series' last reading had a value, so the next one joins it
  SeriesIndex index_;
};

// The same for readings in memory.
ChartData BuildChartData(const std::vector<Reading>& readings,
                         const std::vector<int16_t>& channels = {});

// The points of `run` that draw the same line over [x_min, x_max] split into `columns` equal
// columns: in each column the first, lowest, highest and last point, in their order, and the
// nearest point on each side outside the range, so that the line still reaches the edges.
// Drawing 100,000 points into 1,100 pixel columns then costs at most 4,400.
std::vector<ChartPoint> DecimateRun(std::span<const ChartPoint> run, double x_min, double x_max,
                                    int columns);

// Which of the labels starting at `positions` (ascending, `width` wide each) to draw so that
// no two overlap, going from the left: a label that would pass `right_edge` is moved left to
// end there. Returns indices into `positions`.
std::vector<size_t> LabelsWithRoom(const std::vector<double>& positions, double width,
                                   double right_edge);

}  // namespace rx
