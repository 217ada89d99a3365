#pragma once

#include <string>
#include <string_view>

namespace rx {

// Questions about paths in UTF-8, answered through NativePath, so that names outside the
// system's code page give the same answers on Windows as elsewhere.

// Whether `a` and `b` name the same existing file (through links, other spellings of the folder,
// and on Windows other letter case). False when either does not exist.
bool SameFile(const std::string& a, const std::string& b);

// The folder that holds `path`: everything before its last separator; "." when it has none.
std::string FolderOf(const std::string& path);

// The same folder and name with `extension` (".xlsx", ".pdf", ".png") in place of its own.
std::string NameBeside(const std::string& path, std::string_view extension);

// The extension of the file name at the end of `path`, in lower case and with its dot: ".csv".
// Dots and blanks at the end are dropped first, as Windows drops them from a name.
std::string ExtensionOf(std::string path);

// Whether ExtensionOf(path) is `extension` (".xlsx", lower case).
bool HasExtension(const std::string& path, std::string_view extension);

}  // namespace rx
