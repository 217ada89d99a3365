#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "data/readings.h"

namespace rx::cli {

// Every record of the data file at `path`. On failure prints the reader's message (the file, and
// the line that is not a record, or the system's reason) to stderr and returns none.
std::optional<DataFileContents> ReadDataFileOrReport(const std::string& path);

// Runs `write` on the file at `output_path`, created or emptied, or on stdout when the path is
// empty. Returns false after printing what failed, on what, and the system's reason to stderr.
bool WriteOutputOrReport(const std::string& output_path,
                         const std::function<void(std::ostream&)>& write);

}  // namespace rx::cli
