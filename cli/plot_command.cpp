#include <iostream>

#include "cli/commands.h"
#include "cli/exit_codes.h"

namespace rx::cli {

void AddPlotCommand(CLI::App& app, int& exit_code) {
  CLI::App* command = app.add_subcommand("plot", "(not built yet)");
  command->callback([&exit_code] {
    std::cerr << "rx7731-cli: plot is not built yet\n";
    exit_code = kExitFailure;
  });
}

}  // namespace rx::cli
