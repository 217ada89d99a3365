#include <unistd.h>

#include <filesystem>

#include "cli/console.h"

namespace rx::cli {

std::vector<std::string> CommandLineWords(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

std::string ProgramFolder(const std::string& argv0) {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) return self.parent_path().string();
  return std::filesystem::absolute(argv0, ec).parent_path().string();
}

void PrepareStandardStreams() {}

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace rx::cli
