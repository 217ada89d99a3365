#include "chart/chart_data.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "data/data_viewer.h"
#include "data/reading_series.h"

namespace rx {
namespace {

// A time text the meter got wrong is shown as stored, as the grid shows it, so that no date is
// made up.
std::string MarkerLabel(const std::string& time_text) {
  return ReadableTime(time_text).value_or(TimeDisplay(time_text));
}

}  // namespace

ChartDataBuilder::ChartDataBuilder(std::vector<int16_t> channels)
    : channels_(std::move(channels)) {}

void ChartDataBuilder::Add(const Reading& reading) {
  if (empty_) data_.first_x = reading.number;
  empty_ = false;
  data_.last_x = reading.number;
  if (reading.kind == RecordKind::kTime) {
    data_.markers.push_back({static_cast<double>(reading.number), MarkerLabel(reading.value_text)});
    // A new session starts here: no line joins its first reading to the last one before it.
    std::fill(in_run_.begin(), in_run_.end(), false);
    return;
  }
  if (!channels_.empty() &&
      std::find(channels_.begin(), channels_.end(), reading.channel) == channels_.end()) {
    return;
  }
  std::vector<ChartSeries>& series = data_.series;
  const size_t i = index_.IndexOf(reading);
  if (i == series.size()) {
    const SeriesKey& key = index_.Keys()[i];
    ChartSeries& s = series.emplace_back();
    s.channel = key.channel;
    s.unit = key.unit;
    s.name = key.name;
    in_run_.push_back(false);
  }
  ChartSeries& s = series[i];
  if (!reading.value) {
    in_run_[i] = false;
    s.no_digits.push_back(static_cast<double>(reading.number));
    return;
  }
  const double y = *reading.value;
  if (!in_run_[i]) s.runs.emplace_back();
  in_run_[i] = true;
  s.runs.back().push_back({static_cast<double>(reading.number), y});
  s.min_y = s.points == 0 ? y : std::min(s.min_y, y);
  s.max_y = s.points == 0 ? y : std::max(s.max_y, y);
  ++s.points;
}

ChartData ChartDataBuilder::Finish() {
  ChartData data = std::move(data_);
  std::vector<ChartSeries>& series = data.series;
  std::vector<ChartSeries> listed;
  for (const size_t i : index_.ListingOrder()) {
    if (series[i].points > 0) listed.push_back(std::move(series[i]));
  }
  series = std::move(listed);

  std::vector<std::pair<std::string, size_t>> unit_points;  // in order of first appearance
  for (const ChartSeries& s : series) {
    auto it = std::find_if(unit_points.begin(), unit_points.end(),
                           [&](const auto& u) { return u.first == s.unit; });
    if (it == unit_points.end()) {
      unit_points.emplace_back(s.unit, s.points);
    } else {
      it->second += s.points;
    }
  }
  std::stable_sort(unit_points.begin(), unit_points.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  for (auto& [unit, points] : unit_points) data.units.push_back(std::move(unit));
  return data;
}

ChartData BuildChartData(const std::vector<Reading>& readings,
                         const std::vector<int16_t>& channels) {
  ChartDataBuilder builder(channels);
  for (const Reading& reading : readings) builder.Add(reading);
  return builder.Finish();
}

std::vector<ChartPoint> DecimateRun(std::span<const ChartPoint> run, double x_min, double x_max,
                                    int columns) {
  std::vector<ChartPoint> kept;
  if (run.empty()) return kept;
  const auto first_in = std::lower_bound(run.begin(), run.end(), x_min,
                                         [](const ChartPoint& p, double x) { return p.x < x; });
  const auto end_in = std::upper_bound(run.begin(), run.end(), x_max,
                                       [](double x, const ChartPoint& p) { return x < p.x; });
  if (first_in != run.begin()) kept.push_back(*(first_in - 1));
  if (columns < 1 || !(x_max > x_min) || end_in - first_in <= 4) {
    kept.insert(kept.end(), first_in, end_in);
  } else {
    const double scale = columns / (x_max - x_min);
    auto column_of = [&](const ChartPoint& p) {
      return std::min(static_cast<long>(std::floor((p.x - x_min) * scale)), long{columns} - 1);
    };
    for (auto begin = first_in; begin != end_in;) {
      const long column = column_of(*begin);
      auto end = begin + 1;
      auto low = begin, high = begin;
      while (end != end_in && column_of(*end) == column) {
        if (end->y < low->y) low = end;
        if (end->y > high->y) high = end;
        ++end;
      }
      const auto last = end - 1;
      // The four in their order along the run, each once.
      std::array<decltype(begin), 4> picks = {begin, low, high, last};
      std::sort(picks.begin(), picks.end());
      for (size_t i = 0; i < picks.size(); ++i) {
        if (i == 0 || picks[i] != picks[i - 1]) kept.push_back(*picks[i]);
      }
      begin = end;
    }
  }
  if (end_in != run.end()) kept.push_back(*end_in);
  return kept;
}

std::vector<size_t> LabelsWithRoom(const std::vector<double>& positions, double width,
                                   double right_edge) {
  std::vector<size_t> labelled;
  double free_from = -INFINITY;  // where the last label drawn ends
  for (size_t i = 0; i < positions.size(); ++i) {
    const double left = std::min(positions[i], right_edge - width);
    if (left < free_from) continue;
    labelled.push_back(i);
    free_from = left + width;
  }
  return labelled;
}

}  // namespace rx
