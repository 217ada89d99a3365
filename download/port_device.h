#pragma once

#include <string>

#include "download/port_lock.h"

namespace rx {

// The device that serial port number `port` stands for: on Windows "COMn"; elsewhere the link
// or device `ports/comn` in `program_folder` when it exists (even a link whose device is
// missing), else 1-32 -> /dev/ttyUSB0-31, 33-64 -> /dev/ttyACM0-31, 65-96 -> /dev/ttyS0-31.
// Empty when the number has no device.
std::string PortDevice(const std::string& program_folder, int port);

// What the user reads when port `port` could not be opened on `device` (empty: the number has
// no device) for the system's `reason`: the port, the device tried, the reason, what to do
// about a "Permission denied", and how to point the port number at another device.
std::string PortOpenFailure(const std::string& program_folder, int port, const std::string& device,
                            const std::string& reason);

// What the user reads when port `port` (0: a device named directly) could not be opened on
// `device` because another program holds it: that program as its lock file tells it (`holder`), and how to free the port.
std::string PortInUseFailure(int port, const std::string& device, const PortLockHolder& holder);

// What the user reads when serial device `device`, named directly rather than by a port number,
// could not be opened for the system's `reason`: the device, the reason, and what to do about a
// "Permission denied".
std::string DeviceOpenFailure(const std::string& device, const std::string& reason);

}  // namespace rx
