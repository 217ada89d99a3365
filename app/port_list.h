#pragma once

#include <string>

namespace rx {

inline constexpr int kPortListEntries = 256;

// "Comm. 1" for port 1: the port list entry of a port number.
std::string PortItemText(int port);

// The tooltip of the port list: which device port number `port` opens on this computer.
std::string PortToolTip(const std::string& program_folder, int port);

}  // namespace rx
