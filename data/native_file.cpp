#include "data/native_file.h"

#include <cerrno>

#include "data/native_path.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace rx {

#ifdef _WIN32

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

NativeFileKind KindOf(const std::string& path) {
  const std::wstring wide = WidePath(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return NativeFileKind::kNone;
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
    return NativeFileKind::kOther;
  // A device or a pipe can look like a file by its attributes (under Wine, /dev/full does).
  const HANDLE handle = ::CreateFileW(wide.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return NativeFileKind::kOther;
  const DWORD type = ::GetFileType(handle);
  ::CloseHandle(handle);
  return type == FILE_TYPE_DISK ? NativeFileKind::kPlainFile : NativeFileKind::kOther;
}

std::FILE* CreateNewNativeFile(const std::string& path, std::error_code& error) {
  const std::wstring wide = WidePath(path);
  const HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = LastWindowsError();
    return nullptr;
  }
  const int descriptor = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
  if (descriptor == -1) {
    error = std::error_code(errno ? errno : EMFILE, std::generic_category());
    ::CloseHandle(handle);
    ::DeleteFileW(wide.c_str());
    return nullptr;
  }
  std::FILE* file = ::_fdopen(descriptor, "wb");
  if (file == nullptr) {
    error = std::error_code(errno ? errno : EMFILE, std::generic_category());
    ::_close(descriptor);
    ::DeleteFileW(wide.c_str());
  }
  return file;
}

std::error_code SyncNativeFile(std::FILE* file) {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
  if (::FlushFileBuffers(handle)) return {};
  return LastWindowsError();
}

std::error_code SyncNativeFile(const std::string& path) {
  const HANDLE handle = ::CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, kShareAll, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastWindowsError();
  const std::error_code error = ::FlushFileBuffers(handle) ? std::error_code() : LastWindowsError();
  ::CloseHandle(handle);
  return error;
}

std::error_code SyncNativeFolder(const std::string&) { return {}; }

std::error_code ReplacementRefused(const std::string& path) {
  const std::wstring wide = WidePath(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return {};
  if (attributes & FILE_ATTRIBUTE_READONLY)
    return std::make_error_code(std::errc::permission_denied);
  // The rename needs DELETE access; a program that holds the file open without sharing that
  // (Excel shares nothing) makes this fail with a sharing violation.
  const HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_WRITE | DELETE, kShareAll, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastWindowsError();
  ::CloseHandle(handle);
  return {};
}

#else

namespace {

std::error_code Errno() { return std::error_code(errno ? errno : EIO, std::generic_category()); }

std::error_code SyncDescriptorOf(const std::string& path, int flags) {
  const int descriptor = ::open(path.c_str(), flags | O_CLOEXEC);
  if (descriptor < 0) return Errno();
  std::error_code error;
  // A file system that cannot sync a folder (EINVAL) keeps its names as it can.
  if (::fsync(descriptor) != 0 && errno != EINVAL) error = Errno();
  ::close(descriptor);
  return error;
}

}  // namespace

NativeFileKind KindOf(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return NativeFileKind::kNone;
  return S_ISREG(info.st_mode) ? NativeFileKind::kPlainFile : NativeFileKind::kOther;
}

std::FILE* CreateNewNativeFile(const std::string& path, std::error_code& error) {
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    error = Errno();
    return nullptr;
  }
  std::FILE* file = ::fdopen(descriptor, "wb");
  if (file == nullptr) {
    error = Errno();
    ::close(descriptor);
    ::unlink(path.c_str());
  }
  return file;
}

std::error_code SyncNativeFile(std::FILE* file) {
  if (::fsync(::fileno(file)) == 0) return {};
  return Errno();
}

std::error_code SyncNativeFile(const std::string& path) { return SyncDescriptorOf(path, O_RDONLY); }

std::error_code SyncNativeFolder(const std::string& folder) {
  return SyncDescriptorOf(folder, O_RDONLY | O_DIRECTORY);
}

std::error_code ReplacementRefused(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return {};
  // Root may write anything; a file that nobody may write is still refused, as Windows refuses a
  // read-only file to its administrators.
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    return std::make_error_code(std::errc::permission_denied);
  }
  if (::access(path.c_str(), W_OK) != 0) return Errno();
  return {};
}

#endif

}  // namespace rx
