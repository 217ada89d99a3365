#pragma once

#include <csignal>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace rx::cli {

// SIGINT and SIGTERM delivered as events of the Qt event loop. The signal handler only writes
// the signal's number to a pipe; `on_stop` runs from the loop, where a download can close its
// port and data file cleanly. The previous handlers come back when this object goes.
class StopSignals {
 public:
  explicit StopSignals(std::function<void(int signal)> on_stop);
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  void Take();

  std::function<void(int)> on_stop_;
  int pipe_[2] = {-1, -1};
  std::unique_ptr<QSocketNotifier> notifier_;
  struct sigaction previous_int_ {};
  struct sigaction previous_term_ {};
};

}  // namespace rx::cli
