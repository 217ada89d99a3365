// Figures as a person reads them: each series at its readings' resolution, trailing zeros kept,
// plain or exponent form by magnitude, and a column's figures lined up on their points.
#include "stats/figure_text.h"

#include <gtest/gtest.h>

#include "stats/reading_stats.h"
#include "stats/stats_table.h"

namespace rx {
namespace {

std::vector<Reading> Series(const std::vector<std::string>& values, int16_t channel = 1) {
  std::vector<StoredRecord> records;
  for (const std::string& value : values) records.push_back({value, "V         ", channel});
  return ToReadings(records, TextEncoding::kCp1252);
}

TEST(FigureTextTest, ASeriesShowsItsFiguresAtItsReadingsResolution) {
  struct Case {
    const char* name;
    std::vector<std::string> values;   // as the data file stores them
    std::vector<std::string> figures;  // minimum, maximum, mean and standard deviation
  };
  const Case cases[] = {
      {"trailing zeros: 19.1 beside 19.17",
       {"19.1", "19.17", "19.13"},
       {"19.10 (No. 1)", "19.17 (No. 2)", "19.133", "0.035"}},
      {"a barometer's tenths",
       {"1013.8", "1009.1", "1015.4"},
       {"1009.1 (No. 2)", "1015.4 (No. 3)", "1012.77", "3.27"}},
      {"no decimals", {"2", "4", "5"}, {"2 (No. 1)", "5 (No. 3)", "3.7", "1.5"}},
      {"whole numbers past a float's digits",
       {"1000000004", "1000000016"},
       {"1000000004 (No. 1)", "1000000016 (No. 2)", "1000000010.0", "8.5"}},
      {"the finest reading sets the resolution",
       {"5", "4.25", "3.5"},
       {"3.50 (No. 3)", "5.00 (No. 1)", "4.250", "0.750"}},
      {"small values in plain decimals",
       {"0.00012", "0.00015"},
       {"0.00012 (No. 1)", "0.00015 (No. 2)", "0.000135", "0.000021"}},
      {"tiny values keep their exponent",
       {"1.2345E-28", "1.2346E-28"},
       {"1.2345E-28 (No. 1)", "1.2346E-28 (No. 2)", "1.23455E-28", "7E-33"}},
      {"huge values keep their exponent",
       {"1.5E+300", "2.5E+300"},
       {"1.5E+300 (No. 1)", "2.5E+300 (No. 2)", "2.00E+300", "7.1E+299"}},
      {"the largest double in full, so that it reads back",
       {"1.7976931348623157E+308", "1.7976931348623157e308"},
       {"1.7976931348623157E+308 (No. 1)", "1.7976931348623157E+308 (No. 1)",
        "1.7976931348623157E+308", "0"}},
      {"a mean that rounds to zero has no minus",
       {"-0.3", "0.1", "0.2"},
       {"-0.3 (No. 1)", "0.2 (No. 3)", "0.00", "0.26"}},
  };
  for (const Case& c : cases) {
    const std::vector<StatsTexts> rows =
        StatsRows(ComputeStats(Series(c.values)), FigurePadding::kBlanks);
    ASSERT_EQ(rows.size(), 1u) << c.name;
    EXPECT_EQ(std::vector<std::string>(rows[0].begin() + 3, rows[0].begin() + 7), c.figures)
        << c.name;
  }

  // The rules on their own, where a series' figures seldom reach them.
  const struct {
    double value;
    int decimals;
    const char* text;
  } figures[] = {
      {-0.0004, 3, "0.000"},      {-0.0006, 3, "-0.001"},   {9.96, 1, "10.0"},
      {9.96e25, -24, "1.00E+26"}, {9.6e25, -25, "1.0E+26"}, {0, 20, "0"},
      {1e21, -21, "1E+21"},       {123.456, -1, "1.2E+02"}, {0.5, 15, "0.500000000000000"},
  };
  for (const auto& f : figures) {
    EXPECT_EQ(FigureText(f.value, f.decimals), f.text) << f.value << " at " << f.decimals;
  }
}

TEST(FigureTextTest, AColumnsFiguresLineUpOnTheirDecimalPoints) {
  std::vector<Reading> readings = Series({"19.1", "19.17", "19.13"});
  for (const Reading& r :
       Series({"1013", "1013", "1013", "1013", "1013", "1013", "1013", "1013", "998"}, 2)) {
    readings.push_back(r);
    readings.back().number = static_cast<int32_t>(readings.size());
  }
  const ReadingStats stats = ComputeStats(readings);
  EXPECT_EQ(StatsRows(stats, FigurePadding::kBlanks),
            (std::vector<StatsTexts>{{"ch 1 V", "3", "0", "19.10 (No.  1)", "19.17 (No. 2)",
                                      "19.133", "0.035", "1", "3"},
                                     {"ch 2 V", "9", "0", "998    (No. 12)", "1013    (No. 4)",
                                      "1011.3  ", "5.0  ", "4", "12"}}));
  // For a proportional font a missing digit takes a figure space, a missing point a
  // punctuation space.
  const std::vector<StatsTexts> spaced = StatsRows(stats, FigurePadding::kFigureSpaces);
  EXPECT_EQ(spaced[1][3], "998\u2008\u2007\u2007 (No. 12)");
  EXPECT_EQ(spaced[0][3], "19.10 (No. \u20071)");
  EXPECT_EQ(spaced[1][5], "1011.3\u2007\u2007");
}

}  // namespace
}  // namespace rx
