#include "cli/command_io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>

#include "cli/exit_codes.h"
#include "data/file_names.h"
#include "export/export_file.h"

namespace rx::cli {
namespace {

void Report(const std::string& problem) { std::cerr << "rx7731-cli: " << problem << "\n"; }

}  // namespace

std::unique_ptr<DataFileReader> OpenDataFileOrReport(const std::string& path) {
  try {
    return std::make_unique<DataFileReader>(path);
  } catch (const DataFileError& e) {
    Report(e.what());
    return nullptr;
  }
}

bool WriteOutputOrReport(const std::string& output_path,
                         const std::function<void(std::ostream&)>& write) {
  errno = 0;
  if (output_path.empty()) {
    try {
      write(std::cout);
    } catch (const DataFileError& e) {
      std::cout.flush();
      Report(e.what());
      return false;
    }
    std::cout.flush();
    if (std::cout) return true;
    Report(std::string("Cannot write to standard output: ") + std::strerror(errno ? errno : EIO));
    return false;
  }
  try {
    const std::string problem = WriteExportFile(output_path, write);
    if (problem.empty()) return true;
    Report(problem);
  } catch (const DataFileError& e) {
    Report(e.what());
  }
  return false;
}

void AddChannelOption(CLI::App& command, std::vector<int>& channels, const std::string& help) {
  command.add_option("--channel,-c", channels, help)->check(CLI::Range(-32768, 32767));
}

namespace {

std::string FormatOfName(const std::string& path) {
  const std::string extension = ExtensionOf(path);
  if (extension == ".csv") return "csv";
  if (extension == ".json" || extension == ".jsonl") return "json";
  if (extension == ".xlsx") return "xlsx";
  return {};
}

bool ChannelChosen(RecordKind kind, int channel, const std::vector<int>& channels) {
  return kind == RecordKind::kTime || channels.empty() ||
         std::find(channels.begin(), channels.end(), channel) != channels.end();
}

std::string ChannelList(const std::vector<int>& channels) {
  std::string list;
  for (const int channel : channels) list += (list.empty() ? "" : ", ") + std::to_string(channel);
  return list;
}

}  // namespace

CLI::Option* AddOutputOption(CLI::App& command, std::string& output, const std::string& help) {
  return command.add_option("--output,-o", output, help)
      ->type_name("FILE")
      ->check(CLI::Validator(
          [](const std::string& path) -> std::string {
            if (ExtensionOf(path) != ".dat") return {};
            return path +
                   " is named as a data file, and only a download writes those: give the "
                   "output another name";
          },
          ""));
}

CLI::Option* AddFormatOption(CLI::App& command, std::string& format,
                             const std::vector<std::string>& choices, const std::string& help) {
  return command.add_option("--format,-f", format, help)
      ->check(CLI::IsMember(choices))
      ->type_name("FORMAT");
}

std::string ChosenFormat(const CLI::Option& format_option, const std::string& format,
                         const std::string& output, const std::vector<std::string>& choices) {
  const std::string named = FormatOfName(output);
  if (named.empty()) return format;
  if (format_option.count() > 0) {
    if (named != format) {
      throw CLI::ValidationError("--format " + format,
                                 "disagrees with the name of the output " + output);
    }
    return format;
  }
  if (std::find(choices.begin(), choices.end(), named) == choices.end()) {
    throw CLI::ValidationError("--output", output + " is named as " + named +
                                               ", which this command does not write: give the "
                                               "output another name");
  }
  return named;
}

bool OfChannels(const Reading& reading, const std::vector<int>& channels) {
  return ChannelChosen(reading.kind, reading.channel, channels);
}

bool OfChannels(const StoredRecord& record, const std::vector<int>& channels) {
  return ChannelChosen(KindOf(record), record.Channel, channels);
}

int NoReadingsOnChannels(const std::string& file, const std::vector<int>& channels) {
  Report(file + " holds no readings with a value on " +
         (channels.size() == 1 ? "channel " : "channels ") + ChannelList(channels));
  return kExitFailure;
}

int CheckChannelsHoldValues(DataFileReader& reader, const std::vector<int>& channels) {
  if (channels.empty()) return kExitOk;
  bool found = false;
  try {
    Reading reading;
    while (!found && reader.Next(reading)) {
      found = reading.kind != RecordKind::kTime && reading.value && OfChannels(reading, channels);
    }
  } catch (const DataFileError& e) {
    Report(e.what());
    return kExitFailure;
  }
  reader.Rewind();
  return found ? kExitOk : NoReadingsOnChannels(reader.Path(), channels);
}

}  // namespace rx::cli
