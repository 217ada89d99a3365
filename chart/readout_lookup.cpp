#include "chart/readout_lookup.h"

#include <algorithm>
#include <cmath>

#include "data/data_file.h"

namespace rx {
namespace {

// The last valid reading of `series` at or before `x`, if any.
const ChartPoint* LastPointAtOrBefore(const ChartSeries& series, double x) {
  const auto run = std::upper_bound(series.runs.begin(), series.runs.end(), x,
                                    [](double at, const ChartRun& r) { return at < r.front().x; });
  if (run == series.runs.begin()) return nullptr;
  const ChartRun& in = *(run - 1);
  const auto after = std::upper_bound(in.begin(), in.end(), x,
                                      [](double at, const ChartPoint& p) { return at < p.x; });
  return &*(after - 1);
}

}  // namespace

std::optional<Readout> ReadoutAt(const ChartData& data, double x) {
  if (data.last_x < data.first_x || data.last_x == 0) return std::nullopt;
  const double record = std::clamp(std::round(x), data.first_x, data.last_x);
  Readout readout;
  readout.record = static_cast<int32_t>(record);

  const auto marker = std::upper_bound(data.markers.begin(), data.markers.end(), record,
                                       [](double at, const TimeMarker& m) { return at < m.x; });
  if (marker != data.markers.begin()) readout.session_start = (marker - 1)->label;

  readout.series.reserve(data.series.size());
  for (const ChartSeries& series : data.series) {
    SeriesReadout& at = readout.series.emplace_back();
    const ChartPoint* point = LastPointAtOrBefore(series, record);
    const auto gap = std::upper_bound(series.no_digits.begin(), series.no_digits.end(), record);
    const double last_gap = gap == series.no_digits.begin() ? 0 : *(gap - 1);
    if (point != nullptr && point->x > last_gap) {
      at.record = static_cast<int32_t>(point->x);
      at.value = point->y;
    } else if (last_gap > 0) {
      at.record = static_cast<int32_t>(last_gap);
    }
  }
  return readout;
}

std::vector<std::string> ReadoutLines(const ChartData& data, const Readout& readout,
                                      size_t max_series) {
  std::vector<std::string> lines;
  lines.push_back("Record " + std::to_string(readout.record));
  lines.push_back(readout.session_start.empty() ? "No time record before it"
                                                : "Session start " + readout.session_start);
  const size_t shown = std::min(max_series, readout.series.size());
  for (size_t i = 0; i < shown; ++i) {
    const ChartSeries& series = data.series[i];
    const SeriesReadout& at = readout.series[i];
    std::string line = "ch " + std::to_string(series.channel) + ": ";
    if (!at.record) {
      line += "no reading yet";
    } else if (!at.value) {
      line += "no valid digits";
    } else {
      AppendDouble(line, *at.value);
      if (!series.unit.empty()) line += " " + series.unit;
    }
    lines.push_back(std::move(line));
  }
  if (readout.series.size() > shown) {
    lines.push_back("and " + std::to_string(readout.series.size() - shown) + " more series");
  }
  return lines;
}

}  // namespace rx
