#include "download/line_settings.h"

#include <cctype>
#include <charconv>
#include <string_view>
#include <vector>

#include "download/serial_control.h"

namespace rx {
namespace {

std::vector<std::string_view> Fields(std::string_view text) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    fields.push_back(text.substr(start, comma - start));
    if (comma == std::string_view::npos) return fields;
    start = comma + 1;
  }
}

bool ParseInt(std::string_view field, int32_t& value) {
  const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
  return !field.empty() && ec == std::errc() && end == field.data() + field.size();
}

}  // namespace

LineSettings ParseSettings(const std::string& settings) {
  auto fail = [&settings](const std::string& why) -> LineSettings {
    throw SerialError("Invalid serial settings \"" + settings + "\": " + why);
  };
  const std::vector<std::string_view> fields = Fields(settings);
  if (fields.size() != 4) return fail("expected baud,parity,data bits,stop bits");

  LineSettings line;
  if (!ParseInt(fields[0], line.baud) || line.baud <= 0) {
    return fail("the baud rate must be a whole number above 0");
  }
  const std::string_view parity = fields[1];
  const char p = parity.size() == 1 ? static_cast<char>(std::toupper(parity[0])) : '\0';
  if (p == '\0' || std::string_view("NEOMS").find(p) == std::string_view::npos) {
    return fail("the parity must be N, E, O, M or S");
  }
  line.parity = p;
  int32_t data_bits = 0;
  if (!ParseInt(fields[2], data_bits) || data_bits < 5 || data_bits > 8) {
    return fail("the data bits must be 5, 6, 7 or 8");
  }
  line.data_bits = data_bits;
  const std::string_view stop = fields[3];
  if (stop == "1") {
    line.stop_bits = LineSettings::StopBits::kOne;
  } else if (stop == "1.5") {
    line.stop_bits = LineSettings::StopBits::kOneAndHalf;
  } else if (stop == "2") {
    line.stop_bits = LineSettings::StopBits::kTwo;
  } else {
    return fail("the stop bits must be 1, 1.5 or 2");
  }
  return line;
}

}  // namespace rx
