#pragma once

// A pseudo-terminal pair standing in for a meter on a serial cable: the program opens the slave
// side as its port, the test writes the meter's bytes to the master side.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <filesystem>
#include <string>

namespace rx::test {

class Pty {
 public:
  Pty() {
    // Start from a line unlike 9600 8N1, so that a test sees what the program set. (The driver
    // keeps a pseudo-terminal at 8 data bits without parity whatever is asked.)
    termios line{};
    cfmakeraw(&line);
    cfsetspeed(&line, B115200);
    line.c_cflag |= CSTOPB | CRTSCTS;
    line.c_iflag |= IXON | IXOFF;
    char name[256];
    if (::openpty(&master_, &slave_, name, &line, nullptr) != 0) {
      ADD_FAILURE() << "openpty failed";
      return;
    }
    slave_name_ = name;
  }
  ~Pty() {
    CloseMaster();
    if (slave_ >= 0) ::close(slave_);
  }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  const std::string& SlaveName() const { return slave_name_; }

  void Write(const std::string& bytes) const {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  // The meter side hangs up, as when the cable is pulled.
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  // The line as the terminal driver holds it now.
  termios Line() const {
    termios line{};
    EXPECT_EQ(::tcgetattr(slave_, &line), 0);
    return line;
  }

  // Links `folder`/ports/com`port` to the slave side.
  void LinkAsPort(const std::filesystem::path& folder, int port) const {
    std::filesystem::create_directories(folder / "ports");
    std::filesystem::create_symlink(slave_name_, folder / "ports" / ("com" + std::to_string(port)));
  }

 private:
  int master_ = -1;
  int slave_ = -1;  // held open so that the pair lives as long as the test
  std::string slave_name_;
};

// The Qt event loop that delivers the port's notifications.
inline void EnsureQtApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "serial_tests";
  static char* argv[] = {name, nullptr};
  new QCoreApplication(argc, argv);
}

// Runs the event loop until `done` holds or `ms` have passed; returns whether it holds.
template <typename Done>
bool RunEventsUntil(Done done, int ms = 3000) {
  const QDeadlineTimer deadline(ms);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
  return true;
}

inline void RunEventsFor(int ms) {
  RunEventsUntil([] { return false; }, ms);
}

}  // namespace rx::test
