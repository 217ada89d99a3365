#pragma once

#include <string>

namespace rx {

// The device that serial port number `port` stands for: on Windows "COMn"; elsewhere the link
// or device `ports/comn` in `program_folder` when it exists, else 1-32 -> /dev/ttyS0-31,
// 33-64 -> /dev/ttyUSB0-31, 65-96 -> /dev/ttyACM0-31. Empty when the number has no device.
std::string PortDevice(const std::string& program_folder, int port);

}  // namespace rx
