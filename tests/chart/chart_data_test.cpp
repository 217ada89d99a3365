// What goes on a chart of readings, before any drawing: series, runs, markers, thinning.
#include "chart/chart_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace rx {
namespace {

StoredRecord Time(const char* text) { return {text, "Time", 0}; }
StoredRecord Channel(int16_t channel, const char* value, const char* unit) {
  return {value, unit, channel};
}

// Readings of two channels and a coded reading, with time records and no-digits markers
// between them.
const std::vector<StoredRecord> kRecords = {
    Time("231207093015"),                // 1
    Channel(1, "1.5", "V         "),     // 2
    Channel(2, "2", "A         "),       // 3
    Channel(1, "999999", "V         "),  // 4: no digits, ends ch 1 V's first run
    Channel(1, "3", "V         "),       // 5
    Time("231207100000"),                // 6: a new session ends every run
    Channel(2, "2.5", "A         "),     // 7
    Channel(1, "4", "V         "),       // 8
    Channel(3, "-1.25", "7"),            // 9: a coded reading, unit code 7; no run of ch 1 V ends
    Channel(1, "5", "mV        "),       // 10: the same channel in another unit
    Channel(4, "999999", "V         "),  // 11: a series with nothing to draw
};

struct Expected {
  std::string name;
  std::string unit;
  std::vector<ChartRun> runs;
};

TEST(ChartDataTest, GroupsReadingsBySeriesSplitAtGapsWithTimeMarkers) {
  const std::vector<TimeMarker> all_markers = {{1, "2023-12-07 09:30:15"},
                                               {6, "2023-12-07 10:00:00"}};
  struct Case {
    std::vector<int16_t> channels;
    std::vector<Expected> series;
    std::vector<std::string> units;
  };
  const Case cases[] = {
      {{},
       {{"ch 1 V", "V", {{{2, 1.5}}, {{5, 3}}, {{8, 4}}}},
        {"ch 1 mV", "mV", {{{10, 5}}}},
        {"ch 2 A", "A", {{{3, 2}}, {{7, 2.5}}}},
        {"ch 3 code 7", "code 7", {{{9, -1.25}}}}},
       {"V", "A", "mV", "code 7"}},
      {{2, 3},
       {{"ch 2 A", "A", {{{3, 2}}, {{7, 2.5}}}}, {"ch 3 code 7", "code 7", {{{9, -1.25}}}}},
       {"A", "code 7"}},
      {{4, 9}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.channels));
    const ChartData data = BuildChartData(ToReadings(kRecords, TextEncoding::kCp1252), c.channels);
    ASSERT_EQ(data.series.size(), c.series.size());
    for (size_t i = 0; i < c.series.size(); ++i) {
      EXPECT_EQ(data.series[i].name, c.series[i].name);
      EXPECT_EQ(data.series[i].unit, c.series[i].unit);
      EXPECT_EQ(data.series[i].runs, c.series[i].runs) << c.series[i].name;
    }
    EXPECT_EQ(data.units, c.units);
    EXPECT_EQ(data.markers, all_markers);
    EXPECT_EQ(data.first_x, 1);
    EXPECT_EQ(data.last_x, 11);
  }
}

// The meter's log memory: each session starts with a time record, and the chart draws no line
// from one session's last reading to the next one's first, whichever channels it keeps.
TEST(ChartDataTest, SessionsAreNotJoinedByALine) {
  const std::vector<StoredRecord> records = {Time("230512073933"),
                                             Channel(1, "21.5", "C         "),
                                             Channel(1, "21.7", "C         "),
                                             Time("230512090000"),
                                             Channel(1, "18.25", "C         "),
                                             Time("231399073933"),  // no real date: shown as stored
                                             Channel(1, "18.5", "C         ")};
  for (const std::vector<int16_t>& channels : {std::vector<int16_t>{}, {1}}) {
    const ChartData data = BuildChartData(ToReadings(records, TextEncoding::kCp1252), channels);
    ASSERT_EQ(data.series.size(), 1u);
    EXPECT_EQ(data.series[0].runs,
              (std::vector<ChartRun>{{{2, 21.5}, {3, 21.7}}, {{5, 18.25}}, {{7, 18.5}}}));
    EXPECT_EQ(data.markers,
              (std::vector<TimeMarker>{
                  {1, "2023-05-12 07:39:33"}, {4, "2023-05-12 09:00:00"}, {6, "231399 07:39:33"}}));
  }
}

TEST(ChartDataTest, ThinnedRunDrawsTheSameLinePerColumn) {
  ChartRun run;
  for (int i = 0; i < 1000; ++i) run.push_back({double(i), std::sin(i * 0.37) * (i % 7)});
  struct Case {
    double x_min, x_max;
    int columns;
    double first_x, last_x;  // kept: the nearest point outside the range on each side
  };
  for (const Case c :
       {Case{0, 999, 10, 0, 999}, Case{100.5, 200.5, 7, 100, 201}, Case{0, 999, 2000, 0, 999}}) {
    SCOPED_TRACE(testing::Message() << c.x_min << ".." << c.x_max << " in " << c.columns);
    const std::vector<ChartPoint> kept = DecimateRun(run, c.x_min, c.x_max, c.columns);
    ASSERT_TRUE(
        std::is_sorted(kept.begin(), kept.end(), [](auto& a, auto& b) { return a.x < b.x; }));
    EXPECT_EQ(kept.front().x, c.first_x);
    EXPECT_EQ(kept.back().x, c.last_x);
    const double scale = c.columns / (c.x_max - c.x_min);
    EXPECT_LE(kept.size(), std::min<size_t>(4 * c.columns, 1000) + 2);
    for (int column = 0; column < c.columns; ++column) {
      auto in_column = [&](const ChartPoint& p) {
        const double at = (p.x - c.x_min) * scale;
        return at >= column && (at < column + 1 || (column == c.columns - 1 && p.x <= c.x_max));
      };
      std::vector<ChartPoint> all, thinned;
      std::copy_if(run.begin(), run.end(), std::back_inserter(all), in_column);
      std::copy_if(kept.begin(), kept.end(), std::back_inserter(thinned), in_column);
      if (all.empty()) continue;
      ASSERT_FALSE(thinned.empty()) << column;
      auto by_y = [](auto& a, auto& b) { return a.y < b.y; };
      EXPECT_EQ(thinned.front(), all.front()) << column;
      EXPECT_EQ(thinned.back(), all.back()) << column;
      EXPECT_EQ(std::min_element(thinned.begin(), thinned.end(), by_y)->y,
                std::min_element(all.begin(), all.end(), by_y)->y)
          << column;
      EXPECT_EQ(std::max_element(thinned.begin(), thinned.end(), by_y)->y,
                std::max_element(all.begin(), all.end(), by_y)->y)
          << column;
    }
  }
}

TEST(ChartDataTest, LabelsOnlyWhereTheyHaveRoom) {
  struct Case {
    std::vector<double> positions;
    std::vector<size_t> labelled;
  };
  // Labels 10 wide, the plot ending at 100.
  const Case cases[] = {
      {{0, 5, 20, 30, 95}, {0, 2, 3, 4}},  // the last is moved left to 90 and still fits
      {{85, 95}, {0}},                     // moved left to 90, it would cover the first
      {{}, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LabelsWithRoom(c.positions, 10, 100), c.labelled)
        << testing::PrintToString(c.positions);
  }
}

}  // namespace
}  // namespace rx
