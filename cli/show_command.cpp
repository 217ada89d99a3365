#include <algorithm>
#include <array>
#include <memory>
#include <string>

#include "cli/command_io.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "data/data_viewer.h"

namespace rx::cli {
namespace {

// `utf8` with every control character made visible, so that a unit name holding one cannot
// move the cursor or switch the terminal's mode: U+0000 to U+001F and U+007F as their Control
// Pictures symbols (NUL as "␀", CR as "␍"), U+0080 to U+009F as "\u0080" to "\u009f".
std::string Visible(std::string_view utf8) {
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

// Characters, not bytes, so that columns stay aligned with accented or other non-ASCII names.
size_t Characters(std::string_view utf8) {
  size_t count = 0;
  for (const char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

void Pad(std::string& line, size_t characters, size_t width) {
  if (characters < width) line.append(width - characters, ' ');
}

using Row = std::array<std::string, 4>;

Row Cells(const StoredRecord& record, int32_t number, TextEncoding encoding) {
  const bool time = KindOf(record) == RecordKind::kTime;
  return {std::to_string(number), std::to_string(record.Channel),
          Visible(ToUtf8(time ? TimeDisplay(record.ValueText) : record.ValueText, encoding)),
          Visible(ToUtf8(record.UnitText, encoding))};
}

// The records as the grid of View Data shows them: No. counted from 1, time records as their
// time display, unit names as stored. Numbers are right-aligned, texts left-aligned. The file is
// read twice, once for the columns' widths and once to print, so that neither takes memory for
// every record, and a file that is not a data file is reported before a line is printed.
void WriteTable(std::ostream& out, DataFileReader& reader) {
  const TextEncoding encoding = reader.Encoding();
  const Row header = {"No.", "Channel", "Value", "Unit"};
  std::array<size_t, 4> width{};
  const auto widen = [&](const Row& row) {
    for (size_t c = 0; c < 3; ++c) width[c] = std::max(width[c], Characters(row[c]));
  };
  widen(header);
  StoredRecord record;
  while (reader.Next(record)) widen(Cells(record, reader.RecordsRead(), encoding));
  reader.Rewind();

  static constexpr std::array<bool, 4> kRightAligned = {true, true, true, false};
  std::string text;
  const auto print = [&](const Row& row) {
    for (size_t c = 0; c < 4; ++c) {
      if (c > 0) text += "  ";
      const size_t characters = Characters(row[c]);
      if (kRightAligned[c]) Pad(text, characters, width[c]);
      text += row[c];
      if (!kRightAligned[c] && c < 3) Pad(text, characters, width[c]);
    }
    text += '\n';
    if (text.size() >= 64 * 1024) {
      out << text;
      text.clear();
    }
  };
  print(header);
  try {
    while (reader.Next(record)) print(Cells(record, reader.RecordsRead(), encoding));
  } catch (const DataFileError&) {
    out << text;  // the file changed since the widths were taken: what was read is shown
    throw;
  }
  out << text;
}

}  // namespace

void AddShowCommand(CLI::App& app, int& exit_code) {
  auto file = std::make_shared<std::string>();
  CLI::App* command = app.add_subcommand(
      "show",
      "Prints every record of a data file as View Data shows it: No., Channel, Value, Unit.");
  command->add_option("FILE", *file, "the data file")->required()->type_name("");
  command->callback([file, &exit_code] {
    const std::unique_ptr<DataFileReader> reader = OpenDataFileOrReport(*file);
    if (!reader) {
      exit_code = kExitFailure;
      return;
    }
    const bool written =
        WriteOutputOrReport({}, [&](std::ostream& out) { WriteTable(out, *reader); });
    exit_code = written ? kExitOk : kExitFailure;
  });
}

}  // namespace rx::cli
