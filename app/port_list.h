#pragma once

#include <string>

#include "download/port_device.h"

namespace rx {

inline constexpr int kPortListEntries = 256;

// "Comm. 1" for port 1: the port list entry of a port number.
std::string PortItemText(int port);

// The tooltip of the port list: which device port number `port` opens on this computer, whether
// that device is present now, and what `facts` tell of it.
std::string PortToolTip(const std::string& program_folder, int port,
                        const SerialDeviceFacts& facts = {});

}  // namespace rx
