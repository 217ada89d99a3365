#pragma once

#include <string>

namespace rx {

// The program that holds a serial device through a lock file, as Qt and the classic serial
// programs (minicom, cu, a second RX7731) take one: LCK..<device name> in one of the usual lock
// folders (/var/lock, /run/lock and a few older ones), holding the owner's process id in ASCII.
struct PortLockHolder {
  long pid = 0;      // 0: no lock file names one
  std::string name;  // the process's name, empty when the system does not tell it
};

// `device` is the device itself (not a link to it), e.g. /dev/ttyUSB0 or /dev/pts/3.
PortLockHolder FindPortLockHolder(const std::string& device);

// The lock file's name for `device`: /dev/ttyUSB0 -> "LCK..ttyUSB0", /dev/pts/3 -> "LCK..pts_3".
std::string PortLockFileName(const std::string& device);

// The process id at the start of a lock file's text ("  4711\n", "4711\nappname\n..."); 0 when
// it holds none.
long LockFilePid(const std::string& text);

}  // namespace rx
