#include "data/file_names.h"

#include <filesystem>

#include "data/native_path.h"

namespace rx {
namespace {

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

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

std::string ExtensionOf(std::string path) {
  while (!path.empty() && (path.back() == '.' || path.back() == ' ')) path.pop_back();
  const size_t dot = path.rfind('.');
  const size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string extension = path.substr(dot);
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}

bool HasExtension(const std::string& path, std::string_view extension) {
  return ExtensionOf(path) == extension;
}

}  // namespace rx
