#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "cli/command_io.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
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
};

// A delimiter of one usable character; "\t" is taken for a tab, which is awkward to type.
CLI::Validator DelimiterValidator() {
  return CLI::Validator(
      [](std::string& delimiter) {
        if (delimiter == "\\t") delimiter = "\t";
        return CsvDelimiterProblem(delimiter);
      },
      "");
}

// Writes every reading of `reader` as a workbook at `path`. The workbook is made beside it and
// named only when whole, so a file that turns out not to be a data file part-way through leaves
// nothing under that name. Returns false after printing what failed.
bool WriteWorkbookOrReport(DataFileReader& reader, const std::string& path) {
  std::string problem;
  try {
    XlsxWriter workbook(path);
    workbook.WriteHeader();
    ExportTimes times;
    Reading reading;
    while (reader.Next(reading)) {
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

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec);
}

}  // namespace

void AddExportCommand(CLI::App& app, int& exit_code) {
  auto arguments = std::make_shared<ExportArguments>();
  CLI::App* command = app.add_subcommand(
      "export",
      "Writes every record of a data file as CSV, JSON Lines or an Excel workbook, one record a "
      "row.");
  command->add_option("FILE", arguments->file, "the data file")->required()->type_name("");
  command
      ->add_option("--format", arguments->format,
                   "csv (the default), json (JSON Lines) or xlsx (an Excel workbook, to --output)")
      ->check(CLI::IsMember({"csv", "json", "xlsx"}))
      ->type_name("FORMAT");
  CLI::Option* delimiter =
      command
          ->add_option("--delimiter", arguments->delimiter,
                       "the CSV field separator, for example ';' (default ','; \\t for a tab)")
          ->transform(DelimiterValidator())
          ->type_name("CHAR");
  command->add_option("--output", arguments->output, "write to FILE instead of standard output")
      ->type_name("FILE");
  command->callback([arguments, delimiter, &exit_code] {
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
    if (arguments->format == "xlsx") {
      exit_code = WriteWorkbookOrReport(*reader, arguments->output) ? kExitOk : kExitFailure;
      return;
    }
    const bool written = WriteOutputOrReport(arguments->output, [&](std::ostream& out) {
      if (arguments->format == "json") {
        JsonLinesWriter json(out);
        ExportReadings(*reader, json);
      } else {
        CsvWriter csv(out, arguments->delimiter.front());
        ExportReadings(*reader, csv);
      }
    });
    exit_code = written ? kExitOk : kExitFailure;
  });
}

}  // namespace rx::cli
