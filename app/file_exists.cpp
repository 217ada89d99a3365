#include "app/file_exists.h"

#ifdef _WIN32
#include <windows.h>

#include "data/native_path.h"
#else
#include <sys/stat.h>

#include <cerrno>

#include "data/file_names.h"
#endif

namespace rx {

#ifdef _WIN32

bool FileExists(const std::string& path) {
  // A name that ends in a separator names a folder, never a file that Start could create.
  if (!path.empty() && (path.back() == '\\' || path.back() == '/')) return true;
  if (::GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  // A missing folder gives ERROR_PATH_NOT_FOUND, on Windows and on Wine alike (OpenFile would
  // say ERROR_FILE_NOT_FOUND there under Wine).
  return ::GetLastError() != ERROR_FILE_NOT_FOUND;
}

#else

namespace {

bool IsFolder(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
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

#endif

}  // namespace rx
