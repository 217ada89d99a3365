// windows.h comes before the headers that build on it.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <filesystem>

#include "cli/console.h"

namespace rx::cli {
namespace {

std::string Utf8(const wchar_t* text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string utf8(static_cast<size_t>(size - 1), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
  return utf8;
}

}  // namespace

std::vector<std::string> CommandLineWords(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> words;
  for (int i = 0; i < count; ++i) words.push_back(Utf8(wide[i]));
  ::LocalFree(wide);
  return words;
}

std::string ProgramFolder(const std::string& argv0) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD got = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (got == 0) return std::filesystem::absolute(argv0).parent_path().string();
    if (got < path.size()) {
      path.resize(got);
      break;
    }
    path.resize(path.size() * 2);
  }
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  return Utf8(folder.wstring().c_str());
}

void PrepareStandardStreams() {
  ::_setmode(_fileno(stdout), _O_BINARY);
  ::SetConsoleOutputCP(CP_UTF8);
}

bool StandardErrorIsTerminal() { return ::_isatty(_fileno(stderr)) != 0; }

}  // namespace rx::cli
