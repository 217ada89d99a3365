#include "export/export_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "data/native_path.h"

namespace rx {

std::string WriteExportFile(const std::string& path,
                            const std::function<void(std::ostream&)>& write) {
  errno = 0;
  std::ofstream file(NativePath(path), std::ios::binary | std::ios::trunc);
  if (!file) return "Cannot create " + path + ": " + std::strerror(errno ? errno : EIO);
  write(file);
  file.close();
  if (file) return "";
  return "Cannot write " + path + ": " + std::strerror(errno ? errno : EIO) +
         " (the file is incomplete)";
}

}  // namespace rx
