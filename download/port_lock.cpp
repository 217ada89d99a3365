#include "download/port_lock.h"

#include <cctype>
#include <fstream>
#include <iterator>

namespace rx {
namespace {

// Searched in the order Qt's serial port searches them, so that the first file found is the one
// Qt found too.
constexpr const char* kLockFolders[] = {"/var/lock",         "/etc/locks", "/var/spool/locks",
                                        "/var/spool/uucp",   "/tmp",       "/var/tmp",
                                        "/var/lock/lockdev", "/run/lock"};

bool ReadText(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

}  // namespace

std::string PortLockFileName(const std::string& device) {
  std::string name = device.rfind("/dev/", 0) == 0 ? device.substr(5) : device;
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  return "LCK.." + name;
}

long LockFilePid(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  long pid = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    if (pid > 1'000'000'000) return 0;  // no process id is that large
    pid = pid * 10 + (text[i] - '0');
  }
  return pid;
}

PortLockHolder FindPortLockHolder(const std::string& device) {
  const std::string file = PortLockFileName(device);
  PortLockHolder holder;
  for (const char* folder : kLockFolders) {
    std::string text;
    if (!ReadText(std::string(folder).append("/").append(file), text)) continue;
    holder.pid = LockFilePid(text);
    break;
  }
  if (holder.pid == 0) return holder;
  std::string comm;
  if (ReadText("/proc/" + std::to_string(holder.pid) + "/comm", comm)) {
    while (!comm.empty() && (comm.back() == '\n' || comm.back() == '\r')) comm.pop_back();
    holder.name = comm;
  }
  return holder;
}

}  // namespace rx
