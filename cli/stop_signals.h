#pragma once

#include <csignal>
#include <functional>
#include <memory>

namespace rx::cli {

// The requests to stop that a terminal sends, delivered as events of the Qt event loop, where a
// download can close its port and data file cleanly: `on_stop` runs from the loop with SIGINT
// (Ctrl+C; on Windows also Ctrl+Break) or SIGTERM (on Windows: the console window closed, or the
// user logging off). The previous handling comes back when this object goes.
class StopSignals {
 public:
  explicit StopSignals(std::function<void(int signal)> on_stop);
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  struct Platform;  // POSIX signal handlers, or a Windows console control handler

 private:
  std::unique_ptr<Platform> platform_;
};

}  // namespace rx::cli
