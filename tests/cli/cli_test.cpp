// rx7731-cli as a user runs it: show and export of data files written by the program's own
// writer, the CSV read back by Python's csv module, the JSON Lines by a JSON parser and the
// workbook by openpyxl and LibreOffice, usage errors and failures with their exit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "data/data_file.h"
#include "e2e/child_process.h"
#include "support/fakes.h"

namespace rx {
namespace {

using namespace std::string_literals;
using test::ReadBytes;
using test::TempDir;

struct Outcome {
  int exit_code = -1;
  std::string output;  // stdout and stderr together
};

Outcome RunProgram(const TempDir& dir, std::vector<std::string> argv,
                   const std::map<std::string, std::string>& env = {}) {
  static int runs = 0;
  test::ChildProcess child(argv, dir.File("run" + std::to_string(++runs) + ".log"), env,
                           dir.Path().string());
  EXPECT_TRUE(child.WaitFor(std::chrono::seconds(20))) << argv[0] << " did not end";
  return {child.ExitCode().value_or(-1), child.Output()};
}

Outcome RunCli(const TempDir& dir, std::vector<std::string> args,
               const std::map<std::string, std::string>& env = {}) {
  args.insert(args.begin(), RX_CLI);
  return RunProgram(dir, args, env);
}

// One record to write with the real DataFileWriter: a time record (time text), a channel
// reading (value, unit name) or a coded reading (value, unit code).
struct Record {
  std::variant<std::string, double> value;
  std::variant<std::string, int16_t> unit;
  int16_t channel;
};

void WriteDataFile(const std::string& path, const std::vector<Record>& records) {
  DataFileWriter writer;
  writer.OpenDataFile(path);
  int32_t sequence = 0;
  for (const Record& r : records) {
    const auto value = std::visit([](const auto& v) { return RecordItem(v); }, r.value);
    const auto unit = std::visit(
        [](const auto& u) {
          if constexpr (std::is_same_v<std::decay_t<decltype(u)>, std::string>) {
            return RecordItem(std::string_view(u));
          } else {
            return RecordItem(u);
          }
        },
        r.unit);
    writer.AppendRecord(sequence++, value, unit, r.channel);
  }
  writer.CloseDataFile();
}

using Row = std::vector<std::string>;  // number, kind, channel, value, unit, time, last_time_stamp

struct FileCase {
  const char* name;
  std::vector<Record> records;
  std::vector<Row> rows;  // the export's rows after the header
  std::string table;      // what show prints
};

void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }

const std::vector<FileCase>& FileCases() {
  static const std::vector<FileCase> cases = {
      {"EveryRecordKindCp1252",
       {
           {"231207093015"s, "Time"s, 0},
           {123.45, "V         "s, 1},
           {999999.0, "V         "s, 1},
           {-1.234, int16_t{7}, 0},
           {"991231235960"s, "Time"s, 0},  // second 60: no time
           {0.5, "a,b\0\xB5\x80    "s, 15},
           {"240229120000"s, "Time"s, 0},
           {1.234e-29, int16_t{359}, 49},
           {12.0, "Time      "s, 2},
       },
       {
           {"1", "time", "0", "", "Time", "2023-12-07T09:30:15", ""},
           {"2", "reading", "1", "123.45", "V", "", "2023-12-07T09:30:15"},
           {"3", "reading", "1", "", "V", "", "2023-12-07T09:30:15"},
           {"4", "coded", "0", "-1.234", "7", "", "2023-12-07T09:30:15"},
           {"5", "time", "0", "", "Time", "", ""},
           {"6", "reading", "15", "0.5", "a,b\0\xC2\xB5\xE2\x82\xAC"s, "", ""},
           {"7", "time", "0", "", "Time", "2024-02-29T12:00:00", ""},
           {"8", "coded", "49", "1.234E-29", "359", "", "2024-02-29T12:00:00"},
           {"9", "reading", "2", "12", "Time", "", "2024-02-29T12:00:00"},
       },
       "No.  Channel            Value  Unit\n"
       "  1        0  231207 09:30:15  Time\n"
       "  2        1           123.45  V         \n"
       "  3        1           999999  V         \n"
       "  4        0           -1.234  7\n"
       "  5        0  991231 23:59:60  Time\n"
       "  6       15              0.5  a,b\xE2\x90\x80\xC2\xB5\xE2\x82\xAC    \n"
       "  7        0  240229 12:00:00  Time\n"
       "  8       49        1.234E-29  359\n"
       "  9        2               12  Time      \n"},
      {"Utf8UnitNamesAndShortTimeText",
       {
           {"23120709"s, "Time"s, 0},  // too short for a time
           {-0.012, "\xC2\xB5S/cm\xE2\x84\x83  "s, -3},
           {2.0, "\x1B[2J\x7F\xC2\x9B   "s, 4},  // terminal controls
       },
       {
           {"1", "time", "0", "", "Time", "", ""},
           {"2", "reading", "-3", "-0.012", "\xC2\xB5S/cm\xE2\x84\x83", "", ""},
           {"3", "reading", "4", "2", "\x1B[2J\x7F\xC2\x9B", "", ""},
       },
       "No.  Channel        Value  Unit\n"
       "  1        0  231207 09::  Time\n"
       "  2       -3       -0.012  \xC2\xB5S/cm\xE2\x84\x83  \n"
       "  3        4            2  \xE2\x90\x9B[2J\xE2\x90\xA1\\u009b   \n"},
  };
  return cases;
}

// The CSV file read by Python's csv module, as rows of text.
std::vector<Row> ParseCsv(const TempDir& dir, const std::string& path,
                          const std::string& delimiter) {
  const Outcome python = RunProgram(dir, {RX_PYTHON, RX_READ_CSV, path, delimiter});
  EXPECT_EQ(python.exit_code, 0) << python.output;
  std::vector<Row> rows;
  for (const auto& row : nlohmann::json::parse(python.output)) rows.push_back(row.get<Row>());
  return rows;
}

const Row kHeader = {"number", "kind", "channel", "value", "unit", "time", "last_time_stamp"};

class ExportedFile : public testing::TestWithParam<FileCase> {
 protected:
  void SetUp() override { WriteDataFile(dir_.File("in.dat"), GetParam().records); }
  TempDir dir_;
};

TEST_P(ExportedFile, ReadsBackAsTheSameRowsWithAnyDelimiter) {
  std::vector<Row> expected = GetParam().rows;
  expected.insert(expected.begin(), kHeader);
  // A tab is given as "\t", which the program takes for one.
  for (const auto& [option, delimiter] : {std::pair{",", ","}, {";", ";"}, {"\\t", "\t"}}) {
    const Outcome run =
        RunCli(dir_, {"export", "in.dat", "--delimiter", option, "--output", "out.csv"});
    ASSERT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(ParseCsv(dir_, dir_.File("out.csv"), delimiter), expected) << option;
  }
  // Without --output the same bytes go to stdout.
  const Outcome to_stdout = RunCli(dir_, {"export", "in.dat"});
  EXPECT_EQ(to_stdout.exit_code, 0);
  ASSERT_EQ(RunCli(dir_, {"export", "in.dat", "--output", "out.csv"}).exit_code, 0);
  EXPECT_EQ(to_stdout.output, ReadBytes(dir_.File("out.csv")));
}

TEST_P(ExportedFile, ReadsBackAsTheSameObjectsFromJsonLines) {
  const Outcome run =
      RunCli(dir_, {"export", "in.dat", "--format", "json", "--output", "out.jsonl"});
  ASSERT_EQ(run.exit_code, 0) << run.output;
  std::istringstream lines(ReadBytes(dir_.File("out.jsonl")));
  std::string line;
  size_t i = 0;
  for (; std::getline(lines, line); ++i) {
    ASSERT_LT(i, GetParam().rows.size()) << line;
    const Row& row = GetParam().rows[i];
    const nlohmann::json object = nlohmann::json::parse(line);  // throws on invalid UTF-8
    ASSERT_EQ(object.size(), kHeader.size()) << line;
    EXPECT_EQ(object["number"], std::stoi(row[0]));
    EXPECT_EQ(object["kind"], row[1]);
    EXPECT_EQ(object["channel"], std::stoi(row[2]));
    if (row[3].empty()) {
      EXPECT_TRUE(object["value"].is_null()) << line;
    } else {
      EXPECT_EQ(object["value"].get<double>(), std::stod(row[3])) << line;
    }
    EXPECT_EQ(object["unit"], row[4]);
    for (const size_t column : {size_t{5}, size_t{6}}) {
      const nlohmann::json& time = object[kHeader[column]];
      EXPECT_EQ(time.is_null() ? "" : time.get<std::string>(), row[column]) << line;
    }
  }
  EXPECT_EQ(i, GetParam().rows.size());
}

TEST_P(ExportedFile, ShowsAsTheGridShowsIt) {
  const Outcome run = RunCli(dir_, {"show", "in.dat"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.output, GetParam().table);
}

// The workbook as openpyxl reads it (tests/cli/read_xlsx.py).
nlohmann::json ReadWorkbook(const TempDir& dir, const std::string& path) {
  const Outcome python = RunProgram(dir, {RX_PYTHON, RX_READ_XLSX, path});
  EXPECT_EQ(python.exit_code, 0) << python.output;
  return nlohmann::json::parse(python.output, nullptr, false);
}

const std::string kDateTimeFormat = "yyyy-mm-dd hh:mm:ss";

TEST_P(ExportedFile, ReadsBackFromTheWorkbookAsNumbersDateTimesAndTexts) {
  // The name chooses the format (LibreOfficeReadsTheValuesOfTheCsvExport gives --format).
  const Outcome run = RunCli(dir_, {"export", "in.dat", "--output", "out.XLSX"});
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(run.output, "");
  const nlohmann::json book = ReadWorkbook(dir_, dir_.File("out.XLSX"));
  ASSERT_TRUE(book.is_object());
  const std::vector<Row>& rows = GetParam().rows;
  EXPECT_EQ(book["sheets"], nlohmann::json({"Readings"}));
  EXPECT_EQ(book["freeze"], "A2");
  EXPECT_EQ(book["filter"], "A1:G" + std::to_string(rows.size() + 1));
  EXPECT_EQ(book["bold"], nlohmann::json(std::vector<bool>(kHeader.size(), true)));
  ASSERT_EQ(book["rows"].size(), rows.size() + 1);
  for (size_t c = 0; c < kHeader.size(); ++c) {
    EXPECT_EQ(book["rows"][0][c][1], kHeader[c]);
  }
  std::vector<size_t> longest(kHeader.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    const nlohmann::json& cells = book["rows"][i + 1];
    ASSERT_EQ(cells.size(), kHeader.size()) << cells;
    for (size_t c = 0; c < kHeader.size(); ++c) {
      const nlohmann::json& cell = cells[c];
      const std::string what = kHeader[c] + " of row " + row[0] + ": " + cell.dump();
      longest[c] = std::max(longest[c], row[c].size());
      if (row[c].empty()) {
        EXPECT_TRUE(cell.is_null()) << what;
      } else if (c == 0 || c == 2 || c == 3) {
        ASSERT_EQ(cell[0], "n") << what;
        EXPECT_EQ(cell[1].get<double>(), std::stod(row[c])) << what;
      } else if (c == 5 || c == 6) {
        EXPECT_EQ(cell, nlohmann::json({"d", row[c], kDateTimeFormat})) << what;
      } else {
        EXPECT_EQ(cell, nlohmann::json({"s", row[c], "General"})) << what;
      }
    }
  }
  for (size_t c = 0; c < kHeader.size(); ++c) {
    EXPECT_GE(book["widths"][c].get<double>(), std::max(longest[c], kHeader[c].size()))
        << kHeader[c];
  }
}

// --channel keeps the readings of that channel and every time record, each row as in the
// whole file's export, in the rows of a writer, of the workbook and of show.
TEST_P(ExportedFile, ExportsOneChannelWithEveryTimeRecord) {
  const std::string channel = GetParam().rows[1][2];  // the first reading's
  std::vector<Row> expected = {kHeader};
  for (const Row& row : GetParam().rows) {
    if (row[1] == "time" || row[2] == channel) expected.push_back(row);
  }
  ASSERT_LT(expected.size(), GetParam().rows.size() + 1) << "the case has no other channel";
  const std::string option = "--channel=" + channel;
  Outcome run = RunCli(dir_, {"export", "in.dat", option, "-o", "out.csv"});
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(ParseCsv(dir_, dir_.File("out.csv"), ","), expected);
  run = RunCli(dir_, {"show", "in.dat", option});
  ASSERT_EQ(run.exit_code, 0) << run.output;
  std::istringstream shown(run.output);
  std::string number;
  for (const Row& row : expected) {
    shown >> number;
    EXPECT_EQ(number, row == kHeader ? "No." : row[0]);
    shown.ignore(1000, '\n');
  }
  EXPECT_FALSE(shown >> number) << "more lines than records: " << run.output;
  run = RunCli(dir_, {"export", "in.dat", option, "-o", "out.xlsx"});
  ASSERT_EQ(run.exit_code, 0) << run.output;
  const nlohmann::json book = ReadWorkbook(dir_, dir_.File("out.xlsx"));
  ASSERT_TRUE(book.is_object());
  ASSERT_EQ(book["rows"].size(), expected.size());
  for (size_t i = 1; i < expected.size(); ++i) {
    EXPECT_EQ(book["rows"][i][0][1].get<double>(), std::stod(expected[i][0]));
  }
}

INSTANTIATE_TEST_SUITE_P(Files, ExportedFile, testing::ValuesIn(FileCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// LibreOffice, converting each workbook to CSV, reads the values the CSV export writes: the same
// numbers and texts, and the times as date-times.
TEST(Workbook, LibreOfficeReadsTheValuesOfTheCsvExport) {
  TempDir dir;
  std::vector<std::string> convert = {RX_SOFFICE,
                                      "-env:UserInstallation=file://" + dir.File("profile"),
                                      "--headless",
                                      "--convert-to",
                                      "csv:Text - txt - csv (StarCalc):44,34,76",
                                      "--outdir",
                                      dir.File("lo")};
  for (const FileCase& c : FileCases()) {
    const std::string name = c.name;
    WriteDataFile(dir.File(name + ".dat"), c.records);
    for (const char* format : {"csv", "xlsx"}) {
      const Outcome run = RunCli(
          dir, {"export", name + ".dat", "--format", format, "--output", name + "." + format});
      ASSERT_EQ(run.exit_code, 0) << run.output;
    }
    convert.push_back(dir.File(name + ".xlsx"));
  }
  const Outcome soffice = RunProgram(dir, convert);
  ASSERT_EQ(soffice.exit_code, 0) << soffice.output;
  for (const FileCase& c : FileCases()) {
    const std::string name = c.name;
    std::vector<Row> expected = ParseCsv(dir, dir.File(name + ".csv"), ",");
    for (Row& row : expected) {
      for (const size_t column : {size_t{5}, size_t{6}}) {
        const size_t t = row[column].find('T');
        if (t != std::string::npos) row[column][t] = ' ';
      }
    }
    EXPECT_EQ(ParseCsv(dir, dir.File("lo/" + name + ".csv"), ","), expected) << name;
  }
}

// rx7731-cli stats on files that hold nothing to average, values at the edge of a double and
// an ordinary file: the text as printed, the CSV through Python's csv module, and each JSON line
// against the CSV's row (an empty field is null, a number the same double). No figure is made
// up where there is none, and nothing prints as NaN or infinity.
struct StatsCase {
  const char* name;
  std::string bytes;  // the data file
  std::vector<std::string> options;
  std::string text;
  std::vector<Row> rows;  // the CSV's, after the header
};

void PrintTo(const StatsCase& c, std::ostream* os) { *os << c.name; }

const std::string kOrdinary =
    "0,\"231207093015\",\"Time\",0\r\n1,1.5,\"V         \",1\r\n2,999999,\"V         \",1\r\n"
    "3,2.5,\"V         \",1\r\n4,-3,7,2\r\n5,\"231207100000\",\"Time\",0\r\n"
    "6,4,\"V         \",1\r\n";

const StatsCase kStatsCases[] = {
    {"NoRecords",
     "",
     {},
     "in.dat: 0 records (0 readings, 0 time records)\n"
     "\n"
     "Series  Readings  No digits  Minimum  Maximum  Mean  Std. dev.  From No.  To No.\n"
     "\n"
     "No.  Time  Readings\n",
     {}},
    {"OnlyReadingsWithoutValidDigits",
     "0,\"231207093015\",\"Time\",0\r\n1,999999,\"V         \",1\r\n2,999999,\"V         \",1\r\n",
     {},
     "in.dat: 3 records (2 readings, 1 time record)\n"
     "\n"
     "Series  Readings  No digits  Minimum  Maximum  Mean  Std. dev.  From No.  To No.\n"
     "ch 1 V         0          2\n"
     "\n"
     "No.  Time                 Readings\n"
     "  1  2023-12-07 09:30:15         2\n",
     {{"series", "ch 1 V", "1", "V", "0", "2", "", "", "", "", "", "", "", "", "", ""},
      {"session", "", "", "", "2", "", "", "", "", "", "", "", "", "", "1",
       "2023-12-07T09:30:15"}}},
    {"OneReading",
     "0,1.5,\"V         \",1\r\n",
     {},
     "in.dat: 1 record (1 reading, 0 time records)\n"
     "\n"
     "Series  Readings  No digits      Minimum      Maximum  Mean  Std. dev.  From No.  To No.\n"
     "ch 1 V         1          0  1.5 (No. 1)  1.5 (No. 1)  1.50                    1       1\n"
     "\n"
     "No.  Time  Readings\n"
     "                  1\n",
     {{"series", "ch 1 V", "1", "V", "1", "0", "1.5", "1", "1.5", "1", "1.5", "", "1", "1", "", ""},
      {"session", "", "", "", "1", "", "", "", "", "", "", "", "", "", "", ""}}},
    // Values that overflow or are not numbers count as readings without valid digits; the
    // spread of the two largest doubles of both signs is larger than a double: none.
    {"ValuesNearTheLargestDouble",
     "0,1.79769313486232E+308,\"V         \",1\r\n1,1.7976931348623157E+308,\"V         \",1\r\n"
     "2,-1.7976931348623157e308,\"V         \",1\r\n3,1e400,\"V         \",1\r\n"
     "4,nan,\"V         \",1\r\n",
     {},
     "in.dat: 5 records (5 readings, 0 time records)\n"
     "\n"
     "Series  Readings  No digits                           Minimum                          "
     "Maximum"
     "  Mean  Std. dev.  From No.  To No.\n"
     "ch 1 V         2          3  -1.7976931348623157E+308 (No. 3)  1.7976931348623157E+308 (No. "
     "2)"
     "     0                    2       3\n"
     "\n"
     "No.  Time  Readings\n"
     "                  5\n",
     {{"series", "ch 1 V", "1", "V", "2", "3", "-1.7976931348623157E+308", "3",
       "1.7976931348623157E+308", "2", "0", "", "2", "3", "", ""},
      {"session", "", "", "", "5", "", "", "", "", "", "", "", "", "", "", ""}}},
    // No date is made up for a time text that is none: the table shows it as stored.
    {"ATimeRecordThatIsNoDate",
     "0,\"23120709\",\"Time\",0\r\n1,2,\"V         \",1\r\n",
     {},
     "in.dat: 2 records (1 reading, 1 time record)\n"
     "\n"
     "Series  Readings  No digits    Minimum    Maximum  Mean  Std. dev.  From No.  To No.\n"
     "ch 1 V         1          0  2 (No. 2)  2 (No. 2)   2.0                    2       2\n"
     "\n"
     "No.  Time      Readings\n"
     "  1  23120709         1\n",
     {{"series", "ch 1 V", "1", "V", "1", "0", "2", "2", "2", "2", "2", "", "2", "2", "", ""},
      {"session", "", "", "", "1", "", "", "", "", "", "", "", "", "", "1", ""}}},
    {"OrdinaryFile",
     kOrdinary,
     {},
     "in.dat: 7 records (5 readings, 2 time records)\n"
     "\n"
     "Series       Readings  No digits       Minimum       Maximum   Mean  Std. dev.  From No."
     "  To No.\n"
     "ch 1 V              3          1   1.5 (No. 2)   4.0 (No. 7)   2.67       1.26         2"
     "       7\n"
     "ch 2 code 7         1          0  -3   (No. 5)  -3   (No. 5)  -3.0                     5"
     "       5\n"
     "\n"
     "No.  Time                 Readings\n"
     "  1  2023-12-07 09:30:15         4\n"
     "  6  2023-12-07 10:00:00         1\n",
     {{"series", "ch 1 V", "1", "V", "3", "1", "1.5", "2", "4", "7", "2.66666666666667",
       "1.25830573921179", "2", "7", "", ""},
      {"series", "ch 2 code 7", "2", "code 7", "1", "0", "-3", "5", "-3", "5", "-3", "", "5", "5",
       "", ""},
      {"session", "", "", "", "4", "", "", "", "", "", "", "", "", "", "1", "2023-12-07T09:30:15"},
      {"session", "", "", "", "1", "", "", "", "", "", "", "", "", "", "6",
       "2023-12-07T10:00:00"}}},
    {"OneChannelOfTheOrdinaryFile",
     kOrdinary,
     {"--channel", "2", "-c", "3"},
     "in.dat: 7 records (5 readings, 2 time records)\n"
     "\n"
     "Series       Readings  No digits     Minimum     Maximum  Mean  Std. dev.  From No.  To No.\n"
     "ch 2 code 7         1          0  -3 (No. 5)  -3 (No. 5)  -3.0                    5       5\n"
     "\n"
     "No.  Time                 Readings\n"
     "  1  2023-12-07 09:30:15         1\n"
     "  6  2023-12-07 10:00:00         0\n",
     {{"series", "ch 2 code 7", "2", "code 7", "1", "0", "-3", "5", "-3", "5", "-3", "", "5", "5",
       "", ""},
      {"session", "", "", "", "1", "", "", "", "", "", "", "", "", "", "1", "2023-12-07T09:30:15"},
      {"session", "", "", "", "0", "", "", "", "", "", "", "", "", "", "6",
       "2023-12-07T10:00:00"}}},
};

const Row kStatsHeader = {"kind",         "series",      "channel", "unit",
                          "readings",     "no_digits",   "min",     "min_number",
                          "max",          "max_number",  "mean",    "std_dev",
                          "first_number", "last_number", "number",  "time"};

class StatsOfFile : public testing::TestWithParam<StatsCase> {};

TEST_P(StatsOfFile, PrintsTheSameFiguresAsTextCsvAndJsonLines) {
  TempDir dir;
  const StatsCase& c = GetParam();
  test::WriteBytes(dir.File("in.dat"), c.bytes);
  const auto run = [&](const std::string& format) {
    std::vector<std::string> args = {"stats", "in.dat", "--format", format};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const Outcome outcome = RunCli(dir, args);
    EXPECT_EQ(outcome.exit_code, 0) << format << ": " << outcome.output;
    std::string lower = outcome.output;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_EQ(lower.find("nan"), std::string::npos) << format << ": " << outcome.output;
    EXPECT_EQ(lower.find("inf"), std::string::npos) << format << ": " << outcome.output;
    return outcome.output;
  };
  EXPECT_EQ(run("text"), c.text);

  test::WriteBytes(dir.File("stats.csv"), run("csv"));
  std::vector<Row> expected = c.rows;
  expected.insert(expected.begin(), kStatsHeader);
  EXPECT_EQ(ParseCsv(dir, dir.File("stats.csv"), ","), expected);

  std::istringstream lines(run("json"));
  std::string line;
  size_t i = 0;
  for (; std::getline(lines, line); ++i) {
    ASSERT_LT(i, c.rows.size()) << line;
    const nlohmann::ordered_json object = nlohmann::ordered_json::parse(line);
    ASSERT_EQ(object.size(), kStatsHeader.size()) << line;
    size_t column = 0;
    for (const auto& [key, value] : object.items()) {  // in the order of the line
      SCOPED_TRACE(line);
      const std::string& field = c.rows[i][column];
      EXPECT_EQ(key, kStatsHeader[column]);
      if (field.empty()) {
        EXPECT_TRUE(value.is_null()) << key;
      } else if (value.is_number()) {
        // The CSV's figures have the data file's 15 significant digits, JSON's every digit.
        const double csv = std::stod(field);
        EXPECT_NEAR(value.get<double>(), csv, std::fabs(csv) * 1e-14) << key;
      } else {
        EXPECT_EQ(value, field) << key;
      }
      ++column;
    }
  }
  EXPECT_EQ(i, c.rows.size());
}

INSTANTIATE_TEST_SUITE_P(Files, StatsOfFile, testing::ValuesIn(kStatsCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A text's lines with each run of blanks made one and none at either end, so that a table as
// one program aligns it compares with the same table as another lays it out.
std::vector<std::string> CollapsedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::string collapsed;
    for (const char c : line) {
      const bool blank = c == ' ' || c == '\t' || c == '\f' || c == '\r';
      if (!blank) {
        collapsed += c;
      } else if (!collapsed.empty() && collapsed.back() != ' ') {
        collapsed += ' ';
      }
    }
    while (!collapsed.empty() && collapsed.back() == ' ') collapsed.pop_back();
    if (!collapsed.empty()) lines.push_back(collapsed);
  }
  return lines;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The report as poppler reads it: pdfinfo's page count and paper (by --paper, and by the locale
// where it is not given), pdftotext's page 1 with the counts, span, size and SHA-256 of the file,
// the statistics as stats prints them and the sessions, every record as show prints it, once
// and in order, in three blocks across a page of records, and on every page a footer whose
// file name, shortened where it is long, keeps clear of "Page n of m".
TEST(Report, PopplerReadsTheFiguresRecordsAndPagesOfTheCommands) {
  TempDir dir;
  std::vector<Record> records = {{"231207093015"s, "Time"s, 0}};
  size_t second_time = 0;  // its No.
  for (int i = 0; i < 150; ++i) {
    records.push_back({i % 50 == 7 ? 999999.0 : 20 + (i % 17) * 0.25,
                       "\xB0"
                       "C        "s,
                       1});
    if (i % 10 == 0) records.push_back({-1.25 * (i % 3), int16_t{7}, 2});
    if (i == 100) {
      records.push_back({"231207100000"s, "Time"s, 0});
      second_time = records.size();
    }
  }
  const std::string long_name = std::string(120, 'x') + "-readings.dat";
  WriteDataFile(dir.File("in.dat"), records);
  WriteDataFile(dir.File(long_name), records);
  const std::string bytes = ReadBytes(dir.File("in.dat"));
  const Outcome sha = RunProgram(dir, {"/usr/bin/sha256sum", "in.dat"});
  ASSERT_EQ(sha.exit_code, 0) << sha.output;
  const std::vector<std::string> stats = CollapsedLines(RunCli(dir, {"stats", "in.dat"}).output);
  const std::vector<std::string> show = CollapsedLines(RunCli(dir, {"show", "in.dat"}).output);
  ASSERT_EQ(show.size(), records.size() + 1);
  ASSERT_EQ(stats.size(), 1 + 1 + 2 + 1 + 2) << "the count, two series, two sessions";
  const std::vector<std::string> page_1 = {
      std::to_string(records.size()) + " records (" + std::to_string(records.size() - 2) +
          " readings, 2 time records)",
      "Time records from 2023-12-07 09:30:15 to 2023-12-07 10:00:00",
      "Data file of " + std::to_string(bytes.size()) + " bytes, SHA-256 " +
          sha.output.substr(0, 64),
      stats[1],  // stats[0] words the count as stats prints it
      stats[2],
      stats[3],
      "Session Started First No. Last No. Readings",
      "1 2023-12-07 09:30:15 1 " + std::to_string(second_time - 1) + " " +
          std::to_string(second_time - 2),
      "2 2023-12-07 10:00:00 " + std::to_string(second_time) + " " +
          std::to_string(records.size()) + " " + std::to_string(records.size() - second_time),
  };

  const struct {
    std::vector<std::string> options;
    std::map<std::string, std::string> env;
    std::string paper;  // as pdfinfo names it
    std::string file = "in.dat";
  } cases[] = {
      {{"--paper", "a4"}, {{"LC_ALL", "C.UTF-8"}}, "(A4)"},
      {{"--paper", "letter"}, {{"LC_ALL", "C.UTF-8"}}, "(letter)"},
      {{}, {{"LC_ALL", "en_US.UTF-8"}}, "(letter)"},
      {{}, {{"LC_ALL", ""}, {"LANG", "en_US.UTF-8"}}, "(letter)"},
      {{}, {{"LC_ALL", "de_DE.UTF-8"}}, "(A4)"},
      {{"--paper", "a4"}, {{"LC_ALL", "en_US.UTF-8"}}, "(A4)"},
      {{"--paper", "a4"}, {{"LC_ALL", "C.UTF-8"}}, "(A4)", long_name},
      {{"--paper", "letter"}, {{"LC_ALL", "C.UTF-8"}}, "(letter)", long_name},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"report", c.file, "--output", "out.pdf"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    SCOPED_TRACE(testing::PrintToString(args) + " " + testing::PrintToString(c.env));
    const Outcome run = RunCli(dir, args, c.env);
    ASSERT_EQ(run.exit_code, 0) << run.output;

    const Outcome info = RunProgram(dir, {RX_PDFINFO, "out.pdf"});
    ASSERT_EQ(info.exit_code, 0) << info.output;
    const size_t pages_at = info.output.find("Pages:");
    ASSERT_NE(pages_at, std::string::npos) << info.output;
    const int pages = std::stoi(info.output.substr(pages_at + 6));
    const size_t size_at = info.output.find("Page size:");
    ASSERT_NE(size_at, std::string::npos);
    const std::string size = info.output.substr(size_at, info.output.find('\n', size_at) - size_at);
    EXPECT_NE(size.find(c.paper), std::string::npos) << size;
    EXPECT_EQ(run.output, "out.pdf: " + std::to_string(records.size()) + " records on " +
                              std::to_string(pages) + " pages\n");

    // Lines as laid out on the page (-layout), and in the order they were drawn (-raw).
    const auto pages_of = [&](const char* mode) {
      const Outcome text = RunProgram(dir, {RX_PDFTOTEXT, mode, "out.pdf", "-"});
      EXPECT_EQ(text.exit_code, 0) << text.output;
      std::vector<std::vector<std::string>> lines;
      size_t start = 0;
      for (size_t end; (end = text.output.find('\f', start)) != std::string::npos;
           start = end + 1) {
        lines.push_back(CollapsedLines(text.output.substr(start, end - start)));
      }
      return lines;
    };
    const std::vector<std::vector<std::string>> laid_out = pages_of("-layout");
    ASSERT_EQ(laid_out.size(), static_cast<size_t>(pages));
    const std::vector<std::string>& first = laid_out.front();
    // The file's name whole, or its start and end with "…" between them.
    const auto expect_name = [&](const std::string& name) {
      const size_t cut = name.find("\u2026");
      if (c.file == "in.dat" || cut == std::string::npos) {
        EXPECT_EQ(name, c.file);
      } else {
        EXPECT_TRUE(c.file.starts_with(name.substr(0, cut))) << name;
        EXPECT_TRUE(c.file.ends_with(name.substr(cut + 3))) << name;
      }
    };
    expect_name(first.front());  // the title
    EXPECT_GE(first.front().size(), std::min<size_t>(c.file.size(), 60)) << "as much as fits";
    for (const std::string& line : page_1) {
      EXPECT_TRUE(HasLine(first, line)) << "no line \"" << line << "\" on page 1:\n"
                                        << testing::PrintToString(first);
    }
    for (int n = 1; n <= pages; ++n) {
      const std::string page = " Page " + std::to_string(n) + " of " + std::to_string(pages);
      const std::string& footer = laid_out[n - 1].back();
      ASSERT_TRUE(footer.ends_with(page)) << footer;
      expect_name(footer.substr(0, footer.size() - page.size()));
    }

    // The pages of records hold every record once, in order, down one block after another,
    // each block under its own header row: three of them across the first of these pages.
    const std::vector<std::vector<std::string>> drawn = pages_of("-raw");
    ASSERT_EQ(drawn.size(), static_cast<size_t>(pages));
    std::vector<std::string> shown_records;
    std::vector<int> headers(pages + 1, 0);
    for (int n = 2; n <= pages; ++n) {
      for (const std::string& line : drawn[n - 1]) {
        std::string row = show.front();  // header rows at one height read as one line
        for (int across = 1; across <= 4; ++across, row += " " + show.front()) {
          if (line == row) headers[n] += across;
        }
        if (!line.starts_with(show.front()) && line != "Readings" &&
            line != laid_out[n - 1].back()) {
          shown_records.push_back(line);
        }
      }
    }
    EXPECT_EQ(shown_records, std::vector<std::string>(show.begin() + 1, show.end()));
    ASSERT_GE(pages, 2);
    EXPECT_EQ(headers[2], 3) << testing::PrintToString(drawn[1]);
    for (int n = 3; n <= pages; ++n) EXPECT_GE(headers[n], 1) << "page " << n;
  }
}

struct ExitCase {
  std::vector<std::string> args;
  int exit_code;
  std::vector<std::string> says;  // in the output, in this order
};

TEST(Cli, ReportsWhatWasWrongWithTheExitCode) {
  TempDir dir;
  WriteDataFile(dir.File("in.dat"), {{1.5, "V         "s, 1}});
  test::WriteBytes(dir.File("script.sh"), "#!/bin/sh\r\necho,hello\r\n");
  test::WriteBytes(dir.File("table.csv"), "1,2,3,4\r\n1,2,3,x\r\n");
  WriteDataFile(dir.File("other.dat"), {{2.5, "A         "s, 2}});
  WriteDataFile(dir.File("in.txt"), {{2.5, "A         "s, 2}});
  const std::string other = ReadBytes(dir.File("other.dat"));
  const std::vector<ExitCase> cases = {
      {{"export", "in.dat", "--format", "csv", "-o", "out.xlsx"},
       2,
       {"--format csv", "disagrees with the name of the output out.xlsx", "Usage: ", "export"}},
      {{"export", "in.dat", "-f", "xlsx", "-o", "out.JSONL"}, 2, {"disagrees", "out.JSONL"}},
      {{"stats", "in.dat", "-o", "stats.xlsx"},
       2,
       {"stats.xlsx is named as xlsx, which this command does not write: give the output another "
        "name",
        "Usage: ", "stats"}},
      // Only a download writes a data file, in any case, and with the dots and blanks at its end
      // that Windows drops.
      {{"export", "in.dat", "--output", "other.dat"}, 2, {"other.dat is named as a data file"}},
      {{"export", "in.dat", "-f", "json", "-o", "OTHER.Dat. "}, 2, {"is named as a data file"}},
      {{"stats", "in.dat", "-o", "other.dat"}, 2, {"is named as a data file", "Usage: ", "stats"}},
      {{"plot", "in.dat", "-o", "other.dat"}, 2, {"is named as a data file", "Usage: ", "plot"}},
      {{"report", "in.dat", "-o", "x/other.dat"}, 2, {"is named as a data file", "Usage: "}},
      {{}, 2, {"A subcommand is required", "Usage: ", "show", "export"}},
      {{"frobnicate"}, 2, {"frobnicate", "Usage: ", "show", "export"}},
      {{"show"}, 2, {"FILE is required", "Usage: ", "show"}},
      {{"show", "in.dat", "more.dat"}, 2, {"more.dat", "Usage: ", "show"}},
      {{"export", "in.dat", "--format", "xml"}, 2, {"xml", "Usage: ", "export", "--delimiter"}},
      {{"export", "in.dat", "--delimiter", "\""}, 2, {"quote", "Usage: ", "export"}},
      {{"export", "in.dat", "--delimiter", ";;"}, 2, {"one character", "Usage: ", "export"}},
      {{"export", "in.dat", "--delimiter", "\n"}, 2, {"line end", "Usage: ", "export"}},
      {{"export", "in.dat", "--delimiter", "."}, 2, {"numbers", "Usage: ", "export"}},
      {{"export", "in.dat", "--format", "json", "--delimiter", ";"},
       2,
       {"--delimiter", "csv only", "Usage: ", "export"}},
      {{"export", "in.dat", "--format", "xlsx"}, 2, {"--format xlsx", "needs --output", "Usage: "}},
      {{"export", "in.dat", "--output", "./in.dat"}, 2, {"is named as a data file", "Usage: "}},
      {{"export", "in.txt", "--output", "./in.txt"},
       2,
       {"is the data file being exported", "Usage: "}},
      {{"stats", "in.dat", "--format", "xml"}, 2, {"xml", "Usage: ", "stats", "--channel"}},
      {{"stats", "in.dat", "--channel", "40000"}, 2, {"40000", "Usage: ", "stats"}},
      {{"stats", "missing.dat"},
       1,
       {"Cannot open data file missing.dat: No such file or directory"}},
      {{"stats", "script.sh", "--format", "json"},
       1,
       {"Cannot read data file script.sh: line 1 is not a record of four items"}},
      {{"report", "in.dat"}, 2, {"--output is required", "Usage: ", "report", "--paper"}},
      {{"report", "in.dat", "-o", "in.png"}, 2, {"must end in .pdf", "Usage: ", "report"}},
      {{"report", "in.dat", "-o", "in.pdf", "--paper", "a3"}, 2, {"a3", "Usage: ", "report"}},
      {{"report", "script.sh", "-o", "script.pdf"},
       1,
       {"Cannot read data file script.sh: line 1 is not a record of four items"}},
      {{"report", "in.dat", "-o", "no/such/folder/out.pdf"},
       1,
       {"Cannot create no/such/folder/out.pdf: No such file or directory"}},
      {{"--help"}, 0, {"Usage: ", "download", "show", "export", "plot", "stats", "report"}},
      {{"export", "--help"}, 0, {"Usage: ", "export", "--format", "--delimiter", "--output"}},
      {{"--version"}, 0, {"rx7731-cli 1.0"}},
      {{"show", "missing.dat"},
       1,
       {"Cannot open data file missing.dat: No such file or directory"}},
      {{"export", "script.sh"},
       1,
       {"Cannot read data file script.sh: line 1 is not a record of four items"}},
      {{"show", "table.csv"},
       1,
       {"Cannot read data file table.csv: line 2: channel \"x\" is not a whole number"}},
      {{"export", "in.dat", "--output", "no/such/folder/out.csv"},
       1,
       {"Cannot create no/such/folder/out.csv: No such file or directory"}},
      {{"export", "in.dat", "--output", "/dev/full"},
       1,
       {"Cannot write /dev/full: No space left on device"}},
      {{"export", "in.dat", "--format", "xlsx", "--output", "no/such/folder/out.xlsx"},
       1,
       {"Cannot create no/such/folder/out.xlsx: No such file or directory"}},
  };
  for (const ExitCase& c : cases) {
    const Outcome run = RunCli(dir, c.args);
    std::string command;
    for (const auto& a : c.args) command += " " + a;
    EXPECT_EQ(run.exit_code, c.exit_code) << command << "\n" << run.output;
    size_t at = 0;
    for (const std::string& text : c.says) {
      at = run.output.find(text, at);
      EXPECT_NE(at, std::string::npos) << command << ": no \"" << text << "\" in order in\n"
                                       << run.output;
      if (at == std::string::npos) break;
    }
  }
  // The data file named as the output is left as it was, and so is the other one.
  EXPECT_EQ(ReadBytes(dir.File("in.dat")), "0,1.5,\"V         \",1\r\n");
  EXPECT_EQ(ReadBytes(dir.File("other.dat")), other);
  EXPECT_EQ(ReadBytes(dir.File("in.txt")), other);
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.xlsx")));
}

// Channels that hold no reading with a value: one message and one exit code from every command
// that takes --channel, and no output file.
TEST(Cli, EveryCommandSaysTheSameWhereTheChannelsHoldNoValue) {
  TempDir dir;
  WriteDataFile(dir.File("in.dat"), {{"231207093015"s, "Time"s, 0},
                                     {1.5, "V         "s, 1},
                                     {999999.0, "V         "s, 2},
                                     {-1.0, int16_t{7}, 3}});
  // Channel 2 has a reading, but without valid digits.
  const std::vector<std::string> commands[] = {{"show", "-c", "2"},
                                               {"stats", "-c", "2"},
                                               {"stats", "-f", "json", "-c", "2"},
                                               {"export", "-c", "2"},
                                               {"export", "-o", "out.csv", "-c", "2"},
                                               {"export", "-o", "out.xlsx", "--channel", "2"},
                                               {"plot", "-o", "out.svg", "-c", "2"},
                                               {"report", "-o", "out.pdf", "-c", "2"}};
  for (std::vector<std::string> args : commands) {
    args.insert(args.begin() + 1, "in.dat");
    SCOPED_TRACE(testing::PrintToString(args));
    const Outcome run = RunCli(dir, args);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.output, "rx7731-cli: in.dat holds no readings with a value on channel 2\n");
  }
  for (const char* name : {"out.csv", "out.xlsx", "out.svg", "out.pdf"}) {
    EXPECT_FALSE(std::filesystem::exists(dir.File(name))) << name;
  }
}

// Without --format the output's name chooses, in any case; a name that says nothing keeps the
// default. The file holds what the same command with --format prints.
TEST(Cli, TheOutputsNameChoosesTheFormat) {
  TempDir dir;
  WriteDataFile(dir.File("in.dat"), FileCases().front().records);
  const struct {
    std::vector<std::string> to_file;  // writes out.*
    std::string name;
    std::vector<std::string> to_stdout;
  } cases[] = {
      {{"export", "in.dat"}, "out.JSONL", {"export", "in.dat", "-f", "json"}},
      {{"export", "in.dat"}, "out.txt", {"export", "in.dat", "--format", "csv"}},
      {{"export", "in.dat", "-f", "json"}, "out.txt", {"export", "in.dat", "--format", "json"}},
      {{"stats", "in.dat"}, "out.csv", {"stats", "in.dat", "--format", "csv"}},
      {{"stats", "in.dat"}, "out.json", {"stats", "in.dat", "-f", "json"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.to_file;
    args.insert(args.end(), {"-o", c.name});
    SCOPED_TRACE(testing::PrintToString(args));
    const Outcome written = RunCli(dir, args);
    EXPECT_EQ(written.exit_code, 0) << written.output;
    EXPECT_EQ(written.output, "");
    const Outcome printed = RunCli(dir, c.to_stdout);
    EXPECT_EQ(ReadBytes(dir.File(c.name)), printed.output);
  }
}

// A file that turns out not to be a data file after 20,000 records (more than the export writes
// out at a time): standard output keeps what was written before the message, and --output leaves
// no file behind, nor a temporary one, and a file it would have replaced as it was.
TEST(Cli, AFileThatIsNoDataFilePartWayLeavesNoOutputFile) {
  TempDir dir;
  std::string bytes;
  for (int i = 0; i < 20000; ++i) bytes += "0,1.5,\"V         \",1\r\n";
  test::WriteBytes(dir.File("bad.dat"), bytes + "#!/bin/sh\r\n");
  test::WriteBytes(dir.File("old.csv"), "kept\r\n");
  const std::string message =
      "rx7731-cli: Cannot read data file bad.dat: line 20001 is not a record of four items\n";
  const struct {
    std::vector<std::string> args;
    size_t lines_before;  // on stdout, before the message
  } cases[] = {
      {{"export", "bad.dat"}, 20001},
      {{"export", "bad.dat", "--format", "json"}, 20000},
      {{"export", "bad.dat", "--output", "new.csv"}, 0},
      {{"export", "bad.dat", "--output", "old.csv"}, 0},
      {{"export", "bad.dat", "--format", "json", "--output", "new.jsonl"}, 0},
      {{"show", "bad.dat"}, 0},  // it sizes its columns before it prints
  };
  for (const auto& c : cases) {
    const Outcome run = RunCli(dir, c.args);
    SCOPED_TRACE(c.args.back());
    EXPECT_EQ(run.exit_code, 1);
    ASSERT_GE(run.output.size(), message.size());
    EXPECT_EQ(run.output.substr(run.output.size() - message.size()), message);
    const std::string before = run.output.substr(0, run.output.size() - message.size());
    EXPECT_EQ(std::count(before.begin(), before.end(), '\n'), c.lines_before);
  }
  EXPECT_EQ(ReadBytes(dir.File("old.csv")), "kept\r\n");
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "bad.dat" || name == "old.csv" || name.ends_with(".log")) << name;
  }
}

}  // namespace
}  // namespace rx
