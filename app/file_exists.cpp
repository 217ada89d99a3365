#include "app/file_exists.h"

#include <sys/stat.h>

#include <cerrno>

namespace rx {
namespace {

bool IsFolder(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The folder part of `path`: everything before its last separator; "." when it has none.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

bool FileExists(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) == 0) return true;
  if (errno != ENOENT) return true;
  // A missing folder also gives ENOENT here; only a missing file in a folder that is there is
  // "file not found".
  return !IsFolder(FolderOf(path));
}

}  // namespace rx
