#include <memory>
#include <string>
#include <vector>

#include "cli/aligned_table.h"
#include "cli/command_io.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "data/record_texts.h"

namespace rx::cli {
namespace {

// The records as the grid of View Data shows them: No. counted from 1, time records as their
// time display, unit names as stored. Numbers are right-aligned, texts left-aligned. The file is
// read twice, once for the columns' widths and once to print, so that neither takes memory for
// every record, and a file that is not a data file is reported before a line is printed.
// With `channels`, only their readings and every time record are shown, each under its No.
void WriteTable(std::ostream& out, DataFileReader& reader, const std::vector<int>& channels) {
  const TextEncoding encoding = reader.Encoding();
  const RecordTexts header = {std::string(kRecordColumns[0]), std::string(kRecordColumns[1]),
                              std::string(kRecordColumns[2]), std::string(kRecordColumns[3])};
  AlignedTable table({true, true, true, false});
  table.Widen(header);
  StoredRecord record;
  while (reader.Next(record)) {
    if (OfChannels(record, channels))
      table.Widen(RecordCells(record, reader.RecordsRead(), encoding));
  }
  reader.Rewind();

  std::string text;
  const auto print = [&](const RecordTexts& row) {
    table.Append(text, row);
    if (text.size() >= 64 * 1024) {
      out << text;
      text.clear();
    }
  };
  print(header);
  try {
    while (reader.Next(record)) {
      if (OfChannels(record, channels)) print(RecordCells(record, reader.RecordsRead(), encoding));
    }
  } catch (const DataFileError&) {
    out << text;  // the file changed since the widths were taken: what was read is shown
    throw;
  }
  out << text;
}

}  // namespace

void AddShowCommand(CLI::App& app, int& exit_code) {
  auto file = std::make_shared<std::string>();
  auto output = std::make_shared<std::string>();
  auto channels = std::make_shared<std::vector<int>>();
  CLI::App* command = app.add_subcommand(
      "show",
      "Prints every record of a data file as View Data shows it: No., Channel, Value, Unit.");
  command->add_option("FILE", *file, "the data file")->required()->type_name("");
  AddOutputOption(*command, *output, "write to FILE instead of standard output");
  AddChannelOption(*command, *channels,
                   "only this channel's readings, with every time record (repeat for more "
                   "channels)");
  command->callback([file, output, channels, &exit_code] {
    const std::unique_ptr<DataFileReader> reader = OpenDataFileOrReport(*file);
    if (!reader) {
      exit_code = kExitFailure;
      return;
    }
    exit_code = CheckChannelsHoldValues(*reader, *channels);
    if (exit_code != kExitOk) return;
    const bool written = WriteOutputOrReport(
        *output, [&](std::ostream& out) { WriteTable(out, *reader, *channels); });
    exit_code = written ? kExitOk : kExitFailure;
  });
}

}  // namespace rx::cli
