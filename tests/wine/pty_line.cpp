// Apart from the tests: the kernel's <asm/termbits.h> and glibc's <termios.h> both define
// struct termios, so one file cannot include both.
#include "wine/pty_line.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace rx::test {

PtyLine PtyLineOf(const std::string& link) {
  PtyLine line;
  const int fd = open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return line;
  termios2 settings{};
  line.read = ioctl(fd, TCGETS2, &settings) == 0;
  close(fd);
  if (!line.read) return line;
  // The kernel keeps both speeds in baud, also for a line set with a B-constant.
  line.input_baud = settings.c_ispeed;
  line.output_baud = settings.c_ospeed;
  switch (settings.c_cflag & CSIZE) {
    case CS5:
      line.data_bits = 5;
      break;
    case CS6:
      line.data_bits = 6;
      break;
    case CS7:
      line.data_bits = 7;
      break;
    default:
      line.data_bits = 8;
      break;
  }
  line.stop_bits = (settings.c_cflag & CSTOPB) ? 2 : 1;
  line.parity = (settings.c_cflag & PARENB) != 0;
  return line;
}

}  // namespace rx::test
