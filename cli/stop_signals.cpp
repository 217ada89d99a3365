#include "cli/stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

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

StopSignals::StopSignals(std::function<void(int signal)> on_stop) : on_stop_(std::move(on_stop)) {
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    throw std::runtime_error(std::string("cannot create a pipe for signals: ") +
                             std::strerror(errno));
  }
  g_write_end = pipe_[1];
  notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Take(); });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, &previous_int_);
  ::sigaction(SIGTERM, &action, &previous_term_);
}

StopSignals::~StopSignals() {
  ::sigaction(SIGINT, &previous_int_, nullptr);
  ::sigaction(SIGTERM, &previous_term_, nullptr);
  g_write_end = -1;
  notifier_.reset();
  ::close(pipe_[0]);
  ::close(pipe_[1]);
}

void StopSignals::Take() {
  unsigned char number = 0;
  if (::read(pipe_[0], &number, 1) == 1) on_stop_(number);
}

}  // namespace rx::cli
