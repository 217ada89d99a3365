#include "export/json_lines_export.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "export/export_columns.h"

namespace rx {
namespace {

constexpr size_t kChunk = 64 * 1024;
// Whole values below this are written as integers (12, not 12.0); doubles hold them exactly.
constexpr double kExactWhole = 1e15;

nlohmann::ordered_json Value(const std::optional<double>& value) {
  if (!value) return nullptr;
  if (std::trunc(*value) == *value && std::fabs(*value) < kExactWhole) {
    return static_cast<int64_t>(*value);
  }
  return *value;
}

nlohmann::ordered_json Text(const std::optional<std::string>& text) {
  if (!text) return nullptr;
  return *text;
}

}  // namespace

void WriteJsonLines(std::ostream& out, const std::vector<Reading>& readings) {
  std::string buffer;
  buffer.reserve(kChunk + 1024);
  ForEachExportRow(readings, [&](const Reading& reading, const std::optional<std::string>& time,
                                 const std::optional<std::string>& last_time_stamp) {
    nlohmann::ordered_json object;
    object[kExportColumns[0]] = reading.number;
    object[kExportColumns[1]] = KindName(reading.kind);
    object[kExportColumns[2]] = reading.channel;
    object[kExportColumns[3]] = Value(reading.value);
    object[kExportColumns[4]] = reading.unit;
    object[kExportColumns[5]] = Text(time);
    object[kExportColumns[6]] = Text(last_time_stamp);
    // Units are UTF-8 already; replacing keeps the line valid should one not be.
    buffer += object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    buffer += '\n';
    if (buffer.size() >= kChunk) {
      out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
      buffer.clear();
    }
  });
  out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
}

}  // namespace rx
