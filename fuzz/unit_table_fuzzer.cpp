// The unit table reader on arbitrary bytes: it fills entries from index 0 only, never more than
// 301, each exactly ten characters in the table's encoding (a UTF-8 one never cut inside a
// character), leaves the rest untouched, names the file in any trouble it reports, judges the
// encoding on the whole file when it read it all, and reads a file on disk as it reads the same
// bytes in memory. A table written one quoted name a line from the same bytes loads every name,
// fitted to ten characters, and says so when there are too many.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/unit_table_file.h"
#include "data/text_encoding.h"
#include "download/unit_names.h"
#include "fuzz/fuzz_check.h"
#include "support/fakes.h"

namespace rx::fuzz {
namespace {

const std::string kUnfilled(UnitNames::kWidth, '\0');

std::string Hex(std::string_view bytes) {
  std::string hex;
  for (const char c : bytes) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%02X ", static_cast<unsigned char>(c));
    hex += byte;
  }
  return hex;
}

void CheckLoad(const UnitTableLoad& load, const UnitNames& names, const std::string& path) {
  Require(load.entries >= 0 && load.entries <= UnitNames::kEntries, "0 to 301 entries",
          [&] { return std::to_string(load.entries); });
  for (int i = 0; i < load.entries; ++i) {
    const std::string& name = names(i);
    const TextPrefix all = FirstCharacters(name, name.size(), names.Encoding());
    Require(all.characters == UnitNames::kWidth && all.bytes == name.size(),
            "a loaded entry is ten characters in the table's encoding",
            [&] { return std::to_string(i) + ": " + Hex(name); });
    Require(names.Encoding() == TextEncoding::kCp1252 || IsValidUtf8(name),
            "a UTF-8 entry holds whole characters", [&] { return Hex(name); });
  }
  for (int i = load.entries; i < UnitNames::kEntries; ++i) {
    Require(names(i) == kUnfilled, "entries past the loaded ones are untouched",
            [&] { return std::to_string(i); });
  }
  if (!load.problem.empty()) {
    Require(load.problem.find(path) != std::string::npos, "trouble names the file", load.problem);
  }
}

bool SameNames(const UnitNames& a, const UnitNames& b) {
  if (a.Encoding() != b.Encoding()) return false;
  for (int i = 0; i < UnitNames::kEntries; ++i) {
    if (a(i) != b(i)) return false;
  }
  return true;
}

// Texts that fit between the quotes of a field, and are not too long for a unit table.
std::vector<std::string> QuotableLines(std::string_view bytes) {
  constexpr size_t kLongest = 1000;
  std::vector<std::string> lines;
  std::string line;
  for (char c : bytes) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else if (c != '"' && c != '\r' && line.size() < kLongest) {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace
}  // namespace rx::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace rx;
  using namespace rx::fuzz;
  static const ScratchFile file("unit2.dat");
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  UnitNames in_memory;
  const UnitTableLoad load = ParseUnitTable(bytes, in_memory, file.Path());
  CheckLoad(load, in_memory, file.Path());
  if (load.problem.empty()) {
    Require(in_memory.Encoding() == DetectEncoding(bytes),
            "a table read to its end is judged on all its bytes");
  }

  test::WriteBytes(file.Path(), bytes);
  UnitNames from_disk;
  const UnitTableLoad disk_load = ReadUnitTableFile(file.Path(), from_disk);
  Require(disk_load.entries == load.entries && disk_load.problem == load.problem &&
              SameNames(from_disk, in_memory),
          "the file on disk reads like the same bytes in memory",
          [&] { return load.problem + " / " + disk_load.problem; });

  const std::vector<std::string> lines = QuotableLines(bytes);
  std::string table;
  std::string loaded_pairs;  // the pairs that fit into the table: what decides its encoding
  for (size_t i = 0; i < lines.size(); ++i) {
    table += std::to_string(i) + ",\"" + lines[i] + "\"\r\n";
    if (i < UnitNames::kEntries) loaded_pairs = table;
  }
  UnitNames written;
  const UnitTableLoad written_load = ParseUnitTable(table, written, file.Path());
  const int expected = std::min<int>(lines.size(), UnitNames::kEntries);
  Require(written_load.entries == expected, "every name of a well-formed table is loaded", [&] {
    return std::to_string(written_load.entries) + " of " + std::to_string(lines.size()) + ": " +
           written_load.problem;
  });
  const TextEncoding encoding = DetectEncoding(loaded_pairs);
  Require(written.Encoding() == encoding, "the encoding is judged on the pairs loaded");
  for (int i = 0; i < expected; ++i) {
    const TextPrefix kept = FirstCharacters(lines[i], UnitNames::kWidth, encoding);
    std::string fitted = lines[i].substr(0, kept.bytes);
    fitted.append(UnitNames::kWidth - kept.characters, ' ');
    Require(written(i) == fitted, "a name is kept to ten characters, padded with blanks", [&] {
      return std::to_string(i) + ": [" + Hex(written(i)) + "] [" + Hex(fitted) + "]";
    });
  }
  Require(written_load.problem.empty() == (lines.size() <= UnitNames::kEntries),
          "a table of more than 301 pairs says so, and only then", written_load.problem);
  CheckLoad(written_load, written, file.Path());
  return 0;
}
