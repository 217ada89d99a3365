#include "stats/reading_stats.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "stats/figure_text.h"

namespace rx {

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
  if (x != 0) {
    int exponent = 0;
    std::frexp(x, &exponent);  // |x| < 2^exponent
    if (exponent > running.scale) {
      if (running.scale != kNoScale) {
        const int shift = running.scale - exponent;
        running.mean = std::ldexp(running.mean, shift);
        running.m2 = std::ldexp(running.m2, 2 * shift);
      }
      running.scale = exponent;
    }
  }
  const double scaled = running.scale == kNoScale ? 0.0 : std::ldexp(x, -running.scale);
  const double delta = scaled - running.mean;
  running.mean += delta / static_cast<double>(s.readings);
  running.m2 += delta * (scaled - running.mean);
}

ReadingStats StatsAccumulator::Result() const {
  ReadingStats result;
  result.records = records_;
  result.sessions = sessions_;
  for (const size_t i : index_.ListingOrder()) {
    const Running& running = series_[i];
    SeriesStats s = running.stats;
    // Every value so far is 0 where there is no scale, and so are the mean and the spread.
    const int scale = running.scale == kNoScale ? 0 : running.scale;
    if (s.readings > 0) {
      // Rounding may carry the mean a hair past the values it is the mean of, or even past the
      // largest double when scaled back.
      s.mean = std::clamp(std::ldexp(running.mean, scale), *s.min, *s.max);
    }
    if (s.readings > 1) {
      const double variance = std::max(running.m2, 0.0) / static_cast<double>(s.readings - 1);
      // Past the largest double (values of both signs near it) scaling back gives infinity.
      const double std_dev = std::ldexp(std::sqrt(variance), scale);
      if (std_dev <= DBL_MAX) s.std_dev = std_dev;
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
