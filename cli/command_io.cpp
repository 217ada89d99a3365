#include "cli/command_io.h"

#include <cerrno>
#include <cstring>
#include <iostream>

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

}  // namespace rx::cli
