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

// The time columns of each reading in turn, fed in record order. Time() is a time record's own
// time in ISO 8601; LastTimeStamp() is, for a reading, the time of the most recent time record
// before it. Either is none where there is no such time or its text is not a valid date and time.
class ExportTimes {
 public:
  void Next(const Reading& reading) {
    time_record_ = reading.kind == RecordKind::kTime;
    if (time_record_) last_time_stamp_ = IsoTime(reading.value_text);
  }
  const std::optional<std::string>& Time() const { return time_record_ ? last_time_stamp_ : kNone; }
  const std::optional<std::string>& LastTimeStamp() const {
    return time_record_ ? kNone : last_time_stamp_;
  }

 private:
  static inline const std::optional<std::string> kNone;
  std::optional<std::string> last_time_stamp_;
  bool time_record_ = false;
};

// Calls `row(reading, time, last_time_stamp)` for each reading in order, with ExportTimes' times.
template <typename Row>
void ForEachExportRow(const std::vector<Reading>& readings, Row&& row) {
  ExportTimes times;
  for (const Reading& reading : readings) {
    times.Next(reading);
    row(reading, times.Time(), times.LastTimeStamp());
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
