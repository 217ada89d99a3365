#include "tools/meter_line.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace rx::sim {
namespace {

[[noreturn]] void Fail(const std::string& what, int error) {
  throw std::runtime_error(what + ": " + std::strerror(error));
}

// Raw bytes at 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control.
void SetLine(int fd, const std::string& name) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) Fail("Cannot read the line settings of " + name, errno);
  cfmakeraw(&tio);
  tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS | CSIZE);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  cfsetispeed(&tio, B9600);
  cfsetospeed(&tio, B9600);
  if (tcsetattr(fd, TCSANOW, &tio) != 0) Fail("Cannot set 9600 8N1 on " + name, errno);
}

}  // namespace

PseudoTerminalLine::PseudoTerminalLine(const std::string& link) : link_(link) {
  int slave = -1;
  char name[128] = {};
  if (openpty(&master_, &slave, name, nullptr, nullptr) != 0) {
    Fail("Cannot open a pseudo-terminal", errno);
  }
  slave_name_ = name;
  try {
    // The reader may start reading before it has set the line up; in raw mode from the start
    // no CR is turned into LF and nothing is echoed back.
    SetLine(slave, slave_name_);
  } catch (...) {
    close(slave);
    close(master_);
    throw;
  }
  close(slave);  // from now on POLLHUP tells whether the reader has the slave open
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);

  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path path(link_);
  if (path.has_parent_path()) fs::create_directories(path.parent_path(), ec);
  const fs::file_status status = fs::symlink_status(path, ec);
  if (fs::is_symlink(status)) {
    fs::remove(path, ec);
  } else if (fs::exists(status)) {
    close(master_);
    throw std::runtime_error("Cannot create link " + link_ +
                             ": a file of that name exists and is not a link; remove it first");
  }
  if (symlink(slave_name_.c_str(), link_.c_str()) != 0) {
    const int error = errno;
    close(master_);
    Fail("Cannot create link " + link_ + " to " + slave_name_, error);
  }
}

PseudoTerminalLine::~PseudoTerminalLine() {
  RemoveLink();
  if (master_ >= 0) close(master_);
}

void PseudoTerminalLine::RemoveLink() noexcept {
  if (link_.empty()) return;
  char target[256];
  const ssize_t length = readlink(link_.c_str(), target, sizeof target - 1);
  // Another simulator may have taken the path over since; its link is not ours to remove.
  if (length >= 0 && std::string(target, length) == slave_name_) unlink(link_.c_str());
  link_.clear();
}

void PseudoTerminalLine::DiscardInput() {
  char sink[256];
  while (read(master_, sink, sizeof sink) > 0) {
  }
}

bool PseudoTerminalLine::ReaderHasOpen() {
  pollfd p{master_, POLLIN, 0};
  if (poll(&p, 1, 0) < 0) return false;
  if (p.revents & POLLIN) DiscardInput();  // the meter only sends; anything written to it goes
  return !(p.revents & POLLHUP);
}

long PseudoTerminalLine::WriteSome(const char* bytes, size_t count,
                                   std::chrono::milliseconds wait) {
  pollfd p{master_, POLLOUT, 0};
  const int ready = poll(&p, 1, static_cast<int>(wait.count()));
  if (ready < 0) {
    if (errno == EINTR) return 0;
    Fail("Cannot wait for " + slave_name_, errno);
  }
  // Bytes written with no reader would wait in the pseudo-terminal for the next one.
  if (p.revents & POLLHUP) return -1;
  if (!(p.revents & POLLOUT)) return 0;
  const ssize_t written = write(master_, bytes, count);
  if (written < 0) {
    if (errno == EAGAIN || errno == EINTR) return 0;
    if (errno == EIO) return -1;
    Fail("Cannot write to " + slave_name_, errno);
  }
  return written;
}

void PseudoTerminalLine::DiscardUnread() { tcflush(master_, TCOFLUSH); }

std::string PseudoTerminalLine::Describe() const {
  return slave_name_ + (link_.empty() ? "" : " (link " + link_ + ")");
}

SerialDeviceLine::SerialDeviceLine(const std::string& device) : device_(device) {
  fd_ = open(device.c_str(), O_RDWR | O_NOCTTY);
  if (fd_ < 0) Fail("Cannot open serial device " + device, errno);
  try {
    SetLine(fd_, device);
  } catch (...) {
    close(fd_);
    throw;
  }
}

SerialDeviceLine::~SerialDeviceLine() {
  if (fd_ >= 0) close(fd_);
}

long SerialDeviceLine::WriteSome(const char* bytes, size_t count, std::chrono::milliseconds) {
  const ssize_t written = write(fd_, bytes, count);
  if (written < 0) {
    if (errno == EINTR) return 0;
    Fail("Cannot write to " + device_, errno);
  }
  return written;
}

void SerialDeviceLine::DiscardUnread() { tcflush(fd_, TCOFLUSH); }

void SerialDeviceLine::Drain() { tcdrain(fd_); }

}  // namespace rx::sim
