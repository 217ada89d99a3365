#pragma once

#include <string>
#include <vector>

#include "download/port_lock.h"

namespace rx {

// The device that serial port number `port` stands for: on Windows "COMn"; elsewhere the link
// or device `ports/comn` in `program_folder` when it exists (even a link whose device is
// missing), else 1-32 -> /dev/ttyUSB0-31, 33-64 -> /dev/ttyACM0-31, 65-96 -> /dev/ttyS0-31.
// Empty when the number has no device.
std::string PortDevice(const std::string& program_folder, int port);

// A serial port as the system lists it now, for example through QSerialPortInfo.
struct ListedPort {
  std::string name;          // "COM3", "ttyUSB0"
  std::string location;      // "\\\\.\\COM3", "/dev/ttyUSB0"
  std::string description;   // "USB Serial Port", "FT232R USB UART"
  std::string manufacturer;  // "FTDI"
};

// What the system knows of a serial device beyond its path; empty texts where it knows nothing.
struct SerialDeviceFacts {
  bool listed = false;       // among the serial ports the system lists now
  std::string description;   // "FT232R USB UART"
  std::string manufacturer;  // "FTDI"
};

// What `listed` tells of `device` (a port number's device, as PortDevice gives it).
SerialDeviceFacts FactsOf(const std::string& device, const std::vector<ListedPort>& listed);

// The ports there are to choose from, for a message about a port that could not be opened:
// "Serial ports on this computer: Comm. 3 (USB Serial Port), Comm. 4", or "...: none". On
// Windows these are the COM ports in `listed`; elsewhere the port numbers whose device is in
// `listed`, or whose ports/comN link in `program_folder` reaches a device that exists (a
// pseudo-terminal is not listed), with that device.
std::string PresentPorts(const std::string& program_folder, const std::vector<ListedPort>& listed);

// What the user reads when port `port` could not be opened on `device` (empty: the number has
// no device) for the system's `reason`: the port, the device tried, the reason, what to do
// about a "Permission denied", and how to point the port number at another device.
std::string PortOpenFailure(const std::string& program_folder, int port, const std::string& device,
                            const std::string& reason);

// What the user reads when port `port` (0: a device named directly) could not be opened on
// `device` because another program holds it: that program as its lock file tells it (`holder`), and
// how to free the port.
std::string PortInUseFailure(int port, const std::string& device, const PortLockHolder& holder);

// What the user reads when serial device `device`, named directly rather than by a port number,
// could not be opened for the system's `reason`: the device, the reason, and what to do about a
// "Permission denied".
std::string DeviceOpenFailure(const std::string& device, const std::string& reason);

}  // namespace rx
