#include "export/export_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "data/native_path.h"

namespace rx {
namespace {

namespace fs = std::filesystem;

std::string Reason() { return std::strerror(errno ? errno : EIO); }

std::string WriteDirectly(const std::string& path,
                          const std::function<void(std::ostream&)>& write) {
  errno = 0;
  std::ofstream file(NativePath(path), std::ios::binary | std::ios::trunc);
  if (!file) return "Cannot create " + path + ": " + Reason();
  write(file);
  file.close();
  if (file) return "";
  return "Cannot write " + path + ": " + Reason() + " (the file is incomplete)";
}

// A name beside `path` that no file has yet.
std::string TemporaryName(const std::string& path) {
  static std::mt19937 random(std::random_device{}());
  std::string name;
  std::error_code ec;
  do {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x.part", static_cast<unsigned>(random()));
    name = path + suffix;
  } while (fs::exists(NativePath(name), ec));
  return name;
}

}  // namespace

std::string WriteExportFile(const std::string& path,
                            const std::function<void(std::ostream&)>& write) {
  std::error_code ec;
  const fs::file_status status = fs::status(NativePath(path), ec);
  if (fs::exists(status) && !fs::is_regular_file(status)) return WriteDirectly(path, write);

  // The file a link leads to is the one replaced, and a file that cannot be written is not.
  std::string target = path;
  if (fs::exists(status)) {
    const fs::path real = fs::canonical(NativePath(path), ec);
    if (!ec) {
      const std::u8string text = real.u8string();
      target.assign(text.begin(), text.end());
    }
    errno = 0;
    std::FILE* existing = OpenNativeFile(target, "ab");
    if (existing == nullptr) return "Cannot create " + path + ": " + Reason();
    std::fclose(existing);
  }
  const std::string temporary = TemporaryName(target);
  errno = 0;
  std::ofstream file(NativePath(temporary), std::ios::binary | std::ios::trunc);
  if (!file) return "Cannot create " + path + ": " + Reason();
  try {
    write(file);
  } catch (...) {
    file.close();
    fs::remove(NativePath(temporary), ec);
    throw;
  }
  file.close();
  if (!file) {
    const std::string reason = Reason();
    fs::remove(NativePath(temporary), ec);
    return "Cannot write " + path + ": " + reason;
  }
  if (fs::exists(status)) fs::permissions(NativePath(temporary), status.permissions(), ec);
  if (const std::error_code renamed = RenameOver(temporary, target)) {
    fs::remove(NativePath(temporary), ec);
    return "Cannot write " + path + ": " + renamed.message();
  }
  return "";
}

}  // namespace rx
