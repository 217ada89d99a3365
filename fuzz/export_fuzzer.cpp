// Exporting a data file of arbitrary bytes, as `rx7731-cli export` does: for every file that
// reads, the CSV (with each delimiter) read back by a strict RFC 4180 parser and the JSON Lines
// read back by a JSON parser hold one row per record, in valid UTF-8, with the number, kind,
// channel, value, unit name and times that the records give; the workbook is written whole, with
// libxlsxwriter reporting no error, and nothing is left beside it. The expectations are worked
// out here from the records and their readings, not by the writers.

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "data/data_file.h"
#include "data/readings.h"
#include "export/csv_export.h"
#include "export/json_lines_export.h"
#include "export/xlsx_export.h"
#include "fuzz/fuzz_check.h"

namespace rx::fuzz {
namespace {

constexpr std::string_view kColumns[] = {"number", "kind", "channel",        "value",
                                         "unit",   "time", "last_time_stamp"};
constexpr size_t kColumnCount = std::size(kColumns);

// One row of the export as it should read back.
struct ExpectedRow {
  int32_t number = 0;
  std::string_view kind;
  int16_t channel = 0;
  std::optional<double> value;
  std::string unit;
  std::optional<std::string> time;
  std::optional<std::string> last_time_stamp;
};

// Well-formed UTF-8: every sequence decodes to a code point in its shortest form, outside the
// surrogates and not past U+10FFFF.
bool IsStrictUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length;
    char32_t code_point;
    char32_t smallest;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2, code_point = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, code_point = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, code_point = lead & 0x07, smallest = 0x10000;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code_point = (code_point << 6) | (next & 0x3F);
    }
    if (code_point < smallest || code_point > 0x10FFFF ||
        (code_point >= 0xD800 && code_point <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

void AppendUtf8(std::string& out, char32_t code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

// A unit name as the export shows it: a file that is UTF-8 throughout keeps its bytes, any other
// is code page 1252 (whose five undefined bytes stand for the control characters of their code).
std::string ExpectedUnit(std::string_view unit, RecordKind kind, TextEncoding encoding) {
  if (kind == RecordKind::kReading) {
    unit = unit.substr(0, unit.find_last_not_of(' ') + 1);
  }
  if (encoding == TextEncoding::kUtf8) return std::string(unit);
  static constexpr char16_t k80To9F[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::string out;
  for (const char c : unit) {
    const auto byte = static_cast<unsigned char>(c);
    AppendUtf8(out, byte >= 0x80 && byte < 0xA0 ? k80To9F[byte - 0x80] : char32_t{byte});
  }
  return out;
}

// A time text yymmddhhmmss as 20yy-mm-ddThh:mm:ss, when it is a real date and time of day.
std::optional<std::string> ExpectedTime(std::string_view text) {
  if (text.size() != 12 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  const auto two = [&](size_t at) {
    return unsigned((text[at] - '0') * 10 + (text[at + 1] - '0'));
  };
  const std::chrono::year_month_day date{std::chrono::year(2000 + int(two(0))),
                                         std::chrono::month(two(2)), std::chrono::day(two(4))};
  if (!date.ok() || two(6) > 23 || two(8) > 59 || two(10) > 59) return std::nullopt;
  char iso[32];
  std::snprintf(iso, sizeof iso, "20%.2s-%.2s-%.2sT%.2s:%.2s:%.2s", &text[0], &text[2], &text[4],
                &text[6], &text[8], &text[10]);
  return std::string(iso);
}

std::string_view ExpectedKind(RecordKind kind) {
  switch (kind) {
    case RecordKind::kTime:
      return "time";
    case RecordKind::kCoded:
      return "coded";
    case RecordKind::kReading:
      break;
  }
  return "reading";
}

std::vector<ExpectedRow> Expect(const DataFileContents& contents,
                                const std::vector<Reading>& readings) {
  std::vector<ExpectedRow> rows;
  std::optional<std::string> last_time;
  for (size_t i = 0; i < readings.size(); ++i) {
    const Reading& reading = readings[i];
    ExpectedRow row;
    row.number = static_cast<int32_t>(i + 1);
    row.kind = ExpectedKind(reading.kind);
    row.channel = contents.records[i].Channel;
    row.unit = ExpectedUnit(contents.records[i].UnitText, reading.kind, contents.encoding);
    if (reading.kind == RecordKind::kTime) {
      Require(!reading.value, "a time record has no value");
      row.time = last_time = ExpectedTime(contents.records[i].ValueText);
    } else {
      Require(!reading.value || (std::isfinite(*reading.value) && *reading.value != 999999),
              "a reading's value is a finite number other than the no-digits marker");
      row.value = reading.value;
      row.last_time_stamp = last_time;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string Describe(const ExpectedRow& row) {
  return "record " + std::to_string(row.number) + " (unit \"" + row.unit + "\")";
}

// ---- CSV ----

struct CsvField {
  std::string text;
  bool quoted = false;
};
using CsvRow = std::vector<CsvField>;

// RFC 4180 without leniency: a field is either quoted, with a quote inside doubled, or holds
// no quote, delimiter or line end; every record, the last included, ends with CR LF. Returns
// what is wrong, or an empty text with `rows` filled.
std::string ParseCsv(std::string_view csv, char delimiter, std::vector<CsvRow>& rows) {
  size_t pos = 0;
  const auto at = [&] { return " at byte " + std::to_string(pos); };
  while (pos < csv.size()) {
    CsvRow row;
    for (;;) {
      CsvField field;
      if (csv[pos] == '"') {
        field.quoted = true;
        ++pos;
        for (;;) {
          if (pos >= csv.size()) return "a quoted field is not closed" + at();
          const char c = csv[pos++];
          if (c != '"') {
            field.text += c;
          } else if (pos < csv.size() && csv[pos] == '"') {
            field.text += '"';
            ++pos;
          } else {
            break;
          }
        }
      } else {
        while (pos < csv.size() && csv[pos] != delimiter && csv[pos] != '\r' && csv[pos] != '\n') {
          if (csv[pos] == '"') return "a quote in an unquoted field" + at();
          field.text += csv[pos++];
        }
      }
      row.push_back(std::move(field));
      if (pos >= csv.size()) return "the last record does not end with CR LF";
      if (csv[pos] == delimiter) {
        ++pos;
        continue;
      }
      if (csv.substr(pos, 2) == "\r\n") {
        pos += 2;
        break;
      }
      return "a field is followed by neither the delimiter nor CR LF" + at();
    }
    rows.push_back(std::move(row));
  }
  return {};
}

bool IsWhole(std::string_view text, int64_t expected) {
  int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value == expected;
}

// The export's number form: -?digits(.digits)?(E[+-]digits)?
bool IsPlainNumber(std::string_view text) {
  size_t i = 0;
  const auto digits = [&] {
    const size_t start = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    return i > start;
  };
  if (i < text.size() && text[i] == '-') ++i;
  if (!digits()) return false;
  if (i < text.size() && text[i] == '.' && (++i, !digits())) return false;
  if (i < text.size() && text[i] == 'E') {
    if (++i >= text.size() || (text[i] != '+' && text[i] != '-')) return false;
    ++i;
    if (!digits()) return false;
  }
  return i == text.size();
}

// The value as the export writes it: rounded to 15 significant digits, unless that rounds past
// the largest double.
double AsWritten(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.14e", value);
  const double rounded = std::strtod(text, nullptr);
  return std::isfinite(rounded) ? rounded : value;
}

void CheckCsv(const std::string& csv, const std::vector<ExpectedRow>& expected, char delimiter) {
  const std::string which = std::string("the CSV with delimiter '") + delimiter + "'";
  Require(IsStrictUtf8(csv), "the CSV is valid UTF-8", which);
  std::vector<CsvRow> rows;
  const std::string problem = ParseCsv(csv, delimiter, rows);
  Require(problem.empty(), "the CSV is strict RFC 4180", [&] { return which + ": " + problem; });
  Require(rows.size() == expected.size() + 1, "the CSV has a header and one row per record",
          [&] { return which + ": " + std::to_string(rows.size()) + " rows"; });
  Require(rows[0].size() == kColumnCount, "the CSV header has every column", which);
  for (size_t c = 0; c < kColumnCount; ++c) {
    Require(!rows[0][c].quoted && rows[0][c].text == kColumns[c], "the CSV header names the column",
            [&] { return which + ": " + rows[0][c].text; });
  }
  for (size_t i = 0; i < expected.size(); ++i) {
    const ExpectedRow& want = expected[i];
    const CsvRow& row = rows[i + 1];
    const auto where = [&] { return which + ", " + Describe(want); };
    Require(row.size() == kColumnCount, "a CSV row has every column", where);
    Require(!row[0].quoted && IsWhole(row[0].text, want.number), "the CSV number", where);
    Require(row[1].quoted && row[1].text == want.kind, "the CSV kind", where);
    Require(!row[2].quoted && IsWhole(row[2].text, want.channel), "the CSV channel", where);
    const std::string& value = row[3].text;
    Require(!row[3].quoted, "the CSV value is not quoted", where);
    if (!want.value) {
      Require(value.empty(), "the CSV value is empty where there is none",
              [&] { return where() + ": " + value; });
    } else {
      double got = 0;
      const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), got);
      Require(IsPlainNumber(value) && ec == std::errc() && end == value.data() + value.size() &&
                  std::isfinite(got) && got == AsWritten(*want.value),
              "the CSV value is the reading's value to 15 digits", [&] {
                char text[40];
                std::snprintf(text, sizeof text, "%.17g", *want.value);
                return where() + ": \"" + value + "\", the reading holds " + text;
              });
    }
    Require(row[4].quoted && row[4].text == want.unit, "the CSV unit is the record's name",
            [&] { return where() + ": \"" + row[4].text + "\""; });
    Require(row[5].quoted && row[5].text == want.time.value_or(""), "the CSV time", where);
    Require(row[6].quoted && row[6].text == want.last_time_stamp.value_or(""),
            "the CSV last_time_stamp", where);
  }
}

// ---- JSON Lines ----

void CheckJsonText(const nlohmann::ordered_json& item, const std::optional<std::string>& want,
                   const char* what, const std::string& where) {
  if (!want) {
    Require(item.is_null(), what, where);
  } else {
    Require(item.is_string() && item.get_ref<const std::string&>() == *want, what, where);
  }
}

void CheckJsonLines(const std::string& json, const std::vector<ExpectedRow>& expected) {
  Require(IsStrictUtf8(json), "the JSON Lines are valid UTF-8");
  Require(json.empty() || json.back() == '\n', "the last JSON line ends with LF");
  std::vector<std::string_view> lines;
  for (std::string_view rest = json; !rest.empty();) {
    const size_t end = rest.find('\n');
    lines.push_back(rest.substr(0, end));
    rest.remove_prefix(end + 1);
  }
  Require(lines.size() == expected.size(), "one JSON line per record",
          [&] { return std::to_string(lines.size()) + " lines"; });
  for (size_t i = 0; i < expected.size(); ++i) {
    const ExpectedRow& want = expected[i];
    const std::string where = Describe(want) + ": " + std::string(lines[i]);
    const auto object = nlohmann::ordered_json::parse(lines[i], nullptr, false);
    Require(object.is_object() && object.size() == kColumnCount,
            "a JSON line is an object of every column", where);
    size_t c = 0;
    for (const auto& [key, item] : object.items()) {
      Require(key == kColumns[c++], "the JSON keys are the columns in order", where);
    }
    Require(object["number"].is_number_integer() && object["number"].get<int64_t>() == want.number,
            "the JSON number", where);
    Require(object["kind"] == want.kind, "the JSON kind", where);
    Require(
        object["channel"].is_number_integer() && object["channel"].get<int64_t>() == want.channel,
        "the JSON channel", where);
    if (!want.value) {
      Require(object["value"].is_null(), "the JSON value is null where there is none", where);
    } else {
      Require(object["value"].is_number() && object["value"].get<double>() == *want.value,
              "the JSON value is the reading's value", where);
    }
    Require(object["unit"].is_string() && object["unit"].get_ref<const std::string&>() == want.unit,
            "the JSON unit is the record's name", where);
    CheckJsonText(object["time"], want.time, "the JSON time", where);
    CheckJsonText(object["last_time_stamp"], want.last_time_stamp, "the JSON last_time_stamp",
                  where);
  }
}

// Every delimiter the export takes; the fixed ones each run, one more by the input's length.
std::vector<char> AllowedDelimiters() {
  std::vector<char> allowed;
  for (int c = 1; c < 0x80; ++c) {
    if (CsvDelimiterProblem(std::string(1, static_cast<char>(c))).empty()) {
      allowed.push_back(static_cast<char>(c));
    }
  }
  return allowed;
}

// ---- Workbook ----

// A cell holds 32,767 characters; a unit of control characters grows seven-fold when escaped.
constexpr size_t kSurelyFits = 32767 / 7;

void CheckWorkbook(const std::vector<Reading>& readings, const std::vector<ExpectedRow>& expected) {
  // A folder of its own, so that anything left beside the workbook is seen.
  static const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("export_fuzzer-" + std::to_string(getpid()));
  static const std::filesystem::path path = folder / "readings.xlsx";
  static const int removed_at_exit = std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  });
  (void)removed_at_exit;
  std::error_code ec;
  std::filesystem::remove(path, ec);
  std::filesystem::create_directories(folder, ec);
  const std::string problem = WriteXlsxFile(path.string(), readings);
  const auto files = std::distance(std::filesystem::directory_iterator(folder),
                                   std::filesystem::directory_iterator());
  Require(files == (std::filesystem::exists(path) ? 1 : 0), "nothing is left beside the workbook");
  const bool fits = std::all_of(expected.begin(), expected.end(), [](const ExpectedRow& row) {
    return row.unit.size() <= kSurelyFits;
  });
  if (!fits &&
      problem.find("is longer than the 32,767 characters a cell holds") != std::string::npos) {
    Require(!std::filesystem::exists(path), "a workbook refused is not written");
    return;
  }
  Require(problem.empty(), "the workbook is written", problem);
  std::FILE* file = std::fopen(path.c_str(), "rb");
  char magic[4] = {};
  const size_t got = file ? std::fread(magic, 1, sizeof magic, file) : 0;
  if (file) std::fclose(file);
  Require(got == 4 && std::string_view(magic, 4) == "PK\x03\x04", "the workbook is a zip file");
}

}  // namespace
}  // namespace rx::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace rx;
  using namespace rx::fuzz;
  static const std::vector<char> kAllowed = AllowedDelimiters();

  DataFileContents contents;
  try {
    contents =
        ParseWholeDataFile(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.dat");
  } catch (const DataFileError&) {
    return 0;
  }
  const std::vector<Reading> readings = ToReadings(contents.records, contents.encoding);
  Require(readings.size() == contents.records.size(), "one reading per record");
  const std::vector<ExpectedRow> expected = Expect(contents, readings);

  for (const char delimiter : {',', ';', '\t', kAllowed[size % kAllowed.size()]}) {
    std::ostringstream csv;
    WriteCsv(csv, readings, delimiter);
    Require(csv.good(), "the CSV is written");
    CheckCsv(csv.str(), expected, delimiter);
  }
  std::ostringstream json;
  WriteJsonLines(json, readings);
  Require(json.good(), "the JSON Lines are written");
  CheckJsonLines(json.str(), expected);
  CheckWorkbook(readings, expected);
  return 0;
}
