#include "data/file_names.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "data/native_path.h"

namespace rx {
namespace {

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(NativePath(a), NativePath(b), ec);
}

std::string FolderOf(const std::string& path) {
  const std::filesystem::path folder = NativePath(path).parent_path();
  return folder.empty() ? "." : Utf8(folder);
}

std::string NameBeside(const std::string& path, std::string_view extension) {
  return Utf8(NativePath(path).replace_extension(NativePath(std::string(extension))));
}

bool HasExtension(const std::string& path, std::string_view extension) {
  const std::string own = Utf8(NativePath(path).extension());
  return std::equal(own.begin(), own.end(), extension.begin(), extension.end(),
                    [](char a, char b) { return Lower(a) == Lower(b); });
}

}  // namespace rx
