#pragma once

#include <string>
#include <string_view>

#include "download/unit_names.h"

namespace rx {

inline constexpr const char* kUnitTableFileName = "unit2.dat";

// What loading the unit table gave: how many entries were filled from index 0, and what was
// wrong with the file, if anything (one sentence naming the file; empty when all was well).
struct UnitTableLoad {
  int entries = 0;
  std::string problem;
};

// Reads the unit table: fields separated by commas or line ends (CR LF, CR or LF), blanks before
// a field skipped, a field in double quotes keeps its commas, an empty line is one empty field.
// Fields come in pairs; the second of each pair is the unit name for the next entry. Stops after
// 301 entries, at a pair that the file cuts short, at a field longer than any unit table holds
// (4096 characters), or at a read error. It reads nothing beyond the first field of a 302nd
// pair, so time and memory stay small whatever the file's size. A first field with nothing in
// it at the very end (an empty line after the last pair) is no trouble.
// The table is UTF-8 when the bytes read are valid UTF-8 and hold a byte of 0x80 or more, and
// code page 1252 otherwise; `names` takes that encoding, which decides how names are cut.
UnitTableLoad ReadUnitTableFile(const std::string& path, UnitNames& names);

// The same, from bytes already in memory; `path` only names the file in the problem.
UnitTableLoad ParseUnitTable(std::string_view bytes, UnitNames& names, const std::string& path);

}  // namespace rx
