#pragma once

// The statistics of a data file's readings, shared by every view that shows them (rx7731-cli
// stats, the report, the plot window's table). Plain C++.
//
//   StatsAccumulator stats({.channels = {1, 2}, .first = 100, .last = 200});
//   for (const Reading& r : readings) stats.Add(r);   // in record order, one at a time
//   const ReadingStats result = stats.Result();       // may be called at any point
//
// or ComputeStats(readings, options) for readings already in memory.
//
// Series are grouped and ordered as the chart's (data/reading_series.h): one per channel and
// unit, coded readings in series of their own, by channel, then by first reading. Unlike the
// chart, a series whose readings all lack valid digits is listed: its count of those is its
// only figure. Readings without valid digits count in `no_digits` alone; every other figure is
// of the readings with a value. Nothing is made up for what has no figure: the optional
// fields are empty (no readings with a value; no standard deviation for fewer than two), and
// no field is ever infinite or NaN.
//
// The record range [first, last] (record No., inclusive) is the part of the file covered, e.g.
// a zoomed chart's view. Sessions are the time records in range, each with the readings of the
// chosen channels that follow it in range before the next time record; readings in range
// before the range's first time record belong to the session of the last time record before
// the range, or to a session without a time record when the file has none before them.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "data/reading_series.h"
#include "data/readings.h"

namespace rx {

struct SeriesStats {
  SeriesKey key;              // channel, unit ("code N" for coded readings), name "ch 1 V"
  size_t readings = 0;        // readings with a value
  size_t no_digits = 0;       // readings without valid digits
  std::optional<double> min;  // the lowest value, and the record No. where it first occurs
  int32_t min_number = 0;
  std::optional<double> max;  // the highest value, and the record No. where it first occurs
  int32_t max_number = 0;
  std::optional<double> mean;
  // The sample standard deviation (n - 1). Empty for fewer than two readings, and where it is
  // larger than the largest double (values of both signs near it).
  std::optional<double> std_dev;
  std::optional<int32_t> first_number;  // the first and last reading with a value
  std::optional<int32_t> last_number;
  // The series' resolution: the most decimals that a reading with a value has in its text as
  // stored (DecimalsOf: "19.1" 1, "12" 0), which the tables a person reads show figures at.
  int decimals = 0;
};

struct SessionStats {
  std::optional<int32_t> number;  // the time record's No.; none before the file's first one
  std::string time_text;          // the time record's text as stored, yymmddhhmmss
  size_t readings = 0;            // of the chosen channels, in range, without valid digits too
};

struct ReadingStats {
  std::vector<SeriesStats> series;
  std::vector<SessionStats> sessions;
  size_t records = 0;  // records in range, time records and other channels' readings included
};

struct StatsOptions {
  std::vector<int16_t> channels;  // empty for every channel
  int32_t first = std::numeric_limits<int32_t>::min();
  int32_t last = std::numeric_limits<int32_t>::max();
};

class StatsAccumulator {
 public:
  explicit StatsAccumulator(StatsOptions options = {});

  // The next record of the file; records must come in record order.
  void Add(const Reading& reading);

  ReadingStats Result() const;

 private:
  // Running figures of one series. Mean and spread are kept by Welford's method on the values
  // divided by 2^scale, where 2^scale is above the largest magnitude so far: the scaled values
  // lie within (-1, 1), so neither the differences nor their squares can overflow, and dividing
  // by a power of two is exact. `scale` only grows; the sums are rescaled when it does.
  struct Running {
    SeriesStats stats;
    double mean = 0;  // of the values / 2^scale
    double m2 = 0;    // the sum of squared differences from the mean, / 2^(2 scale)
    int scale = kNoScale;
  };
  static constexpr int kNoScale = std::numeric_limits<int>::min();  // every value so far is 0

  bool Chosen(int16_t channel) const;

  StatsOptions options_;
  SeriesIndex index_;
  std::vector<Running> series_;
  std::vector<SessionStats> sessions_;
  std::optional<SessionStats> before_range_;  // the last time record before the range
  size_t records_ = 0;
};

ReadingStats ComputeStats(const std::vector<Reading>& readings, const StatsOptions& options = {});

}  // namespace rx
