// The statistics of readings: grouping as the chart's, the figures, record ranges, sessions,
// and files that hold nothing to average or values at the edge of a double.
#include "stats/reading_stats.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <cmath>

namespace rx {
namespace {

StoredRecord Time(const char* text) { return {text, "Time", 0}; }
StoredRecord Channel(int16_t channel, std::string value, const char* unit = "V         ") {
  return {std::move(value), unit, channel};
}
std::string Big(double value) {  // in full, so that it reads back as the same double
  char text[32];
  return {text, std::to_chars(text, text + sizeof text, value).ptr};
}

struct ExpectedSeries {
  std::string name;
  size_t readings, no_digits;
  std::optional<double> min;
  int32_t min_number;
  std::optional<double> max;
  int32_t max_number;
  std::optional<double> mean, std_dev;
  std::optional<int32_t> first, last;
};
struct ExpectedSession {
  std::optional<int32_t> number;
  std::string time_text;
  size_t readings;
};

const std::vector<StoredRecord> kMixed = {
    Channel(2, "5", "A         "),  // 1: before any time record
    Time("231207093015"),           // 2
    Channel(1, "2"),                // 3
    Channel(1, "999999"),           // 4: no digits
    Channel(1, "4"),                // 5
    Channel(3, "-1.25", "7"),       // 6: coded, unit code 7
    Time("231207100000"),           // 7
    Channel(1, "4"),                // 8: a second 4, the max stays at 5
    Channel(1, "9", "mV        "),  // 9: the same channel in another unit
    Channel(1, "2"),                // 10: a second 2, the min stays at 3
};

TEST(ReadingStatsTest, FiguresPerSeriesAndSessionsForEachFileAndRange) {
  struct Case {
    const char* name;
    std::vector<StoredRecord> records;
    StatsOptions options;
    size_t records_in_range;
    std::vector<ExpectedSeries> series;
    std::vector<ExpectedSession> sessions;
  };
  const double m = DBL_MAX;
  const Case cases[] = {
      {"no records", {}, {}, 0, {}, {}},
      {"only a time record", {Time("231207093015")}, {}, 1, {}, {{1, "231207093015", 0}}},
      {"only readings without valid digits",
       {Channel(1, "999999"), Channel(1, "999999")},
       {},
       2,
       {{"ch 1 V", 0, 2, {}, 0, {}, 0, {}, {}, {}, {}}},
       {{{}, "", 2}}},
      {"one reading",
       {Channel(1, "1.5")},
       {},
       1,
       {{"ch 1 V", 1, 0, 1.5, 1, 1.5, 1, 1.5, {}, 1, 1}},
       {{{}, "", 1}}},
      {"mixed, chart's order",
       kMixed,
       {},
       10,
       {{"ch 1 V", 4, 1, 2, 3, 4, 5, 3, std::sqrt(4.0 / 3), 3, 10},
        {"ch 1 mV", 1, 0, 9, 9, 9, 9, 9, {}, 9, 9},
        {"ch 2 A", 1, 0, 5, 1, 5, 1, 5, {}, 1, 1},
        {"ch 3 code 7", 1, 0, -1.25, 6, -1.25, 6, -1.25, {}, 6, 6}},
       {{{}, "", 1}, {2, "231207093015", 4}, {7, "231207100000", 3}}},
      {"a zoomed range takes its first session from before it",
       kMixed,
       {.channels = {1}, .first = 4, .last = 8},
       5,
       {{"ch 1 V", 2, 1, 4, 5, 4, 5, 4, 0, 5, 8}},
       {{2, "231207093015", 2}, {7, "231207100000", 1}}},
      {"near the largest double",
       {Channel(1, Big(m)), Channel(1, Big(m)), Channel(2, Big(-m)), Channel(2, Big(m)),
        Channel(3, Big(m)), Channel(3, Big(m / 2))},
       {},
       6,
       {{"ch 1 V", 2, 0, m, 1, m, 1, m, 0, 1, 2},
        // The spread of -max and max is past the largest double: no figure, not infinity.
        {"ch 2 V", 2, 0, -m, 3, m, 4, 0, {}, 3, 4},
        {"ch 3 V", 2, 0, m / 2, 6, m, 5, m * 0.75, m / 4 * std::sqrt(2.0), 5, 6}},
       {{{}, "", 6}}},
      // Squares past the largest double, and below the smallest normal one: each series is
      // scaled as its values come, the largest after the smallest.
      {"spreads whose squares a double cannot hold",
       {Channel(1, "1e-300"), Channel(1, "3e-300"), Channel(2, "2"), Channel(2, "-1e300"),
        Channel(2, "3e300"), Channel(3, "0"), Channel(3, "0"), Channel(3, "-4e-310")},
       {},
       8,
       {{"ch 1 V", 2, 0, 1e-300, 1, 3e-300, 2, 2e-300, std::sqrt(2.0) * 1e-300, 1, 2},
        {"ch 2 V", 3, 0, -1e300, 4, 3e300, 5, 2e300 / 3, std::sqrt(13.0 / 3) * 1e300, 3, 5},
        {"ch 3 V", 3, 0, -4e-310, 8, 0, 6, -4e-310 / 3, std::sqrt(16.0 / 3) * 1e-310, 6, 8}},
       {{{}, "", 8}}},
      {"a large offset does not swamp the spread",
       {Channel(1, "1000000004"), Channel(1, "1000000007"), Channel(1, "1000000013"),
        Channel(1, "1000000016")},
       {},
       4,
       {{"ch 1 V", 4, 0, 1e9 + 4, 1, 1e9 + 16, 4, 1e9 + 10, std::sqrt(30.0), 1, 4}},
       {{{}, "", 4}}},
  };
  auto near = [](std::optional<double> actual, std::optional<double> expected) {
    if (!actual || !expected) return actual.has_value() == expected.has_value();
    // Relative, so that a figure near the smallest double is not taken for 0.
    return std::isfinite(*actual) && std::fabs(*actual - *expected) <= 1e-12 * std::fabs(*expected);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ReadingStats stats =
        ComputeStats(ToReadings(c.records, TextEncoding::kCp1252), c.options);
    EXPECT_EQ(stats.records, c.records_in_range);
    ASSERT_EQ(stats.series.size(), c.series.size());
    for (size_t i = 0; i < c.series.size(); ++i) {
      const SeriesStats& s = stats.series[i];
      const ExpectedSeries& e = c.series[i];
      SCOPED_TRACE(e.name);
      EXPECT_EQ(s.key.name, e.name);
      EXPECT_EQ(s.readings, e.readings);
      EXPECT_EQ(s.no_digits, e.no_digits);
      EXPECT_EQ(s.min, e.min);
      EXPECT_EQ(s.max, e.max);
      if (e.min) {
        EXPECT_EQ(s.min_number, e.min_number);
      }
      if (e.max) {
        EXPECT_EQ(s.max_number, e.max_number);
      }
      EXPECT_TRUE(near(s.mean, e.mean)) << s.mean.value_or(NAN);
      EXPECT_TRUE(near(s.std_dev, e.std_dev)) << s.std_dev.value_or(NAN);
      EXPECT_EQ(s.first_number, e.first);
      EXPECT_EQ(s.last_number, e.last);
    }
    ASSERT_EQ(stats.sessions.size(), c.sessions.size());
    for (size_t i = 0; i < c.sessions.size(); ++i) {
      EXPECT_EQ(stats.sessions[i].number, c.sessions[i].number) << i;
      EXPECT_EQ(stats.sessions[i].time_text, c.sessions[i].time_text) << i;
      EXPECT_EQ(stats.sessions[i].readings, c.sessions[i].readings) << i;
    }
  }
}

}  // namespace
}  // namespace rx
