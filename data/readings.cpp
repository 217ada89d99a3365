#include "data/readings.h"

#include <charconv>
#include <cmath>

#include "data/data_file.h"

namespace rx {
namespace {

bool IsUnitCode(std::string_view text) {
  if (text.empty() || text.size() > 6) return false;
  if (text.front() == '-') text.remove_prefix(1);
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::optional<double> ValueOf(std::string_view text) {
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  // "inf" or "nan" in an edited file is no reading: it has no place on a chart or in JSON.
  if (!std::isfinite(value) || value == kNoDigitsMarker) return std::nullopt;
  return value;
}

}  // namespace

RecordKind KindOf(const StoredRecord& record) {
  if (record.UnitText == "Time") return RecordKind::kTime;
  return IsUnitCode(record.UnitText) ? RecordKind::kCoded : RecordKind::kReading;
}

void ToReading(const StoredRecord& record, int32_t number, TextEncoding encoding,
               Reading& reading) {
  reading.number = number;
  reading.kind = KindOf(record);
  reading.channel = record.Channel;
  reading.value_text = record.ValueText;
  reading.value.reset();
  if (reading.kind != RecordKind::kTime) reading.value = ValueOf(record.ValueText);
  std::string_view unit = record.UnitText;
  if (reading.kind == RecordKind::kReading) {
    while (!unit.empty() && unit.back() == ' ') unit.remove_suffix(1);
  }
  if (IsAscii(unit)) {
    reading.unit.assign(unit);
  } else {
    reading.unit = ToUtf8(unit, encoding);
  }
}

std::vector<Reading> ToReadings(const std::vector<StoredRecord>& records, TextEncoding encoding) {
  std::vector<Reading> readings(records.size());
  for (size_t i = 0; i < records.size(); ++i) {
    ToReading(records[i], static_cast<int32_t>(i + 1), encoding, readings[i]);
  }
  return readings;
}

std::optional<std::string> IsoTime(std::string_view t) {
  if (t.size() != 12) return std::nullopt;
  int field[6];
  for (int i = 0; i < 6; ++i) {
    const char tens = t[2 * i], ones = t[2 * i + 1];
    if (tens < '0' || tens > '9' || ones < '0' || ones > '9') return std::nullopt;
    field[i] = (tens - '0') * 10 + (ones - '0');
  }
  const auto [yy, month, day, hour, minute, second] = field;
  // Every year from 2000 to 2099 that divides by four is a leap year.
  static constexpr int kDaysIn[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1) return std::nullopt;
  if (day > kDaysIn[month - 1] + (month == 2 && yy % 4 == 0 ? 1 : 0)) return std::nullopt;
  if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
  std::string iso = "20";
  iso.append(t.substr(0, 2)).append("-").append(t.substr(2, 2)).append("-");
  iso.append(t.substr(4, 2)).append("T").append(t.substr(6, 2)).append(":");
  iso.append(t.substr(8, 2)).append(":").append(t.substr(10, 2));
  return iso;
}

std::optional<std::string> ReadableTime(std::string_view time_text) {
  std::optional<std::string> text = IsoTime(time_text);
  if (text) (*text)[10] = ' ';
  return text;
}

std::string RecordCountText(int64_t records, int64_t time_records) {
  const auto counted = [](int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
  };
  return counted(records, "record", "records") + " (" +
         counted(records - time_records, "reading", "readings") + ", " +
         counted(time_records, "time record", "time records") + ")";
}

}  // namespace rx
