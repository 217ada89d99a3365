#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "cli/stop_signals.h"

namespace rx::cli {
namespace {

// The pipe's writing end, for the handler; one StopSignals at a time.
volatile std::sig_atomic_t g_write_end = -1;

void OnSignal(int signal) {
  const int saved = errno;
  const unsigned char number = static_cast<unsigned char>(signal);
  // Full pipe: a stop is already waiting to be taken, and one is enough.
  [[maybe_unused]] const ssize_t written = ::write(g_write_end, &number, 1);
  errno = saved;
}

}  // namespace

// The signal handler only writes the signal's number to a pipe, which the loop watches.
struct StopSignals::Platform {
  int pipe[2] = {-1, -1};
  std::unique_ptr<QSocketNotifier> notifier;
  struct sigaction previous_int {};
  struct sigaction previous_term {};
};

StopSignals::StopSignals(std::function<void(int signal)> on_stop)
    : platform_(std::make_unique<Platform>()) {
  Platform& p = *platform_;
  if (::pipe2(p.pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    throw std::runtime_error(std::string("cannot create a pipe for signals: ") +
                             std::strerror(errno));
  }
  g_write_end = p.pipe[1];
  p.notifier = std::make_unique<QSocketNotifier>(p.pipe[0], QSocketNotifier::Read);
  QObject::connect(p.notifier.get(), &QSocketNotifier::activated,
                   [read_end = p.pipe[0], on_stop = std::move(on_stop)] {
                     unsigned char number = 0;
                     if (::read(read_end, &number, 1) == 1) on_stop(number);
                   });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, &p.previous_int);
  ::sigaction(SIGTERM, &action, &p.previous_term);
}

StopSignals::~StopSignals() {
  Platform& p = *platform_;
  ::sigaction(SIGINT, &p.previous_int, nullptr);
  ::sigaction(SIGTERM, &p.previous_term, nullptr);
  g_write_end = -1;
  p.notifier.reset();
  ::close(p.pipe[0]);
  ::close(p.pipe[1]);
}

}  // namespace rx::cli
