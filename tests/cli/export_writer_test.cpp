// The export writers on texts that a data file cannot carry but a Reading can (quotes, line
// ends), read back by Python's csv module, by a JSON parser and by openpyxl.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "e2e/child_process.h"
#include "export/csv_export.h"
#include "export/export_columns.h"
#include "export/export_file.h"
#include "export/json_lines_export.h"
#include "export/xlsx_export.h"
#include "support/fakes.h"

namespace rx {
namespace {

using namespace std::string_literals;

const std::vector<std::string> kOddUnits = {"a\"b",
                                            "\"",
                                            "\"\"",
                                            "x\r\ny",
                                            "\n",
                                            "\r",
                                            "\0"s,
                                            "a\0\"\r\n,;\t b"s,
                                            ",",
                                            ";",
                                            "=1+2",
                                            "\xC2\xB5\xE2\x82\xAC",
                                            " lead and trail "};

std::vector<Reading> ReadingsWithUnits(const std::vector<std::string>& units) {
  std::vector<Reading> readings;
  for (const std::string& unit : units) {
    Reading reading;
    reading.number = static_cast<int32_t>(readings.size()) + 1;
    reading.value = -0.5;
    reading.value_text = "-0.5";
    reading.unit = unit;
    readings.push_back(reading);
  }
  return readings;
}

TEST(CsvWriter, AnyUnitTextReadsBackWithEitherDelimiter) {
  test::TempDir dir;
  const std::vector<Reading> readings = ReadingsWithUnits(kOddUnits);
  for (const char delimiter : {',', ';'}) {
    {
      std::ofstream out(dir.File("out.csv"), std::ios::binary);
      WriteCsv(out, readings, delimiter);
    }
    test::ChildProcess python({RX_PYTHON, RX_READ_CSV, dir.File("out.csv"), {delimiter}},
                              dir.File("python.log"));
    ASSERT_TRUE(python.WaitFor(std::chrono::seconds(20)));
    ASSERT_EQ(python.ExitCode(), 0) << python.Output();
    const auto rows = nlohmann::json::parse(python.Output());
    ASSERT_EQ(rows.size(), kOddUnits.size() + 1);
    for (size_t i = 0; i < kOddUnits.size(); ++i) {
      const auto& row = rows[i + 1];
      ASSERT_EQ(row.size(), 7u) << row;
      EXPECT_EQ(row[3], "-0.5");
      EXPECT_EQ(row[4], kOddUnits[i]) << "delimiter " << delimiter;
    }
  }
}

// A delimiter that the export takes occurs in no unquoted field, the header's names included.
TEST(CsvWriter, EveryDelimiterTakenSplitsTheHeaderIntoTheColumns) {
  size_t taken = 0;
  for (int c = 0; c < 0x100; ++c) {
    const char delimiter = static_cast<char>(c);
    if (!CsvDelimiterProblem(std::string(1, delimiter)).empty()) continue;
    ++taken;
    std::ostringstream out;
    WriteCsv(out, {}, delimiter);
    std::vector<std::string> names;
    std::istringstream header(out.str().substr(0, out.str().find("\r\n")));
    for (std::string name; std::getline(header, name, delimiter);) names.push_back(name);
    EXPECT_EQ(names, std::vector<std::string>(kExportColumns.begin(), kExportColumns.end()))
        << "delimiter '" << delimiter << "'";
  }
  EXPECT_GE(taken, 3u);  // at least , ; and tab
}

// Values are written to 15 significant digits, except near the largest double, where that
// would round past it and read back as infinity.
TEST(CsvWriter, ValuesReadBackAsFiniteNumbers) {
  const struct {
    double value;
    std::string text;
  } cases[] = {
      {123.45, "123.45"},
      {-0.0, "0"},
      {0.1 + 0.2, "0.3"},
      {1.234e-29, "1.234E-29"},
      {1.79769313486231e308, "1.79769313486231E+308"},
      {1.797693134862315e308, "1.79769313486231E+308"},  // the double just below half a step
      {std::nextafter(1.797693134862315e308, INFINITY), "1.7976931348623151E+308"},
      {-std::numeric_limits<double>::max(), "-1.7976931348623157E+308"},
  };
  for (const auto& c : cases) {
    Reading reading;
    reading.number = 1;
    reading.value = c.value;
    std::ostringstream out;
    WriteCsv(out, {reading}, ';');
    const std::string row = out.str().substr(out.str().find("\r\n") + 2);
    EXPECT_EQ(row, "1;\"reading\";0;" + c.text + ";\"\";\"\";\"\"\r\n") << c.value;
  }
}

TEST(JsonLinesWriter, AnyUnitTextReadsBackAndEachRecordIsOneLine) {
  std::vector<std::string> units = kOddUnits;
  units.push_back("\xFF\xC3");  // not UTF-8: the line stays valid UTF-8
  std::ostringstream out;
  WriteJsonLines(out, ReadingsWithUnits(units));
  std::istringstream lines(out.str());
  std::string line;
  for (size_t i = 0; i < units.size(); ++i) {
    ASSERT_TRUE(std::getline(lines, line));
    const nlohmann::json object = nlohmann::json::parse(line);
    const std::string expected = i < kOddUnits.size() ? units[i] : "\xEF\xBF\xBD\xEF\xBF\xBD";
    EXPECT_EQ(object["unit"], expected) << line;
    EXPECT_EQ(object["value"], -0.5);
  }
  EXPECT_FALSE(std::getline(lines, line)) << line;
  EXPECT_NE(out.str().find("\\u0000"), std::string::npos);
}

// Texts that XML cannot carry or that a reader takes for markup or for Excel's _xHHHH_ escape
// read back by openpyxl (with its own unescape) as they are; bytes that are not UTF-8 as U+FFFD.
// A second workbook, written a second later, has the same bytes.
TEST(XlsxWriter, AnyUnitTextReadsBackThroughOpenpyxl) {
  std::vector<std::string> units = kOddUnits;
  const std::vector<std::pair<std::string, std::string>> more = {
      {"<b>&amp;</b>", "<b>&amp;</b>"},
      {"_x0041_", "_x0041_"},
      {"a_X00e9_b_x12", "a_X00e9_b_x12"},
      {"\xEF\xBF\xBE\xEF\xBF\xBF", "\xEF\xBF\xBE\xEF\xBF\xBF"},  // U+FFFE and U+FFFF, not in XML
      {"\xF0\x9F\x98\x80\x1F", "\xF0\x9F\x98\x80\x1F"},
      {"\xFF\xC3", "\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const auto& [unit, _] : more) units.push_back(unit);
  test::TempDir dir;
  ASSERT_EQ(WriteXlsxFile(dir.File("out.xlsx"), ReadingsWithUnits(units)), "");
  test::ChildProcess python({RX_PYTHON, RX_READ_XLSX, dir.File("out.xlsx")},
                            dir.File("python.log"));
  ASSERT_TRUE(python.WaitFor(std::chrono::seconds(20)));
  ASSERT_EQ(python.ExitCode(), 0) << python.Output();
  const auto rows = nlohmann::json::parse(python.Output())["rows"];
  ASSERT_EQ(rows.size(), units.size() + 1);
  for (size_t i = 0; i < units.size(); ++i) {
    const std::string expected =
        i < kOddUnits.size() ? units[i] : more[i - kOddUnits.size()].second;
    EXPECT_EQ(rows[i + 1][4][1], expected) << "unit \"" << units[i] << "\"";
    EXPECT_EQ(rows[i + 1][3][1], -0.5);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  ASSERT_EQ(WriteXlsxFile(dir.File("again.xlsx"), ReadingsWithUnits(units)), "");
  EXPECT_TRUE(test::ReadBytes(dir.File("again.xlsx")) == test::ReadBytes(dir.File("out.xlsx")));
}

// The window runs in the user's locale, where the decimal mark may be a comma; the workbook's
// numbers keep their point, and the program its locale.
TEST(XlsxWriter, NumbersKeepTheirPointUnderACommaLocale) {
  test::TempDir dir;
  test::ChildProcess localedef(
      {"/usr/bin/localedef", "-i", "de_DE", "-f", "UTF-8", dir.File("de_DE.UTF-8")},
      dir.File("localedef.log"));
  ASSERT_TRUE(localedef.WaitFor(std::chrono::seconds(60)));
  ASSERT_EQ(localedef.ExitCode(), 0) << localedef.Output();
  setenv("LOCPATH", dir.Path().c_str(), 1);
  ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
  const std::string problem = WriteXlsxFile(dir.File("out.xlsx"), ReadingsWithUnits({"V"}));
  const std::string after = std::setlocale(LC_NUMERIC, nullptr);
  std::setlocale(LC_NUMERIC, "C");
  unsetenv("LOCPATH");
  ASSERT_EQ(problem, "");
  EXPECT_EQ(after, "de_DE.UTF-8");
  test::ChildProcess python({RX_PYTHON, RX_READ_XLSX, dir.File("out.xlsx")},
                            dir.File("python.log"));
  ASSERT_TRUE(python.WaitFor(std::chrono::seconds(20)));
  ASSERT_EQ(python.ExitCode(), 0) << python.Output();
  EXPECT_EQ(nlohmann::json::parse(python.Output())["rows"][1][3][1], -0.5);
}

// The export file takes its name only when whole, and what it replaces keeps its place: the file
// a link leads to is replaced (the link stays), with the permissions it had.
TEST(WriteExportFile, ReplacesAFileOnlyWhenWholeKeepingItsLinkAndPermissions) {
  namespace fs = std::filesystem;
  test::TempDir dir;
  const std::string real = dir.File("real.csv"), link = dir.File("link.csv");
  test::WriteBytes(real, "old\r\n");
  fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink(real, link);
  const auto write = [](const std::string& text) {
    return [text](std::ostream& out) { out << text; };
  };
  EXPECT_THROW(WriteExportFile(link,
                               [](std::ostream& out) {
                                 out << "part";
                                 throw std::runtime_error("the data file is not one");
                               }),
               std::runtime_error);
  EXPECT_EQ(test::ReadBytes(real), "old\r\n");
  EXPECT_EQ(WriteExportFile(link, write("new\r\n")), "");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(test::ReadBytes(real), "new\r\n");
  EXPECT_EQ(fs::status(real).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(WriteExportFile(dir.File("fresh.csv"), write("x")), "");
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.Path())) ++files;
  EXPECT_EQ(files, 3u) << "a temporary file was left";
}

}  // namespace
}  // namespace rx
