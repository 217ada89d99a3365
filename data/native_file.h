#pragma once

#include <cstdio>
#include <string>
#include <system_error>

namespace rx {

// The system's side of replacing a file (file_replacement.h); paths in UTF-8, as NativePath
// takes them.

enum class NativeFileKind { kNone, kPlainFile, kOther };
// What is at `path` (links followed): nothing, a plain file, or anything else (a folder, a device,
// a pipe), which is written in place rather than replaced.
NativeFileKind KindOf(const std::string& path);

// Creates a file that does not exist yet and opens it for writing, binary. Fails with "file
// exists" when the name is taken, so that two writers never share one. On Windows the file can be
// renamed while it is open, which a data file needs at its first record.
std::FILE* CreateNewNativeFile(const std::string& path, std::error_code& error);

// Hands what has reached the system for `file` (stdio's buffer flushed) down to the disk.
std::error_code SyncNativeFile(std::FILE* file);
// The same for the file at `path`, which nothing of this program holds open for writing.
std::error_code SyncNativeFile(const std::string& path);
// Makes a rename into `folder` last through a power cut. Nothing to do on Windows, whose rename
// is written through.
std::error_code SyncNativeFolder(const std::string& folder);

// Why the existing file at `path` cannot be replaced: it is read-only (for every user, root and
// administrators included), or on Windows another program holds it open without allowing that.
// None when it can be, or when `path` cannot be checked (creating the new file then says why).
std::error_code ReplacementRefused(const std::string& path);

}  // namespace rx
