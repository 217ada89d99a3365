#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/readings.h"

namespace rx {

// The columns of an export, in order; CSV's header row and JSON Lines' keys.
inline constexpr std::array<std::string_view, 7> kExportColumns = {
    "number", "kind", "channel", "value", "unit", "time", "last_time_stamp"};

// "time", "reading" or "coded".
std::string_view KindName(RecordKind kind);

// Calls `row(reading, time, last_time_stamp)` for each reading in order. `time` is a time
// record's own time in ISO 8601; `last_time_stamp` is, for a reading, the time of the most recent
// time record before it. Either is none where there is no such time or its text is not a valid
// date and time.
template <typename Row>
void ForEachExportRow(const std::vector<Reading>& readings, Row&& row) {
  static const std::optional<std::string> kNone;
  std::optional<std::string> last_time_stamp;
  for (const Reading& reading : readings) {
    if (reading.kind == RecordKind::kTime) {
      last_time_stamp = IsoTime(reading.value_text);
      row(reading, last_time_stamp, kNone);
    } else {
      row(reading, kNone, last_time_stamp);
    }
  }
}

inline std::string_view KindName(RecordKind kind) {
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

}  // namespace rx
