#include "data/data_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "data/data_file_reader.h"
#include "support/fakes.h"

namespace rx {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(DataFileWriter, WritesTheFourRecordKindsByteForByte) {
  TempDir dir;
  const std::string path = dir.File("261208.dat");
  DataFileWriter writer;
  writer.OpenDataFile(path);
  writer.AppendRecord(int32_t{0}, std::string_view("231207093015"), std::string_view("Time"),
                      int16_t{0});
  writer.AppendRecord(int32_t{1}, 123.45, std::string_view("V         "), int16_t{1});
  writer.AppendRecord(int32_t{2}, 999999.0, std::string_view("V         "), int16_t{1});
  writer.AppendRecord(int32_t{3}, -1.234, int16_t{7}, int16_t{0});
  writer.CloseDataFile();
  EXPECT_EQ(ReadBytes(path),
            "0,\"231207093015\",\"Time\",0\r\n"
            "1,123.45,\"V         \",1\r\n"
            "2,999999,\"V         \",1\r\n"
            "3,-1.234,7,0\r\n");
}

struct DoubleCase {
  double value;
  const char* text;
};

void PrintTo(const DoubleCase& c, std::ostream* os) { *os << c.text; }

class DoubleText : public testing::TestWithParam<DoubleCase> {};

TEST_P(DoubleText, IsPlainDecimalWithAtMostFifteenDigits) {
  std::string out;
  AppendDouble(out, GetParam().value);
  EXPECT_EQ(out, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, DoubleText,
    testing::Values(DoubleCase{123.45, "123.45"}, DoubleCase{-1.234, "-1.234"},
                    DoubleCase{999999, "999999"}, DoubleCase{12, "12"}, DoubleCase{0, "0"},
                    DoubleCase{-0.0, "0"}, DoubleCase{0.5, "0.5"}, DoubleCase{-0.012, "-0.012"},
                    DoubleCase{12345 / 1e6, "0.012345"}, DoubleCase{1e-6, "0.000001"},
                    DoubleCase{1e-7, "0.0000001"}, DoubleCase{1.234e-29, "1.234E-29"},
                    DoubleCase{1.0 / 3, "0.333333333333333"},
                    DoubleCase{2.0 / 3, "0.666666666666667"},
                    DoubleCase{2299797977.0, "2299797977"}, DoubleCase{12345 * 1000.0, "12345000"},
                    DoubleCase{123456789012345678.0, "123456789012346000"},
                    DoubleCase{1e21, "1E+21"}, DoubleCase{-2.5e300, "-2.5E+300"},
                    DoubleCase{99999999.0 / 1e6, "99.999999"}, DoubleCase{0.1 + 0.2, "0.3"}));

// The value rounded to 15 significant digits, the way the C library rounds.
double RoundedTo15(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.14e", value);
  return std::strtod(text, nullptr);
}

// Every value the decoder can make, and doubles of every precision: the text is the value
// rounded to 15 digits, in plain decimal inside the range and with no digit too many.
TEST(DoubleText, IsTheValueRoundedToFifteenDigitsForEveryKindOfReading) {
  std::mt19937_64 random(7731);
  std::vector<double> values;
  for (int i = 0; i < 20000; ++i) {
    const int64_t sum = static_cast<int64_t>(random() % 2300000000);  // eight positions
    const int scale = static_cast<int>(random() % 40);
    values.push_back(static_cast<double>(sum) / std::pow(10.0, scale));
    values.push_back(-static_cast<double>(sum % 230000) * std::pow(10.0, scale % 4));
    values.push_back(-static_cast<double>(sum) / std::pow(10.0, scale % 10));
    values.push_back(static_cast<double>(random() % 1'000'000'000'000'000) / 1e3);
    uint64_t bits = random();
    double any;
    std::memcpy(&any, &bits, sizeof any);
    if (std::isfinite(any)) values.push_back(any);
  }
  for (double near : {1e15, 1e21, 1e-7, 0.1}) {
    values.push_back(std::nextafter(near, 0.0));
    values.push_back(std::nextafter(near, 1e300));
  }
  for (double value : values) {
    std::string out;
    AppendDouble(out, value);
    double back = 0;
    auto [end, ec] = std::from_chars(out.data(), out.data() + out.size(), back);
    ASSERT_TRUE(ec == std::errc() && end == out.data() + out.size()) << out;
    ASSERT_EQ(back, value == 0 ? 0.0 : RoundedTo15(value)) << out;
    const std::string mantissa = out.substr(0, out.find('E'));
    const size_t digits = std::count_if(mantissa.begin(), mantissa.end(), ::isdigit) -
                          (mantissa.rfind("0.", 1) == 0 || mantissa.rfind("-0.", 1) == 0 ? 1 : 0);
    ASSERT_TRUE(std::isdigit(mantissa[mantissa[0] == '-'])) << out;  // "0.5", never ".5"
    const double magnitude = std::fabs(back);
    const bool exponent = out.find('E') != std::string::npos;
    ASSERT_EQ(exponent, magnitude != 0 && (magnitude < 1e-7 || magnitude >= 1e21)) << out;
    if (exponent || mantissa.find('.') != std::string::npos) {
      ASSERT_NE(mantissa.back(), '0') << out;  // no trailing zero after the point
      ASSERT_LE(mantissa.size() - mantissa.find_first_not_of("-0."), 16u) << out;
    } else {
      ASSERT_LE(digits, 21u) << out;
    }
  }
}

// The records of a new download take the file's place only with the first of them: until then,
// and for good when none comes, the folder is as it was, with no empty file and nothing beside.
TEST(DataFileWriter, ADownloadThatStoresNothingLeavesTheFolderAsItWas) {
  const struct {
    const char* name;
    bool old_file;
    bool quietly;  // closed as a download that is abandoned is
  } cases[] = {{"NoFile", false, false},
               {"OldFile", true, false},
               {"OldFileAbandoned", true, true},
               {"NoFileAbandoned", false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.File("kept.dat");
    if (c.old_file) WriteBytes(path, "old contents\r\n");
    DataFileWriter writer;
    writer.OpenDataFile(path);
    writer.Flush();
    EXPECT_EQ(std::filesystem::exists(path), c.old_file);
    c.quietly ? writer.CloseQuietly() : writer.CloseDataFile();
    EXPECT_EQ(writer.SavedRecords(), 0);
    EXPECT_EQ(test::FileNames(dir.Path()),
              c.old_file ? std::set<std::string>{"kept.dat"} : std::set<std::string>{});
    if (c.old_file) {
      EXPECT_EQ(ReadBytes(path), "old contents\r\n");
    }
  }
}

TEST(DataFileWriter, FlushHandsRecordsToTheSystemBeforeClose) {
  TempDir dir;
  const std::string path = dir.File("a.dat");
  DataFileWriter writer;
  writer.OpenDataFile(path);
  writer.AppendRecord(int32_t{0}, 1.5, int16_t{2}, int16_t{3});
  EXPECT_EQ(ReadBytes(path), "");
  writer.Flush();
  EXPECT_EQ(ReadBytes(path), "0,1.5,2,3\r\n");
}

TEST(DataFileWriter, FailuresNameTheFileAndTheReason) {
  TempDir dir;
  DataFileWriter writer;
  const std::string missing = dir.File("no-such-folder/x.dat");
  try {
    writer.OpenDataFile(missing);
    FAIL() << "opened a file in a missing folder";
  } catch (const DataFileError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot create data file " + missing + ": No such file or directory");
  }
  writer.OpenDataFile("/dev/full");
  writer.AppendRecord(int32_t{0}, 1.0, int16_t{1}, int16_t{1});
  try {
    writer.Flush();
    FAIL() << "a full disk went unnoticed";
  } catch (const DataFileError& e) {
    EXPECT_EQ(std::string(e.what()), test::kFullDeviceFailure);
  }
}

TEST(ReadDataFile, ReadsBackWhatTheWriterWrote) {
  TempDir dir;
  const std::string path = dir.File("r.dat");
  DataFileWriter writer;
  writer.OpenDataFile(path);
  writer.AppendRecord(int32_t{0}, std::string_view("231207093015"), std::string_view("Time"),
                      int16_t{0});
  writer.AppendRecord(int32_t{1}, -1.234, int16_t{7}, int16_t{-3});
  writer.AppendRecord(int32_t{2}, 0.5, std::string_view("m         "), int16_t{12});
  writer.AppendRecord(int32_t{3}, 1.0, std::string_view("a,b       "), int16_t{32767});
  writer.CloseDataFile();
  const std::vector<StoredRecord> expected = {{"231207093015", "Time", 0},
                                              {"-1.234", "7", -3},
                                              {"0.5", "m         ", 12},
                                              {"1", "a,b       ", 32767}};
  EXPECT_EQ(ReadDataFile(path, 4), expected);
  EXPECT_EQ(ReadDataFile(path, 2),
            std::vector<StoredRecord>(expected.begin(), expected.begin() + 2));
  EXPECT_TRUE(ReadDataFile(path, 0).empty());
}

struct ParseCase {
  const char* name;
  std::string bytes;
  int32_t count;
  std::vector<StoredRecord> records;  // empty with an error
  std::string error;                  // the message after "Cannot read data file f.dat: "
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class ParseDataFileCases : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseDataFileCases, ReadsRecordsOrFailsWithoutAPartialList) {
  const ParseCase& c = GetParam();
  if (c.error.empty()) {
    EXPECT_EQ(ParseDataFile(c.bytes, c.count, "f.dat"), c.records);
  } else {
    try {
      ParseDataFile(c.bytes, c.count, "f.dat");
      FAIL() << "no error";
    } catch (const DataFileError& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot read data file f.dat: " + c.error);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, ParseDataFileCases,
    testing::Values(
        ParseCase{"LfOnlyLineEnds", "0,1,2,3\n1,4,5,6", 2, {{"1", "2", 3}, {"4", "5", 6}}, ""},
        ParseCase{
            "LeadingBlanksSkipped", "0, 1.5,  \"  u \",  -4 \r\n", 1, {{"1.5", "  u ", -4}}, ""},
        ParseCase{"TextAfterClosingQuoteIgnored", "0,\"ab\"cd,7,1\r\n", 1, {{"ab", "7", 1}}, ""},
        ParseCase{"NulUnitNameKept",
                  std::string("0,1,\"\0\0\",2\r\n", 12),
                  1,
                  {{"1", std::string(2, '\0'), 2}},
                  ""},
        ParseCase{"ShortFile", "0,1,2,3\r\n", 2, {}, "it holds 1 records, 2 were expected"},
        ParseCase{"EmptyFile", "", 1, {}, "it holds 0 records, 1 were expected"},
        ParseCase{"ThreeItems", "0,1,2\r\n", 1, {}, "line 1 is not a record of four items"},
        ParseCase{
            "FiveItems", "0,1,2,3\r\n0,1,2,3,4\r\n", 2, {}, "line 2 is not a record of four items"},
        ParseCase{"ChannelNotANumber",
                  "0,1,2,x\r\n",
                  1,
                  {},
                  "line 1: channel \"x\" is not a whole number from -32768 to 32767"},
        ParseCase{"ChannelOutOfRange",
                  "0,1,2,32768\r\n",
                  1,
                  {},
                  "line 1: channel \"32768\" is not a whole number from -32768 to 32767"},
        ParseCase{"ChannelFraction",
                  "0,1,2,1.5\r\n",
                  1,
                  {},
                  "line 1: channel \"1.5\" is not a whole number from -32768 to 32767"}),
    [](const auto& info) { return info.param.name; });

// A data file read one record at a time from disk, through its 64 KiB chunks, hands over the
// same records, encoding and error as the same bytes parsed in memory, and the records before a
// line that is not a record come first.
struct StreamCase {
  const char* name;
  std::string bytes;
  int32_t records;  // handed over, before the error if there is one
  TextEncoding encoding;
  std::string error;  // after "Cannot read data file PATH: "
  bool through_pipe = false;
};

std::string Lines(const std::string& line, size_t bytes) {
  std::string lines;
  while (lines.size() < bytes) lines += line;
  return lines;
}

TEST(DataFileReader, HandsOverTheRecordsOfAFileInItsChunksAsInMemory) {
  const std::string line = "0,1.5,\"V         \",1\r\n";  // 23 bytes
  std::vector<StreamCase> cases;
  // A line end at each place around the first chunk's end, CR LF split between chunks included.
  for (size_t shift = 0; shift < line.size(); ++shift) {
    const std::string first = "0," + std::string(shift, ' ') + "2,\"V         \",1\r\n";
    const std::string bytes = first + Lines(line, 65536 + 100 - first.size());
    cases.push_back({"ShiftedLineEnds", bytes,
                     static_cast<int32_t>(1 + (bytes.size() - first.size()) / line.size()),
                     TextEncoding::kCp1252, ""});
  }
  const std::string many = Lines(line, 200000);
  const auto count = static_cast<int32_t>(many.size() / line.size());
  const std::string utf8 = Lines("0,1,\"\xC2\xB5V\",1\r\n", 70000);  // 13 bytes a line
  cases.push_back({"CrOnlyAndLfOnly", "0,1,2,3\r1,4,5,6\n2,7,8,9", 3, TextEncoding::kCp1252, ""});
  cases.push_back({"LineLongerThanAChunk", many + "0,\"" + std::string(150000, 'x') + "\",2,3\r\n",
                   count + 1, TextEncoding::kCp1252, ""});
  cases.push_back({"Utf8NameAtTheEndDecidesForAll", many + "0,1,\"\xC2\xB5V\",1\r\n", count + 1,
                   TextEncoding::kUtf8, ""});
  cases.push_back({"Utf8SplitAcrossChunks", utf8, static_cast<int32_t>(utf8.size() / 13),
                   TextEncoding::kUtf8, ""});
  cases.push_back(
      {"Cp1252ByteAtTheEnd", many + "0,1,\"\xB5V\",1\r\n", count + 1, TextEncoding::kCp1252, ""});
  cases.push_back({"FailsPartWay", many + "#!/bin/sh\r\n" + many, count, TextEncoding::kCp1252,
                   "line " + std::to_string(count + 1) + " is not a record of four items"});
  cases.push_back({"FromAPipe", many + "0,1,\"\xC2\xB5V\",x\r\n", count, TextEncoding::kUtf8,
                   "line " + std::to_string(count + 1) +
                       ": channel \"x\" is not a whole number from -32768 to 32767",
                   true});

  for (const StreamCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.File("s.dat");
    std::thread writer;
    if (c.through_pipe) {
#ifdef _WIN32
      continue;  // Windows has no named pipe in the file system to read a data file from
#else
      ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
      writer = std::thread([&] { WriteBytes(path, c.bytes); });
#endif
    } else {
      WriteBytes(path, c.bytes);
    }
    DataFileReader from_disk(path);
    DataFileReader in_memory(c.bytes, path);
    EXPECT_EQ(from_disk.Encoding(), c.encoding);
    EXPECT_EQ(in_memory.Encoding(), c.encoding);
    std::string error;
    StoredRecord on_disk, in_mem;
    try {
      while (from_disk.Next(on_disk)) {
        ASSERT_TRUE(in_memory.Next(in_mem)) << "record " << from_disk.RecordsRead();
        ASSERT_EQ(on_disk, in_mem) << "record " << from_disk.RecordsRead();
      }
      EXPECT_FALSE(in_memory.Next(in_mem));
    } catch (const DataFileError& e) {
      error = e.what();
    }
    if (writer.joinable()) writer.join();
    EXPECT_EQ(from_disk.RecordsRead(), c.records);
    EXPECT_EQ(error, c.error.empty() ? "" : "Cannot read data file " + path + ": " + c.error);
    if (c.error.empty()) {
      // A second pass, as show makes, reads the same again.
      from_disk.Rewind();
      Reading reading;
      while (from_disk.Next(reading)) {
      }
      EXPECT_EQ(from_disk.RecordsRead(), c.records);
    }
  }
}

TEST(ReadDataFile, AMissingFileIsReportedWithItsPath) {
  TempDir dir;
  const std::string path = dir.File("gone.dat");
  try {
    ReadDataFile(path, 1);
    FAIL() << "read a missing file";
  } catch (const DataFileError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot open data file " + path + ": No such file or directory");
  }
}

}  // namespace
}  // namespace rx
