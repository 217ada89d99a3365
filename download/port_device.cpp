#include "download/port_device.h"

#include <filesystem>
#include <map>
#include <string_view>
#include <system_error>

#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#endif

namespace rx {
namespace fs = std::filesystem;

namespace {

constexpr const char* kNewline = "\r\n";

#ifndef _WIN32
constexpr const char* kDefaultNumbers =
    "Comm. 1 to 32 are /dev/ttyUSB0 to 31, 33 to 64 /dev/ttyACM0 to 31, 65 to 96 /dev/ttyS0 to 31";

fs::path PortLink(const std::string& program_folder, int port) {
  return fs::path(program_folder) / "ports" / ("com" + std::to_string(port));
}

// True for a link that points nowhere, too.
bool Present(const fs::path& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() != fs::file_type::not_found && !ec;
}

// Whether `device` is `wanted`, itself or through a link, even when the device is missing.
bool Opens(const std::string& device, const fs::path& wanted) {
  if (device == wanted) return true;
  std::error_code ec;
  if (fs::read_symlink(device, ec) == wanted && !ec) return true;
  return fs::canonical(device, ec) == wanted && !ec;
}

// The group that owns `device`, which a user needs to be in to open it.
std::string OwningGroup(const std::string& device) {
  struct stat info {};
  if (::stat(device.c_str(), &info) != 0) return "";
  const struct group* group = ::getgrgid(info.st_gid);
  return group != nullptr ? group->gr_name : "";
}
#endif

// "/dev/ttyUSB0", or a link with where it points: "ports/com1 -> /dev/ttyUSB0".
std::string DeviceAndTarget(const std::string& device) {
  std::error_code ec;
  const fs::path target = fs::read_symlink(device, ec);
  return ec ? device : device + " -> " + target.string();
}

// The system's reason as the end of a sentence: Windows' texts bring their own full stop
// ("Access is denied."), POSIX ones do not.
std::string EndOfSentence(const std::string& reason) {
  return reason.ends_with('.') ? reason : reason + ".";
}

// What to do about a "Permission denied" on `device`; empty for any other reason.
std::string PermissionHint(const std::string& device, const std::string& reason) {
#ifdef _WIN32
  (void)device;
  (void)reason;
  return "";
#else
  if (reason != "Permission denied") return "";
  std::error_code ec;
  const fs::path real = fs::canonical(device, ec);
  const std::string owned = ec ? device : real.string();
  const std::string group = OwningGroup(owned);
  const std::string example = group.empty() ? "dialout" : group;
  return kNewline + ("Your user must be a member of the group that owns " + owned + " (" +
                     (group.empty() ? "usually " : "") + example +
                     "), for example: sudo usermod -aG " + example + " $USER, then log in again.");
#endif
}

// n for a name that is `prefix` and then a number n of one to four digits ("COM3"), else 0.
int NumberAfter(std::string_view prefix, std::string_view name) {
  if (!name.starts_with(prefix) || name.size() <= prefix.size()) return 0;
  const std::string_view digits = name.substr(prefix.size());
  if (digits.size() > 4 || digits[0] == '0') return 0;
  int number = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + (c - '0');
  }
  return number;
}

}  // namespace

std::string PortDevice(const std::string& program_folder, int port) {
  if (port < 0) return "";
#ifdef _WIN32
  (void)program_folder;
  return port >= 1 ? "COM" + std::to_string(port) : "";
#else
  // A link that points nowhere still names the user's choice: opening it reports the missing
  // device instead of silently falling back to a default one.
  if (const fs::path link = PortLink(program_folder, port); Present(link)) return link.string();
  struct Range {
    int first;
    const char* prefix;
  };
  // USB adapters come first: meter cables are USB serial adapters nowadays, and /dev/ttyS0
  // exists on almost every PC whether or not a port is wired to it.
  for (const Range range :
       {Range{1, "/dev/ttyUSB"}, Range{33, "/dev/ttyACM"}, Range{65, "/dev/ttyS"}}) {
    if (port >= range.first && port < range.first + 32) {
      return range.prefix + std::to_string(port - range.first);
    }
  }
  return "";
#endif
}

SerialDeviceFacts FactsOf(const std::string& device, const std::vector<ListedPort>& listed) {
  if (device.empty()) return {};
#ifdef _WIN32
  const std::string& wanted = device;
#else
  // The system lists devices, not the links to them.
  std::error_code ec;
  const fs::path real = fs::canonical(device, ec);
  const std::string wanted = ec ? device : real.string();
#endif
  for (const ListedPort& port : listed) {
    if (port.location == wanted || port.name == wanted) {
      return {true, port.description, port.manufacturer};
    }
  }
  return {};
}

