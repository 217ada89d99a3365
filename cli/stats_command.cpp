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
};

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
  bool read = false;
  const bool written = WriteOutputOrReport({}, [&](std::ostream& out) {
    Reading reading;
    while (reader->Next(reading)) accumulator.Add(reading);
    read = true;
    const ReadingStats stats = accumulator.Result();
    if (arguments.format == "csv") {
      WriteStatsCsv(out, stats);
    } else if (arguments.format == "json") {
      WriteStatsJsonLines(out, stats);
    } else {
      WriteText(out, stats);
    }
  });
  return written && read ? kExitOk : kExitFailure;
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
  command
      ->add_option("--format", arguments->format,
                   "text (the default, aligned tables), csv (RFC 4180) or json (JSON Lines)")
      ->check(CLI::IsMember({"text", "csv", "json"}))
      ->type_name("FORMAT");
  command->callback([arguments, &exit_code] { exit_code = Stats(*arguments); });
}

}  // namespace rx::cli
