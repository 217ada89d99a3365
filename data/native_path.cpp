#include "data/native_path.h"

#include <cerrno>

#ifdef _WIN32
#include <windows.h>
#endif

namespace rx {

#ifdef _WIN32

namespace {

std::wstring Widen(const std::string& text, UINT code_page, DWORD flags) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(code_page, flags, text.data(), size, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(code_page, flags, text.data(), size, wide.data(), length);
  return wide;
}

}  // namespace

std::error_code LastWindowsError() {
  const DWORD error = ::GetLastError();
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return std::make_error_code(std::errc::no_such_file_or_directory);
    case ERROR_ACCESS_DENIED:
      return std::make_error_code(std::errc::permission_denied);
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return std::make_error_code(std::errc::file_exists);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return std::make_error_code(std::errc::no_space_on_device);
    case ERROR_WRITE_PROTECT:
      return std::make_error_code(std::errc::read_only_file_system);
    default:
      return std::error_code(static_cast<int>(error), std::system_category());
  }
}

std::wstring WidePath(const std::string& path) {
  std::wstring wide = Widen(path, CP_UTF8, MB_ERR_INVALID_CHARS);
  if (wide.empty() && !path.empty()) wide = Widen(path, CP_ACP, 0);
  return wide;
}

std::FILE* OpenNativeFile(const std::string& path, const char* mode) {
  const std::wstring wide_mode(mode, mode + std::char_traits<char>::length(mode));
  return ::_wfopen(WidePath(path).c_str(), wide_mode.c_str());
}

std::filesystem::path NativePath(const std::string& path) {
  return std::filesystem::path(WidePath(path));
}

std::error_code RenameOver(const std::string& from, const std::string& to) {
  if (::MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return {};
  }
  return LastWindowsError();
}

namespace {

// `wide` in the system's code page, or none when that lacks one of its characters.
std::optional<std::string> InCodePage(const std::wstring& wide) {
  if (wide.empty()) return std::nullopt;
  const int size = static_cast<int>(wide.size());
  BOOL lacking = FALSE;
  const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr,
                                           0, nullptr, &lacking);
  if (length <= 0 || lacking) return std::nullopt;
  std::string narrow(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, narrow.data(), length,
                        nullptr, &lacking);
  return narrow;
}

}  // namespace

std::optional<std::string> NarrowFileName(const std::string& path) {
  const std::wstring wide = WidePath(path);
  if (std::optional<std::string> narrow = InCodePage(wide)) return narrow;
  const DWORD length = ::GetShortPathNameW(wide.c_str(), nullptr, 0);
  if (length == 0) return std::nullopt;
  std::wstring short_name(length, L'\0');
  short_name.resize(::GetShortPathNameW(wide.c_str(), short_name.data(), length));
  return InCodePage(short_name);
}

#else

std::FILE* OpenNativeFile(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

std::filesystem::path NativePath(const std::string& path) { return std::filesystem::path(path); }

std::error_code RenameOver(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return {};
  return std::error_code(errno, std::generic_category());
}

std::optional<std::string> NarrowFileName(const std::string& path) { return path; }

#endif

}  // namespace rx
