// The plot window over 100,000 readings: the readout under the pointer (finding the record's
// session and each series' latest reading, and writing its label, as for every move of the
// mouse), and the statistics table's figures of the records in view, worked out once a zoom
// has settled.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "chart/chart_data.h"
#include "chart/readout_lookup.h"
#include "stats/reading_stats.h"

namespace {

// Three channels in turn with a time record every 1,000 records and a reading without valid
// digits every 97, so that each series has many runs to search.
std::vector<rx::Reading> LoggedReadings(int count) {
  std::vector<rx::Reading> readings;
  readings.reserve(count);
  for (int number = 1; number <= count; ++number) {
    rx::Reading& r = readings.emplace_back();
    r.number = number;
    if (number % 1000 == 1) {
      r.kind = rx::RecordKind::kTime;
      r.value_text = "231207093015";
      r.unit = "Time";
      continue;
    }
    r.channel = static_cast<int16_t>(number % 3 + 1);
    r.unit = r.channel == 1 ? "V" : r.channel == 2 ? "A" : "Ohm";
    if (number % 97 != 0) r.value = number * 0.01;
  }
  return readings;
}

void BM_ReadoutAt(benchmark::State& state) {
  const rx::ChartData data = rx::BuildChartData(LoggedReadings(100000));
  double x = 1;
  size_t lines = 0;
  for (auto _ : state) {
    const std::optional<rx::Readout> readout = rx::ReadoutAt(data, x);
    lines += rx::ReadoutLines(data, *readout, 16).size();
    // A pointer that sweeps the whole file in uneven steps.
    x += 7919.5;
    if (x > 100000) x -= 100000;
  }
  benchmark::DoNotOptimize(lines);
}
BENCHMARK(BM_ReadoutAt)->Unit(benchmark::kMicrosecond);

// Argument: the records in view, from the middle of the file.
void BM_StatisticsInView(benchmark::State& state) {
  const std::vector<rx::Reading> readings = LoggedReadings(100000);
  rx::StatsOptions range;
  range.first = static_cast<int32_t>(50000 - state.range(0) / 2);
  range.last = static_cast<int32_t>(range.first + state.range(0) - 1);
  for (auto _ : state) benchmark::DoNotOptimize(rx::ComputeStats(readings, range));
}
BENCHMARK(BM_StatisticsInView)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
