#pragma once

#include <string>

namespace rx::test {

// A serial line's settings as the last program set them, read from the pseudo-terminal behind
// a link. Wine 10 sets the speed as a number (BOTHER, through TCSETS2), which the B-constants
// of <termios.h> cannot show, so the speeds here are in baud whichever way they were set.
struct PtyLine {
  bool read = false;  // false: the link could not be opened or read
  unsigned input_baud = 0, output_baud = 0;
  int data_bits = 0, stop_bits = 0;
  bool parity = false;
};

PtyLine PtyLineOf(const std::string& link);

}  // namespace rx::test
