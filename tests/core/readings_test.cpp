#include "data/readings.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace rx {
namespace {

using namespace std::string_literals;

struct ReadingCase {
  const char* name;
  std::string line;  // one data file line, CR LF included
  RecordKind kind;
  int16_t channel;
  std::optional<double> value;
  std::string unit;  // UTF-8
};

class LineAsReading : public testing::TestWithParam<ReadingCase> {};

TEST_P(LineAsReading, HasItsKindValueAndUnit) {
  const ReadingCase& c = GetParam();
  // A first record before it, so that the grid's numbering (not the stored one) shows.
  const DataFileContents contents =
      ParseWholeDataFile("7,\"231207093015\",\"Time\",0\r\n" + c.line, "x.dat");
  const std::vector<Reading> readings = ToReadings(contents.records, contents.encoding);
  ASSERT_EQ(readings.size(), 2u);
  const Reading& reading = readings[1];
  EXPECT_EQ(reading.number, 2);
  EXPECT_EQ(reading.kind, c.kind);
  EXPECT_EQ(reading.channel, c.channel);
  EXPECT_EQ(reading.value, c.value);
  EXPECT_EQ(reading.unit, c.unit);
}

INSTANTIATE_TEST_SUITE_P(
    Records, LineAsReading,
    testing::Values(ReadingCase{"Time", "1,\"240229235959\",\"Time\",0\r\n", RecordKind::kTime, 0,
                                std::nullopt, "Time"},
                    ReadingCase{"Reading", "1,-1.234,\"mV        \",3\r\n", RecordKind::kReading, 3,
                                -1.234, "mV"},
                    ReadingCase{"NoDigitsMarker", "1,999999,\"V         \",1\r\n",
                                RecordKind::kReading, 1, std::nullopt, "V"},
                    ReadingCase{"NotANumber", "1,nan,\"V         \",1\r\n", RecordKind::kReading, 1,
                                std::nullopt, "V"},
                    ReadingCase{"Coded", "1,1.234E-29,7,-4\r\n", RecordKind::kCoded, -4, 1.234e-29,
                                "7"},
                    ReadingCase{"PaddedTimeIsAUnitName", "1,5,\"Time      \",2\r\n",
                                RecordKind::kReading, 2, 5, "Time"},
                    ReadingCase{"Cp1252Name", "1,2,\"\xB5V,\x80     \",1\r\n", RecordKind::kReading,
                                1, 2, "\xC2\xB5V,\xE2\x82\xAC"},
                    ReadingCase{"Utf8NameWithNul", "1,2,\"\xC2\xB5V \x00      \",1\r\n"s,
                                RecordKind::kReading, 1, 2, "\xC2\xB5V \x00"s}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseWholeDataFile, NamesTheFileAndTheLineThatIsNotARecord) {
  const struct {
    std::string bytes;
    std::string message;
  } cases[] = {
      {"0,\"231207093015\",\"Time\",0\r\n1,2,\"V\"\r\n",
       "Cannot read data file x.dat: line 2 is not a record of four items"},
      {"0,1,\"V\",1\r\n1,2,\"V\",one\r\n",
       "Cannot read data file x.dat: line 2: channel \"one\" is not a whole number from -32768 to "
       "32767"},
      {"#!/bin/sh\necho hello\n",
       "Cannot read data file x.dat: line 1 is not a record of four items"},
  };
  for (const auto& c : cases) {
    try {
      ParseWholeDataFile(c.bytes, "x.dat");
      ADD_FAILURE() << "no error for " << c.bytes;
    } catch (const DataFileError& e) {
      EXPECT_EQ(e.what(), c.message);
    }
  }
}

TEST(IsoTime, IsGivenOnlyForTwelveDigitsOfARealDateAndTime) {
  const struct {
    const char* text;
    std::optional<std::string> iso;
  } cases[] = {
      {"231207093015", "2023-12-07T09:30:15"},
      {"000101000000", "2000-01-01T00:00:00"},
      {"240229235959", "2024-02-29T23:59:59"},
      {"230229120000", std::nullopt},  // no 29 February in 2023
      {"231131120000", std::nullopt},  // no 31 November
      {"231307120000", std::nullopt},
      {"231200120000", std::nullopt},
      {"231207240000", std::nullopt},
      {"231207096000", std::nullopt},
      {"231207093060", std::nullopt},
      {"2312070930", std::nullopt},
      {"23120709301500", std::nullopt},
      {"23120709301A", std::nullopt},
      {"2312070930 5", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsoTime(c.text), c.iso) << c.text;
    std::optional<std::string> readable = c.iso;
    if (readable) (*readable)[10] = ' ';
    EXPECT_EQ(ReadableTime(c.text), readable) << c.text;
  }
}

TEST(RecordCountText, NamesRecordsReadingsAndTimeRecordsInOneWay) {
  EXPECT_EQ(RecordCountText(300, 2), "300 records (298 readings, 2 time records)");
  EXPECT_EQ(RecordCountText(1, 0), "1 record (1 reading, 0 time records)");
  EXPECT_EQ(RecordCountText(2, 1), "2 records (1 reading, 1 time record)");
  EXPECT_EQ(RecordCountText(0, 0), "0 records (0 readings, 0 time records)");
}

}  // namespace
}  // namespace rx
