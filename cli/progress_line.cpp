#include "cli/progress_line.h"

namespace rx::cli {
namespace {

// Back to the start of the line, and everything from there to its end erased.
constexpr const char* kRestartLine = "\r\x1b[K";

}  // namespace

void ProgressLine::Show(const std::string& text) {
  if (!enabled_) return;
  std::fputs(kRestartLine, stream_);
  std::fputs(text.c_str(), stream_);
  std::fflush(stream_);
  shown_ = true;
}

void ProgressLine::Clear() {
  if (!shown_) return;
  std::fputs(kRestartLine, stream_);
  std::fflush(stream_);
  shown_ = false;
}

}  // namespace rx::cli
