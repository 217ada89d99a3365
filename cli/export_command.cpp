#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/command_io.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "data/file_names.h"
#include "export/csv_export.h"
#include "export/export_readings.h"
#include "export/json_lines_export.h"
#include "export/xlsx_export.h"

namespace rx::cli {
namespace {

struct ExportArguments {
  std::string file;
  std::string format = "csv";
  std::string delimiter = ",";
  std::string output;
  std::vector<int> channels;
};

const std::vector<std::string> kExportFormats = {"csv", "json", "xlsx"};

// A writer's rows limited to the readings of the chosen channels and every time record, which
// keeps each row's time as in the whole file's export.
template <typename Writer>
class ChannelRows {
 public:
  ChannelRows(Writer& writer, const std::vector<int>& channels)
      : writer_(writer), channels_(channels) {}
  void WriteHeader() { writer_.WriteHeader(); }
  void Add(const Reading& reading) {
    if (OfChannels(reading, channels_)) writer_.Add(reading);
  }
  void Finish() { writer_.Finish(); }

 private:
  Writer& writer_;
  const std::vector<int>& channels_;
};

template <typename Writer>
void ExportChannels(DataFileReader& reader, Writer& writer, const std::vector<int>& channels) {
  ChannelRows<Writer> rows(writer, channels);
  ExportReadings(reader, rows);
}

// A delimiter of one usable character; "\t" is taken for a tab, which is awkward to type.
CLI::Validator DelimiterValidator() {
  return CLI::Validator(
      [](std::string& delimiter) {
        if (delimiter == "\\t") delimiter = "\t";
        return CsvDelimiterProblem(delimiter);
      },
      "");
}

// Writes the readings of `reader` on `channels` (every one where none are chosen) and every time
// record as a workbook at `path`. The workbook is made beside it and named only when whole, so a
// file that turns out not to be a data file part-way through leaves nothing under that name.
// Returns false after printing what failed.
bool WriteWorkbookOrReport(DataFileReader& reader, const std::string& path,
                           const std::vector<int>& channels) {
  std::string problem;
  try {
    XlsxWriter workbook(path);
    workbook.WriteHeader();
    ExportTimes times;
    Reading reading;
    while (reader.Next(reading)) {
      if (!OfChannels(reading, channels)) continue;
      times.Next(reading);
      workbook.AddRow(reading, times.Time(), times.LastTimeStamp());
    }
    problem = workbook.Finish();
  } catch (const DataFileError& e) {
    problem = e.what();
  }
  if (!problem.empty()) std::cerr << "rx7731-cli: " << problem << "\n";
  return problem.empty();
}

}  // namespace

void AddExportCommand(CLI::App& app, int& exit_code) {
  auto arguments = std::make_shared<ExportArguments>();
  CLI::App* command = app.add_subcommand(
      "export",
      "Writes every record of a data file as CSV, JSON Lines or an Excel workbook, one record a "
      "row.");
  command->add_option("FILE", arguments->file, "the data file")->required()->type_name("");
  const CLI::Option* format = AddFormatOption(
      *command, arguments->format, kExportFormats,
      "csv, json (JSON Lines) or xlsx (an Excel workbook, to --output); by default the one the "
      "output's name ends in (.csv, .json or .jsonl, .xlsx), else csv");
  CLI::Option* delimiter =
      command
          ->add_option("--delimiter", arguments->delimiter,
                       "the CSV field separator, for example ';' (default ','; \\t for a tab)")
          ->transform(DelimiterValidator())
          ->type_name("CHAR");
  AddOutputOption(*command, arguments->output, "write to FILE instead of standard output");
  AddChannelOption(*command, arguments->channels,
                   "only this channel's readings, with every time record (repeat for more "
                   "channels)");
  command->callback([arguments, format, delimiter, &exit_code] {
    arguments->format = ChosenFormat(*format, arguments->format, arguments->output, kExportFormats);
    if (arguments->format != "csv" && delimiter->count() > 0) {
      throw CLI::ValidationError("--delimiter", "applies to --format csv only");
    }
    if (arguments->format == "xlsx" && arguments->output.empty()) {
      throw CLI::ValidationError("--format xlsx",
                                 "needs --output FILE: a workbook is binary, not for a terminal");
    }
    if (!arguments->output.empty() && SameFile(arguments->output, arguments->file)) {
      throw CLI::ValidationError("--output",
                                 arguments->output + " is the data file being exported");
    }
    const std::unique_ptr<DataFileReader> reader = OpenDataFileOrReport(arguments->file);
    if (!reader) {
      exit_code = kExitFailure;
      return;
    }
    exit_code = CheckChannelsHoldValues(*reader, arguments->channels);
    if (exit_code != kExitOk) return;
    if (arguments->format == "xlsx") {
      exit_code = WriteWorkbookOrReport(*reader, arguments->output, arguments->channels)
                      ? kExitOk
                      : kExitFailure;
      return;
    }
    const bool written = WriteOutputOrReport(arguments->output, [&](std::ostream& out) {
      if (arguments->format == "json") {
        JsonLinesWriter json(out);
        ExportChannels(*reader, json, arguments->channels);
      } else {
        CsvWriter csv(out, arguments->delimiter.front());
        ExportChannels(*reader, csv, arguments->channels);
      }
    });
    exit_code = written ? kExitOk : kExitFailure;
  });
}

}  // namespace rx::cli
