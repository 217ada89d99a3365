#pragma once

#include <CLI/CLI.hpp>

namespace rx::cli {

// Each adds its command to `app`. Running the command sets `exit_code` (see exit_codes.h);
// `program_folder` is the folder rx7731-cli runs from, which holds unit2.dat and ports/.
void AddDownloadCommand(CLI::App& app, const std::string& program_folder, int& exit_code);
void AddShowCommand(CLI::App& app, int& exit_code);
void AddExportCommand(CLI::App& app, int& exit_code);
void AddPlotCommand(CLI::App& app, int& exit_code);
void AddStatsCommand(CLI::App& app, int& exit_code);
void AddReportCommand(CLI::App& app, int& exit_code);

}  // namespace rx::cli
