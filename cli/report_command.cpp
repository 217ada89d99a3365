#include <QApplication>
#include <QFileInfo>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/command_io.h"
#include "cli/commands.h"
#include "cli/drawing_application.h"
#include "cli/exit_codes.h"
#include "data/file_names.h"
#include "report/readings_report.h"

namespace rx::cli {
namespace {

struct ReportArguments {
  std::string file;
  std::string output;
  std::vector<int> channels;
  std::string paper;  // empty: by the system's locale
};

int Report(const ReportArguments& arguments) {
  const std::unique_ptr<DataFileReader> reader = OpenDataFileOrReport(arguments.file);
  if (!reader) return kExitFailure;
  if (const int checked = CheckChannelsHoldValues(*reader, arguments.channels);
      checked != kExitOk) {
    return checked;
  }
  const std::unique_ptr<QApplication> application = StartDrawing();
  ReportOptions options;
  options.channels.assign(arguments.channels.begin(), arguments.channels.end());
  options.paper = arguments.paper.empty()       ? DefaultPaper()
                  : arguments.paper == "letter" ? QPageSize::Letter
                                                : QPageSize::A4;
  DataFileRecords records(*reader);
  const ReportOutcome outcome = WriteReport(records, arguments.file, arguments.output, options);
  if (!outcome.problem.empty()) {
    std::cerr << "rx7731-cli: " << outcome.problem << "\n";
    return kExitFailure;
  }
  std::cout << arguments.output << ": " << outcome.records
            << (outcome.records == 1 ? " record" : " records") << " on " << outcome.pages
            << (outcome.pages == 1 ? " page" : " pages") << "\n";
  return kExitOk;
}

}  // namespace

void AddReportCommand(CLI::App& app, int& exit_code) {
  auto arguments = std::make_shared<ReportArguments>();
  CLI::App* command = app.add_subcommand(
      "report",
      "Writes a PDF report of a data file: its statistics, chart and sessions on page 1, then "
      "every record as View Data shows it, each page numbered.");
  command->add_option("FILE", arguments->file, "the data file")->required()->type_name("");
  AddOutputOption(*command, arguments->output, "the PDF file to write")
      ->required()
      ->check(CLI::Validator(
          [](const std::string& path) -> std::string {
            if (QFileInfo(QString::fromStdString(path)).suffix().toLower() == "pdf") return {};
            return "the output's name must end in .pdf: " + path;
          },
          "OUT.pdf"));
  AddChannelOption(*command, arguments->channels,
                   "the statistics and chart of this channel only (repeat for more channels)");
  command
      ->add_option("--paper", arguments->paper,
                   "a4 or letter (default: letter where the system's locale measures in "
                   "inches, a4 elsewhere)")
      ->check(CLI::IsMember({"a4", "letter"}))
      ->type_name("PAPER");
  command->callback([arguments, &exit_code] {
    if (SameFile(arguments->output, arguments->file)) {
      throw CLI::ValidationError("--output", arguments->output + " is the data file reported on");
    }
    exit_code = Report(*arguments);
  });
}

}  // namespace rx::cli
