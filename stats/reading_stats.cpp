#include "stats/reading_stats.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "stats/figure_text.h"

namespace rx {

static_assert(std::numeric_limits<long double>::max_exponent >= 2 * DBL_MAX_EXP,
              "the statistics need a long double that holds the square of the largest double");

StatsAccumulator::StatsAccumulator(StatsOptions options) : options_(std::move(options)) {}

bool StatsAccumulator::Chosen(int16_t channel) const {
  return options_.channels.empty() || std::find(options_.channels.begin(), options_.channels.end(),
                                                channel) != options_.channels.end();
}

void StatsAccumulator::Add(const Reading& reading) {
  if (reading.number > options_.last) return;
  if (reading.number < options_.first) {
    if (reading.kind == RecordKind::kTime) {
      before_range_ = SessionStats{reading.number, reading.value_text, 0};
    }
    return;
  }
  ++records_;
  if (reading.kind == RecordKind::kTime) {
    sessions_.push_back({reading.number, reading.value_text, 0});
    return;
  }
  if (!Chosen(reading.channel)) return;
  if (sessions_.empty()) sessions_.push_back(before_range_.value_or(SessionStats{}));
  ++sessions_.back().readings;

  const size_t i = index_.IndexOf(reading);
  if (i == series_.size()) series_.emplace_back().stats.key = index_.Keys()[i];
  Running& running = series_[i];
  SeriesStats& s = running.stats;
  if (!reading.value) {
    ++s.no_digits;
    return;
  }
  const double x = *reading.value;
  if (!s.min || x < *s.min) {
    s.min = x;
    s.min_number = reading.number;
  }
  if (!s.max || x > *s.max) {
    s.max = x;
    s.max_number = reading.number;
  }
  const int decimals = DecimalsOf(reading.value_text);
  if (!s.first_number || decimals > s.decimals) s.decimals = decimals;
  if (!s.first_number) s.first_number = reading.number;
  s.last_number = reading.number;
  ++s.readings;
  const long double delta = x - running.mean;
  running.mean += delta / static_cast<long double>(s.readings);
  running.m2 += delta * (x - running.mean);
}

ReadingStats StatsAccumulator::Result() const {
  ReadingStats result;
  result.records = records_;
  result.sessions = sessions_;
  for (const size_t i : index_.ListingOrder()) {
    const Running& running = series_[i];
    SeriesStats s = running.stats;
    if (s.readings > 0) {
      // Rounding may carry the mean a hair past the values it is the mean of.
      s.mean = std::clamp(static_cast<double>(running.mean), *s.min, *s.max);
    }
    if (s.readings > 1) {
      const long double variance =
          std::max(running.m2, 0.0L) / static_cast<long double>(s.readings - 1);
      const long double std_dev = std::sqrt(variance);
      if (std_dev <= DBL_MAX) s.std_dev = static_cast<double>(std_dev);
    }
    result.series.push_back(std::move(s));
  }
  return result;
}

ReadingStats ComputeStats(const std::vector<Reading>& readings, const StatsOptions& options) {
  StatsAccumulator stats(options);
  for (const Reading& reading : readings) stats.Add(reading);
  return stats.Result();
}

}  // namespace rx
