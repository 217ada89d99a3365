#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace rx {

// A new file that takes the place of the file at a path (or of a name not yet taken) in one
// step, so that the name never holds a half-written file and a failure leaves what was there.
// Every output of the program is written this way: exports, workbooks, chart images, reports and
// data files.
//
// The new contents go to a file of their own beside the target, under a name that no other
// writer has; Commit flushes it to the disk and renames it over the target. A link is followed:
// the file it leads to is replaced, and the link stays. The new file has the permissions of the
// file it replaces. A device or a pipe at the path is written directly, and Commit only flushes.
class FileReplacement {
 public:
  // Paths in UTF-8, as NativePath takes them.
  explicit FileReplacement(std::string path);
  // Discards a replacement that was not committed.
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Refuses a target that cannot be replaced (read-only; on Windows held open by another
  // program) and creates the new file, empty and open for writing as File().
  std::error_code Create();
  // Where File() writes: the new file beside the target, after Commit the target itself (with
  // links followed); a device or pipe's own path.
  const std::string& FilePath() const { return file_path_; }
  // Open from Create to CloseFile or Discard.
  std::FILE* File() const { return file_; }
  // Closes File(), for a writer that opens FilePath() by its name, or for the end of writing.
  std::error_code CloseFile();
  // Puts the new file in the target's place: its bytes on the disk, then the rename, then the
  // folder on the disk. File() stays open, for appending to the target, if it was open.
  std::error_code Commit();
  bool Committed() const { return committed_; }
  // The path holds a device or a pipe, written in place.
  bool Direct() const { return direct_; }
  // Closes File() and, before Commit, removes the new file.
  void Discard() noexcept;

 private:
  std::string path_;
  std::string target_;  // path_ with links followed
  std::string file_path_;
  std::FILE* file_ = nullptr;
  bool direct_ = false;
  bool created_ = false;
  bool committed_ = false;
};

}  // namespace rx
