#pragma once

// What the fuzz targets share: a scratch file on a RAM-backed folder, and a check that stops
// the run with a message so that libFuzzer keeps the input that broke it.

#include <unistd.h>

#include <concepts>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace rx::fuzz {

// A file of this process's own, so parallel fuzzing jobs do not share it; removed when the
// process ends. /dev/shm keeps the file I/O of every run in memory.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& name) {
    std::error_code ec;
    std::filesystem::path dir = "/dev/shm";
    if (!std::filesystem::is_directory(dir, ec)) dir = std::filesystem::temp_directory_path();
    path_ = (dir / ("rx7731-fuzz-" + std::to_string(getpid()) + "-" + name)).string();
  }
  ~ScratchFile() { std::remove(path_.c_str()); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

[[noreturn]] inline void Broken(const char* what, const std::string& detail) {
  std::fprintf(stderr, "invariant broken: %s\n%s\n", what, detail.c_str());
  std::abort();
}

inline void Require(bool holds, const char* what, const std::string& detail = {}) {
  if (!holds) Broken(what, detail);
}

// For a detail that costs something to build: it is built only when the check fails.
template <std::invocable Detail>
inline void Require(bool holds, const char* what, Detail&& detail) {
  if (!holds) Broken(what, detail());
}

}  // namespace rx::fuzz
