#include <iostream>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/exit_codes.h"

namespace {

// What was wrong with the command line. CLI11 reports a word that names no command only as a
// missing command; say which word it was.
std::string UsageProblem(const CLI::App& app, const CLI::ParseError& e) {
  const std::vector<std::string> left = app.remaining();
  if (app.get_subcommands().empty() && !left.empty()) {
    const std::string& word = left.front();
    return (word.starts_with("-") ? "unknown option " : "unknown command ") + word;
  }
  return e.what();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace rx::cli;
  CLI::App app{
      "Downloads a meter's memory to a data file, and shows, exports, plots, sums up or reports "
      "on data files.",
      "rx7731-cli"};
  app.set_version_flag("--version", "rx7731-cli " RX_VERSION);
  app.require_subcommand(1, 1);
  // Options begin with "-" on Windows too, so that a path such as /data/x.dat stays a path.
  app.allow_windows_style_options(false);
  int exit_code = kExitOk;
  PrepareStandardStreams();
  const std::vector<std::string> words = CommandLineWords(argc, argv);
  std::vector<char*> word_pointers;
  for (const std::string& word : words) word_pointers.push_back(const_cast<char*>(word.c_str()));
  AddDownloadCommand(app, ProgramFolder(words.empty() ? argv[0] : words.front()), exit_code);
  AddShowCommand(app, exit_code);
  AddExportCommand(app, exit_code);
  AddPlotCommand(app, exit_code);
  AddStatsCommand(app, exit_code);
  AddReportCommand(app, exit_code);
  try {
    app.parse(static_cast<int>(word_pointers.size()), word_pointers.data());
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
    // help() is the usage of the command the error is in, or the program's when none was named.
    std::cerr << "rx7731-cli: " << UsageProblem(app, e) << "\n\n" << app.help();
    return kExitUsage;
  }
  return exit_code;
}
