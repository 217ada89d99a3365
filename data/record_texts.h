#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "data/data_file.h"
#include "data/text_encoding.h"

namespace rx {

// The columns of a record as View Data's grid shows it, and as rx7731-cli show and the report
// print it.
inline constexpr std::array<std::string_view, 4> kRecordColumns = {"No.", "Channel", "Value",
                                                                   "Unit"};

using RecordTexts = std::array<std::string, 4>;

// The texts of `record`, the `number`th of its file: No. counted from 1, the channel, the value
// as stored (a time record's as its time display), the unit name as stored, in UTF-8 by
// `encoding`, with control characters made visible (VisibleText).
RecordTexts RecordCells(const StoredRecord& record, int32_t number, TextEncoding encoding);

// `utf8` with every control character made visible, so that a unit name holding one cannot
// move a terminal's cursor, switch its mode or vanish from a page: U+0000 to U+001F and U+007F
// as their Control Pictures symbols (NUL as "␀", CR as "␍"), U+0080 to U+009F as "\u0080" to
// "\u009f".
std::string VisibleText(std::string_view utf8);

// Characters, not bytes, so that columns stay aligned with accented or other non-ASCII names.
size_t CharacterCount(std::string_view utf8);

}  // namespace rx
