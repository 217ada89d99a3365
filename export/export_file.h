#pragma once

#include <functional>
#include <ostream>
#include <string>

namespace rx {

// Runs `write` on the file at `path`, created or emptied. Returns what failed, on which file,
// and the system's reason, or an empty text when the whole file was written.
std::string WriteExportFile(const std::string& path,
                            const std::function<void(std::ostream&)>& write);

}  // namespace rx
