#pragma once

#include <cstdio>
#include <string>

namespace rx::cli {

// One line of a terminal, redrawn in place. When not enabled it draws nothing, so that logs and
// pipes get no carriage returns.
class ProgressLine {
 public:
  ProgressLine(std::FILE* stream, bool enabled) : stream_(stream), enabled_(enabled) {}
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  bool Enabled() const { return enabled_; }
  // Replaces the line with `text`.
  void Show(const std::string& text);
  // Removes the line, so that the next output starts at the beginning of an empty line.
  void Clear();

 private:
  std::FILE* stream_;
  bool enabled_;
  bool shown_ = false;
};

}  // namespace rx::cli
