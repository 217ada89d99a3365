#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "data/data_file_reader.h"
#include "data/readings.h"

namespace rx::cli {

// The data file at `path`, opened to be read one record at a time. On failure prints the reader's
// message (the file and the system's reason) to stderr and returns none.
std::unique_ptr<DataFileReader> OpenDataFileOrReport(const std::string& path);

// Runs `write` on the file at `output_path`, created or emptied, or on stdout when the path is
// empty. Returns false after printing what failed, on what, and the system's reason to stderr.
// When `write` throws DataFileError (the data file being read turns out not to be one part-way
// through), its message is printed the same way: what went to stdout stays there, and no file is
// left at `output_path` (one that was there is left as it was).
// Adds --channel (-c) to `command`, a channel number each time it is given, `help` saying what
// it limits.
void AddChannelOption(CLI::App& command, std::vector<int>& channels, const std::string& help);

bool WriteOutputOrReport(const std::string& output_path,
                         const std::function<void(std::ostream&)>& write);

}  // namespace rx::cli
