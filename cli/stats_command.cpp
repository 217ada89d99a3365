#include <algorithm>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/aligned_table.h"
#include "cli/command_io.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "export/stats_export.h"
#include "stats/stats_table.h"

namespace rx::cli {
namespace {

struct StatsArguments {
  std::string file;
  std::vector<int> channels;
  std::string format = "text";
  std::string output;
};

const std::vector<std::string> kStatsFormats = {"text", "csv", "json"};

template <typename Columns>
std::vector<std::string> Header(const Columns& columns) {
  return std::vector<std::string>(columns.begin(), columns.end());
}

// Each series' figures as the plot window's table gives them, then the sessions, each as an
// aligned table: texts on the left, numbers on the right, a column's figures lined up on their
// decimal points. A figure a series does not have is an empty cell.
void WriteText(std::ostream& out, const ReadingStats& stats) {
  std::string text;
  std::vector<bool> right_aligned(kStatsColumns.size(), true);
  right_aligned[0] = false;  // the series' name
  AlignedTable::AppendWhole(text, std::move(right_aligned), Header(kStatsColumns),
                            StatsRows(stats, FigurePadding::kBlanks));

  text += '\n';
  std::vector<SessionTexts> session_rows;
  for (const SessionStats& session : stats.sessions) session_rows.push_back(SessionCells(session));
  AlignedTable::AppendWhole(text, {true, false, true}, Header(kSessionColumns), session_rows);
  out << text;
}

int Stats(const StatsArguments& arguments) {
  const std::unique_ptr<DataFileReader> reader = OpenDataFileOrReport(arguments.file);
  if (!reader) return kExitFailure;
  StatsAccumulator accumulator(
      {.channels = {arguments.channels.begin(), arguments.channels.end()}});
  // The whole file is read before a line is printed: a file that turns out not to be a data
  // file part-way gives its message alone, not statistics of the records before the fault.
  try {
    Reading reading;
    while (reader->Next(reading)) accumulator.Add(reading);
  } catch (const DataFileError& e) {
    std::cerr << "rx7731-cli: " << e.what() << "\n";
    return kExitFailure;
  }
  const ReadingStats stats = accumulator.Result();
  const bool any_value = std::any_of(stats.series.begin(), stats.series.end(),
                                     [](const SeriesStats& s) { return s.readings > 0; });
  if (!arguments.channels.empty() && !any_value) {
    return NoReadingsOnChannels(arguments.file, arguments.channels);
  }
  const bool written = WriteOutputOrReport(arguments.output, [&](std::ostream& out) {
    if (arguments.format == "csv") {
      WriteStatsCsv(out, stats);
    } else if (arguments.format == "json") {
      WriteStatsJsonLines(out, stats);
    } else {
      // Sessions without a number hold the readings before the file's first time record.
      const auto time_records =
          std::count_if(stats.sessions.begin(), stats.sessions.end(),
                        [](const SessionStats& session) { return session.number.has_value(); });
      out << arguments.file << ": " << RecordCountText(stats.records, time_records) << "\n\n";
      WriteText(out, stats);
    }
  });
  return written ? kExitOk : kExitFailure;
}

}  // namespace

void AddStatsCommand(CLI::App& app, int& exit_code) {
  auto arguments = std::make_shared<StatsArguments>();
  CLI::App* command = app.add_subcommand(
      "stats",
      "Prints the statistics of each channel and unit (readings, minimum, maximum, mean, "
      "standard deviation...), then the sessions: each time record and the readings after it.");
  command->add_option("FILE", arguments->file, "the data file")->required()->type_name("");
  AddChannelOption(*command, arguments->channels,
                   "only this channel's readings (repeat for more channels)");
  const CLI::Option* format = AddFormatOption(
      *command, arguments->format, kStatsFormats,
      "text (aligned tables), csv (RFC 4180) or json (JSON Lines); by default the one the "
      "output's name ends in (.csv, .json or .jsonl), else text");
  AddOutputOption(*command, arguments->output, "write to FILE instead of standard output");
  command->callback([arguments, format, &exit_code] {
    arguments->format = ChosenFormat(*format, arguments->format, arguments->output, kStatsFormats);
    exit_code = Stats(*arguments);
  });
}

}  // namespace rx::cli
