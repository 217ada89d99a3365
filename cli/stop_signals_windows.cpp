#include <windows.h>

#include <QObject>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "cli/stop_signals.h"

namespace rx::cli {

// Windows calls the console control handler on a thread of its own: the handler queues the stop
// on the loop's thread, through an object that lives there (its queued calls go with it).
struct StopSignals::Platform {
  std::function<void(int)> on_stop;
  QObject loop_context;
};

namespace {

std::mutex g_mutex;
std::condition_variable g_changed;
StopSignals::Platform* g_platform = nullptr;  // one StopSignals at a time

BOOL WINAPI OnConsoleControl(DWORD event) {
  const bool closing =
      event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
  const int signal = closing ? SIGTERM : SIGINT;
  std::unique_lock lock(g_mutex);
  StopSignals::Platform* p = g_platform;
  if (p == nullptr) return FALSE;  // the default handling: end the program
  QMetaObject::invokeMethod(
      &p->loop_context, [p, signal] { p->on_stop(signal); }, Qt::QueuedConnection);
  // For a closed console window or a log-off, Windows ends the program as soon as the handler
  // returns: wait (up to the five seconds Windows allows) until the stop has been handled.
  if (closing) {
    g_changed.wait_for(lock, std::chrono::milliseconds(4500), [] { return !g_platform; });
  }
  return TRUE;
}

}  // namespace

StopSignals::StopSignals(std::function<void(int signal)> on_stop)
    : platform_(std::make_unique<Platform>()) {
  platform_->on_stop = std::move(on_stop);
  {
    std::lock_guard lock(g_mutex);
    g_platform = platform_.get();
  }
  ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

StopSignals::~StopSignals() {
  ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
  std::lock_guard lock(g_mutex);
  g_platform = nullptr;
  g_changed.notify_all();
}

}  // namespace rx::cli
