#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chart/chart_data.h"

namespace rx {

// One series at the record under the pointer: its latest reading at or before that record.
struct SeriesReadout {
  std::optional<int32_t> record;  // none while the series has had no reading yet
  std::optional<double> value;    // none for a reading without valid digits
  bool operator==(const SeriesReadout&) const = default;
};

// What the readout under the chart's pointer shows.
struct Readout {
  int32_t record = 0;
  // The label of the latest time record at or before `record`; empty before the first one.
  std::string session_start;
  std::vector<SeriesReadout> series;  // one for each of the chart's series, in their order
};

// The record nearest to `x` (kept within the file's first and last record) and each series'
// latest reading at or before it; none for a chart without records. Found by binary search in
// the series' runs, so a pointer that moves over 100,000 readings costs microseconds.
std::optional<Readout> ReadoutAt(const ChartData& data, double x);

// The readout's label, one line each: "Record 120", "Session start 2023-12-07 09:30:15", then
// "ch 1: 123.45 V" for each series (the value written as the data file writes it), at most
// `max_series` of them and a line that counts the rest.
std::vector<std::string> ReadoutLines(const ChartData& data, const Readout& readout,
                                      size_t max_series);

}  // namespace rx
