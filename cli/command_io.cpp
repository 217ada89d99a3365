#include "cli/command_io.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>

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
  std::ofstream file(output_path, std::ios::binary | std::ios::trunc);
  if (!file) {
    std::cerr << "rx7731-cli: Cannot create " << output_path << ": "
              << std::strerror(errno ? errno : EIO) << "\n";
    return false;
  }
  write(file);
  file.close();
  if (file) return true;
  std::cerr << "rx7731-cli: Cannot write " << output_path << ": "
            << std::strerror(errno ? errno : EIO) << " (the file is incomplete)\n";
  return false;
}

}  // namespace rx::cli
