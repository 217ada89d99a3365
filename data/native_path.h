#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace rx {

// Paths travel through the program as text in UTF-8. These hand one to the system: on Windows
// through the wide-character API, so that names outside ASCII reach the disk as typed; elsewhere
// unchanged, byte for byte.

// std::fopen for a path in UTF-8; errno tells why it failed.
std::FILE* OpenNativeFile(const std::string& path, const char* mode);

// The same path for std::filesystem.
std::filesystem::path NativePath(const std::string& path);

// Renames the file `from` to `to`, replacing a file of that name in one step. (On Windows a plain
// rename fails when `to` exists.) Returns the system's reason when it cannot.
std::error_code RenameOver(const std::string& from, const std::string& to);

// The name of an existing file for a library that opens files by a narrow name, which Windows
// takes in its code page: the name itself where the code page has all its characters, else its
// short 8.3 form; none when neither will do. Elsewhere the path unchanged.
std::optional<std::string> NarrowFileName(const std::string& path);

#ifdef _WIN32
// The path in UTF-16 for the wide-character API. Text that is not UTF-8 is taken in the
// system's code page, as the narrow API would have.
std::wstring WidePath(const std::string& path);
// GetLastError()'s reason; the common ones in the words the C library gives elsewhere, so that a
// message reads the same on every system.
std::error_code LastWindowsError();
#endif

}  // namespace rx
