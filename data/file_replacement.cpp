#include "data/file_replacement.h"

#include <cerrno>
#include <random>

#include "data/file_names.h"
#include "data/native_file.h"
#include "data/native_path.h"

namespace rx {
namespace {

namespace fs = std::filesystem;

std::error_code Errno() { return std::error_code(errno ? errno : EIO, std::generic_category()); }

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// A name beside `target` for its new contents; a few tries find one that no file has.
std::string NewName(const std::string& target, unsigned attempt) {
  static std::mt19937 random(std::random_device{}());
  char suffix[24];
  std::snprintf(suffix, sizeof suffix, ".%08x.part", static_cast<unsigned>(random()) + attempt);
  return target + suffix;
}

}  // namespace

FileReplacement::FileReplacement(std::string path) : path_(std::move(path)) {}

FileReplacement::~FileReplacement() { Discard(); }

std::error_code FileReplacement::Create() {
  std::error_code ec;
  const NativeFileKind kind = KindOf(path_);
  target_ = path_;
  if (kind == NativeFileKind::kOther) {
    direct_ = true;
    file_path_ = path_;
    errno = 0;
    file_ = OpenNativeFile(path_, "wb");
    if (file_ == nullptr) return Errno();
    created_ = true;
    return {};
  }
  if (kind == NativeFileKind::kPlainFile) {
    const fs::path real = fs::canonical(NativePath(path_), ec);
    if (!ec) target_ = Utf8(real);
    if (const std::error_code refused = ReplacementRefused(target_)) return refused;
  }
  std::error_code error;
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    file_path_ = NewName(target_, attempt);
    error.clear();
    file_ = CreateNewNativeFile(file_path_, error);
    if (file_ != nullptr || error != std::errc::file_exists) break;
  }
  if (file_ == nullptr) return error;
  created_ = true;
  if (kind == NativeFileKind::kPlainFile) {
    const fs::perms perms = fs::status(NativePath(target_), ec).permissions();
    if (!ec) fs::permissions(NativePath(file_path_), perms, ec);
  }
  return {};
}

std::error_code FileReplacement::CloseFile() {
  if (file_ == nullptr) return {};
  std::FILE* file = file_;
  file_ = nullptr;
  errno = 0;
  if (std::fclose(file) != 0) return Errno();
  return {};
}

std::error_code FileReplacement::Commit() {
  if (!created_ || committed_) return {};
  errno = 0;
  if (file_ != nullptr && std::fflush(file_) != 0) return Errno();
  if (direct_) {
    committed_ = true;
    return {};
  }
  // Bytes on the disk before the name moves: a power cut never leaves the name on an empty file.
  if (const std::error_code error =
          file_ != nullptr ? SyncNativeFile(file_) : SyncNativeFile(file_path_)) {
    return error;
  }
  if (const std::error_code error = RenameOver(file_path_, target_)) return error;
  committed_ = true;
  file_path_ = target_;
  return SyncNativeFolder(FolderOf(target_));
}

void FileReplacement::Discard() noexcept {
  CloseFile();
  if (created_ && !committed_ && !direct_) {
    std::error_code ec;
    fs::remove(NativePath(file_path_), ec);
  }
  created_ = false;
}

}  // namespace rx
