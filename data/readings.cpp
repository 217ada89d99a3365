#include "data/readings.h"

#include <charconv>

#include "download/reading_decoder.h"

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
  if (value == ReadingDecoder::kNoDigitsMarker) return std::nullopt;
  return value;
}

}  // namespace

RecordKind KindOf(const StoredRecord& record) {
  if (record.UnitText == "Time") return RecordKind::kTime;
  return IsUnitCode(record.UnitText) ? RecordKind::kCoded : RecordKind::kReading;
}

std::vector<Reading> ToReadings(const std::vector<StoredRecord>& records, TextEncoding encoding) {
  std::vector<Reading> readings;
  readings.reserve(records.size());
  int32_t number = 0;
  for (const StoredRecord& record : records) {
    Reading reading;
    reading.number = ++number;
    reading.kind = KindOf(record);
    reading.channel = record.Channel;
    reading.value_text = record.ValueText;
    if (reading.kind != RecordKind::kTime) reading.value = ValueOf(record.ValueText);
    std::string_view unit = record.UnitText;
    if (reading.kind == RecordKind::kReading) {
      while (!unit.empty() && unit.back() == ' ') unit.remove_suffix(1);
    }
    reading.unit = ToUtf8(unit, encoding);
    readings.push_back(std::move(reading));
  }
  return readings;
}

}  // namespace rx