std::string PresentPorts(const std::string& program_folder, const std::vector<ListedPort>& listed) {
  std::map<int, std::string> present;  // port number: what is said of it
#ifdef _WIN32
  (void)program_folder;
  for (const ListedPort& port : listed) {
    if (const int number = NumberAfter("COM", port.name); number > 0) {
      present.emplace(number, port.description);
    }
  }
#else
  std::vector<int> numbers;
  for (int port = 1; port <= 96; ++port) numbers.push_back(port);
  // Links may give numbers beyond the devices' own.
  std::error_code ec;
  for (const fs::directory_entry& entry :
       fs::directory_iterator(fs::path(program_folder) / "ports", ec)) {
    const int number = NumberAfter("com", entry.path().filename().string());
    if (number > 0) numbers.push_back(number);
  }
  for (const int port : numbers) {
    const std::string device = PortDevice(program_folder, port);
    if (device.empty() || present.contains(port)) continue;
    const SerialDeviceFacts facts = FactsOf(device, listed);
    const fs::path real = fs::canonical(device, ec);
    const bool linked = device == PortLink(program_folder, port).string();
    if (!facts.listed && !(linked && !ec)) continue;
    std::string said = ec ? device : real.string();
    if (!facts.description.empty()) said += ", " + facts.description;
    present.emplace(port, said);
  }
#endif
  std::string text = "Serial ports on this computer: ";
  if (present.empty()) return text + "none";
  bool first = true;
  for (const auto& [port, said] : present) {
    text += (first ? "Comm. " : ", Comm. ") + std::to_string(port);
    if (!said.empty()) text += " (" + said + ")";
    first = false;
  }
  return text;
}

std::string PortOpenFailure(const std::string& program_folder, int port, const std::string& device,
                            const std::string& reason) {
  const std::string name = "Comm. port " + std::to_string(port);
  std::string text = "Cannot open " + name;
  if (device.empty()) {
    text += ": no device is assigned to this port number.";
  } else {
    text += " (" + DeviceAndTarget(device) + "): " + EndOfSentence(reason);
  }
#ifdef _WIN32
  (void)program_folder;
  text += kNewline;
  text += "To use another adapter as " + name + ", give it the number COM" + std::to_string(port) +
          " in the Device Manager (Ports, Properties, Port Settings, " + "Advanced).";
#else
  text += PermissionHint(device, reason);
  const fs::path link = PortLink(program_folder, port);
  // The example device is one this port number does not already open.
  const char* example = Opens(device, "/dev/ttyUSB0") ? "/dev/ttyACM0" : "/dev/ttyUSB0";
  text += kNewline;
  text += "To use another device as " + name + ", ";
  if (Present(link)) {
    text += "change " + link.string() + ", for example: ln -sfn " + example + " " + link.string();
  } else {
    text += "choose its number (" + std::string(kDefaultNumbers) + ") or link it as " +
            link.string() + ", for example: mkdir -p " + link.parent_path().string() +
            " && ln -s " + example + " " + link.string();
  }
#endif
  return text;
}

std::string PortInUseFailure(int port, const std::string& device, const PortLockHolder& holder) {
  // A device named directly has no port number.
  std::string text = (port > 0 ? "Cannot open Comm. port " + std::to_string(port) + " (" +
                                     DeviceAndTarget(device) + ")"
                               : "Cannot open serial device " + device) +
                     ": the port is in use by another program";
  const std::string pid = std::to_string(holder.pid);
  if (holder.pid == 0) {
    text += ".";
    text += kNewline;
    text +=
        "Close the program that uses it (a terminal program, or another RX7731) to free the "
        "port, then try again.";
    return text;
  }
  if (!holder.name.empty()) text += ", " + holder.name;
  text += " (process " + pid + ").";
  text += kNewline;
  text += "Close " + (holder.name.empty() ? std::string("that program") : holder.name) +
          " to free the port, or end it with: ";
#ifdef _WIN32
  text += "taskkill /PID " + pid;
#else
  text += "kill " + pid;
#endif
  text += ", then try again.";
  return text;
}

std::string DeviceOpenFailure(const std::string& device, const std::string& reason) {
  return "Cannot open serial device " + device + ": " + EndOfSentence(reason) +
         PermissionHint(device, reason);
}

}  // namespace rx
