#include <filesystem>
#include <iostream>

#include "cli/commands.h"
#include "cli/exit_codes.h"

namespace {

// The folder of the running program, which holds unit2.dat and the ports/ links.
std::string ProgramFolder(const char* argv0) {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) return self.parent_path().string();
  return std::filesystem::absolute(argv0, ec).parent_path().string();
}

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
  CLI::App app{"Downloads a meter's memory to a data file, and shows, exports or plots data files.",
               "rx7731-cli"};
  app.set_version_flag("--version", "rx7731-cli " RX_VERSION);
  app.require_subcommand(1, 1);
  int exit_code = kExitOk;
  AddDownloadCommand(app, ProgramFolder(argv[0]), exit_code);
  AddShowCommand(app, exit_code);
  AddExportCommand(app, exit_code);
  AddPlotCommand(app, exit_code);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
    // help() is the usage of the command the error is in, or the program's when none was named.
    std::cerr << "rx7731-cli: " << UsageProblem(app, e) << "\n\n" << app.help();
    return kExitUsage;
  }
  return exit_code;
}
