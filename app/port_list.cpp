#include "app/port_list.h"

#include "download/port_device.h"

namespace rx {

std::string PortItemText(int port) { return "Comm. " + std::to_string(port); }

std::string PortToolTip(const std::string& program_folder, int port) {
  const std::string device = PortDevice(program_folder, port);
  if (device.empty()) return PortItemText(port) + " has no serial device on this computer";
  return PortItemText(port) + " opens " + device;
}

}  // namespace rx
