#include "app/port_list.h"

#include <filesystem>
#include <system_error>

#include "download/port_device.h"

namespace rx {

std::string PortItemText(int port) { return "Comm. " + std::to_string(port); }

std::string PortToolTip(const std::string& program_folder, int port,
                        const SerialDeviceFacts& facts) {
  const std::string device = PortDevice(program_folder, port);
  if (device.empty()) return PortItemText(port) + " has no serial device on this computer";
  std::string text = PortItemText(port) + " opens " + device;
  std::error_code ec;
  const std::filesystem::path target = std::filesystem::read_symlink(device, ec);
  if (!ec) text += " -> " + target.string();
#ifdef _WIN32
  const bool present = facts.listed;
#else
  // Follows a link: a link whose device is missing is not present. Pseudo-terminals are present
  // without being listed.
  const bool present = facts.listed || (std::filesystem::exists(device, ec) && !ec);
#endif
  text += present ? "\nPresent now" : "\nNot present now";
  if (!facts.description.empty()) text += ": " + facts.description;
  if (!facts.manufacturer.empty()) {
    text += (facts.description.empty() ? ": made by " : ", made by ") + facts.manufacturer;
  }
  return text;
}

}  // namespace rx
