// The readout under the chart's pointer: which record, which session, which reading of each
// series.
#include "chart/readout_lookup.h"

#include <gtest/gtest.h>

namespace rx {
namespace {

StoredRecord Time(const char* text) { return {text, "Time", 0}; }
StoredRecord Channel(int16_t channel, const char* value, const char* unit) {
  return {value, unit, channel};
}

TEST(ReadoutLookupTest, EachSeriesShowsItsLatestReadingAtOrBeforeTheRecord) {
  const std::vector<StoredRecord> session = {
      Time("231207093015"),                // 1
      Channel(1, "1.5", "V         "),     // 2
      Channel(2, "2", "A         "),       // 3
      Channel(1, "999999", "V         "),  // 4: no digits
      Channel(1, "3", "V         "),       // 5
      Time("231207100000"),                // 6
      Channel(2, "-0.25", "A         "),   // 7
      Channel(1, "4", "V         "),       // 8
  };
  const std::vector<StoredRecord> untimed = {Channel(3, "12", "7"), Channel(3, "13", "7")};
  struct Case {
    const std::vector<StoredRecord>* records;
    double x;
    size_t max_series;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {&session,
       1.2,
       9,
       {"Record 1", "Session start 2023-12-07 09:30:15", "ch 1: no reading yet",
        "ch 2: no reading yet"}},
      {&session,
       -40,
       9,
       {"Record 1", "Session start 2023-12-07 09:30:15", "ch 1: no reading yet",
        "ch 2: no reading yet"}},
      {&session,
       3.4,
       9,
       {"Record 3", "Session start 2023-12-07 09:30:15", "ch 1: 1.5 V", "ch 2: 2 A"}},
      {&session,
       4,
       9,
       {"Record 4", "Session start 2023-12-07 09:30:15", "ch 1: no valid digits", "ch 2: 2 A"}},
      {&session,
       5.5,
       9,
       {"Record 6", "Session start 2023-12-07 10:00:00", "ch 1: 3 V", "ch 2: 2 A"}},
      {&session,
       1e9,
       9,
       {"Record 8", "Session start 2023-12-07 10:00:00", "ch 1: 4 V", "ch 2: -0.25 A"}},
      {&session,
       7,
       1,
       {"Record 7", "Session start 2023-12-07 10:00:00", "ch 1: 3 V", "and 1 more series"}},
      {&untimed, 2, 9, {"Record 2", "No time record before it", "ch 3: 13 code 7"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "x " << c.x);
    const ChartData data = BuildChartData(ToReadings(*c.records, TextEncoding::kCp1252));
    const std::optional<Readout> readout = ReadoutAt(data, c.x);
    ASSERT_TRUE(readout);
    EXPECT_EQ(ReadoutLines(data, *readout, c.max_series), c.lines);
  }
  EXPECT_FALSE(ReadoutAt(BuildChartData({}), 1)) << "a chart without records";
}

}  // namespace
}  // namespace rx
