#include "cli/command_io.h"

#include <cerrno>
#include <cstring>
#include <iostream>

#include "export/export_file.h"

namespace rx::cli {

std::optional<DataFileContents> ReadDataFileOrReport(const std::string& path) {
  try {
    return ReadWholeDataFile(path);
  } catch (const DataFileError& e) {
    std::cerr << "rx7731-cli: " << e.what() << "\n";
    return std::nullopt;
  }
}

bool WriteOutputOrReport(const std::string& output_path,
                         const std::function<void(std::ostream&)>& write) {
  errno = 0;
  if (output_path.empty()) {
    write(std::cout);
    std::cout.flush();
    if (std::cout) return true;
    std::cerr << "rx7731-cli: Cannot write to standard output: "
              << std::strerror(errno ? errno : EIO) << "\n";
    return false;
  }
  const std::string problem = WriteExportFile(output_path, write);
  if (problem.empty()) return true;
  std::cerr << "rx7731-cli: " << problem << "\n";
  return false;
}

}  // namespace rx::cli
