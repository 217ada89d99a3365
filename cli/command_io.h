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
bool WriteOutputOrReport(const std::string& output_path,
                         const std::function<void(std::ostream&)>& write);

// Adds --channel (-c) to `command`, a channel number each time it is given, `help` saying what
// it limits.
void AddChannelOption(CLI::App& command, std::vector<int>& channels, const std::string& help);

// Adds --output (-o) to `command`. A name that ends in .dat is refused as a usage error, in any
// case and with any dots or blanks after it (which Windows drops): only a download writes a data
// file, and no export, chart or report may replace one.
CLI::Option* AddOutputOption(CLI::App& command, std::string& output, const std::string& help);

// Adds --format (-f), one of `choices`.
CLI::Option* AddFormatOption(CLI::App& command, std::string& format,
                             const std::vector<std::string>& choices, const std::string& help);

// The format to write: the one given with `format_option` (into `format`), else the one the
// name of `output` asks for (.csv, .json or .jsonl, .xlsx), else `format` as it is, the
// default. Throws CLI::ValidationError where the two disagree, or where the name asks for a
// format that is none of `choices`, so that no file holds what its name does not say.
std::string ChosenFormat(const CLI::Option& format_option, const std::string& format,
                         const std::string& output, const std::vector<std::string>& choices);

// Whether a reading is of the chosen `channels` (all where none are chosen); time records belong
// to every channel, as they begin the sessions of each.
bool OfChannels(const Reading& reading, const std::vector<int>& channels);
bool OfChannels(const StoredRecord& record, const std::vector<int>& channels);

// Every command's answer where the channels asked for hold no reading with a value: prints
// "FILE holds no readings with a value on channel 9" and returns the exit code for it.
int NoReadingsOnChannels(const std::string& file, const std::vector<int>& channels);

// Reads `reader` through for a reading with a value on `channels` and starts it again. Returns
// kExitOk where there is one or no channel was chosen; otherwise says why and returns the exit
// code: NoReadingsOnChannels's, or that of a file that is no data file.
int CheckChannelsHoldValues(DataFileReader& reader, const std::vector<int>& channels);

}  // namespace rx::cli
