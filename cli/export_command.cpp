#include <iostream>

#include "cli/commands.h"
#include "cli/exit_codes.h"

namespace rx::cli {

void AddExportCommand(CLI::App& app, int& exit_code) {
  CLI::App* command = app.add_subcommand("export", "(not built yet)");
  command->callback([&exit_code] {
    std::cerr << "rx7731-cli: export is not built yet\n";
    exit_code = kExitFailure;
  });
}

}  // namespace rx::cli
