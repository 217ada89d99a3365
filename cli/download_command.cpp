#include <iostream>

#include "cli/commands.h"
#include "cli/exit_codes.h"

namespace rx::cli {

void AddDownloadCommand(CLI::App& app, const std::string& /*program_folder*/, int& exit_code) {
  CLI::App* command = app.add_subcommand("download", "(not built yet)");
  command->callback([&exit_code] {
    std::cerr << "rx7731-cli: download is not built yet\n";
    exit_code = kExitFailure;
  });
}

}  // namespace rx::cli
