#include "cli/console_window.h"

#include <iostream>

namespace rx::cli {

void ConsoleWindow::Inform(const std::string& prompt, const std::string& /*title*/) {
  if (download_ != nullptr && download_->fgTransferOK()) return;
  progress_.Clear();
  PrintMessage(prompt);
}

void PrintMessage(const std::string& text) {
  std::string lines;
  for (size_t at = 0; at < text.size(); ++at) {
    if (text.compare(at, 2, "\r\n") == 0) ++at;
    lines += text[at] == '\r' ? '\n' : text[at];
  }
  std::cerr << "rx7731-cli: " << lines << '\n' << std::flush;
}

}  // namespace rx::cli
