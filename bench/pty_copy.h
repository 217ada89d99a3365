#pragma once

// What the benchmarks that feed a pseudo-terminal share: the pseudo-terminal, and the plain
// copy of the same bytes through one that a download is measured against.

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "e2e/child_process.h"
#include "support/fakes.h"

namespace rx::bench {

// A pseudo-terminal in raw mode at a speed the program does not use, so that its opening of
// the port shows as the speed changing to 9600.
class Pty {
 public:
  Pty() {
    termios line{};
    cfmakeraw(&line);
    cfsetspeed(&line, B115200);
    char name[256];
    if (openpty(&master_, &slave_, name, &line, nullptr) != 0) throw std::runtime_error("openpty");
    slave_name_ = name;
  }
  ~Pty() {
    if (master_ >= 0) close(master_);
    close(slave_);
  }
  const std::string& SlaveName() const { return slave_name_; }
  int Master() const { return master_; }

  bool OpenedAt9600() const {
    termios line{};
    return tcgetattr(slave_, &line) == 0 && cfgetispeed(&line) == B9600;
  }

  // Writes every byte, at most `most` bytes a write.
  void WriteAll(const char* data, size_t size, size_t most = SIZE_MAX) const {
    while (size > 0) {
      const ssize_t n = write(master_, data, std::min(size, most));
      if (n < 0) {
        if (errno == EINTR) continue;
        throw std::runtime_error(std::string("write to the pseudo-terminal: ") + strerror(errno));
      }
      data += n;
      size -= static_cast<size_t>(n);
    }
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slave_name_;
};

// Seconds for `cat` to copy `stream` from a file to a pseudo-terminal's slave side, until the
// last byte is read from the master side.
inline double CatSeconds(const std::string& stream) {
  test::TempDir dir;
  Pty pty;
  const std::string bytes_file = dir.File("stream.bin");
  test::WriteBytes(bytes_file, stream);
  std::vector<char> buffer(1 << 16);
  const auto start = std::chrono::steady_clock::now();
  test::ChildProcess cat({"/bin/sh", "-c", "exec cat '" + bytes_file + "' > " + pty.SlaveName()},
                         dir.File("cat.log"));
  size_t got = 0;
  while (got < stream.size()) {
    const ssize_t n = read(pty.Master(), buffer.data(), buffer.size());
    if (n <= 0) throw std::runtime_error("reading the pseudo-terminal failed");
    got += static_cast<size_t>(n);
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace rx::bench
