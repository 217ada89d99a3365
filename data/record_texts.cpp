#include "data/record_texts.h"

#include <algorithm>

#include "data/data_viewer.h"
#include "data/readings.h"

namespace rx {

RecordTexts RecordCells(const StoredRecord& record, int32_t number, TextEncoding encoding) {
  const bool time = KindOf(record) == RecordKind::kTime;
  return {std::to_string(number), std::to_string(record.Channel),
          VisibleText(ToUtf8(time ? TimeDisplay(record.ValueText) : record.ValueText, encoding)),
          VisibleText(ToUtf8(record.UnitText, encoding))};
}

std::string VisibleText(std::string_view utf8) {
  std::string shown;
  shown.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const size_t length = std::min(Utf8SequenceLength(lead), utf8.size() - i);
    if (lead < 0x20 || lead == 0x7F) {
      const char32_t picture = lead == 0x7F ? 0x2421 : 0x2400 + lead;
      shown += static_cast<char>(0xE0 | (picture >> 12));
      shown += static_cast<char>(0x80 | ((picture >> 6) & 0x3F));
      shown += static_cast<char>(0x80 | (picture & 0x3F));
    } else if (lead == 0xC2 && length == 2 && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
      static constexpr char kHex[] = "0123456789abcdef";
      const auto code = static_cast<unsigned char>(utf8[i + 1]);
      shown += "\\u00";
      shown += kHex[code >> 4];
      shown += kHex[code & 0xF];
    } else {
      shown.append(utf8.substr(i, length));
    }
    i += length;
  }
  return shown;
}

size_t CharacterCount(std::string_view utf8) {
  size_t count = 0;
  for (const char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

}  // namespace rx
