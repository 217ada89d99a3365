#pragma once

#include <functional>
#include <ostream>
#include <string>

namespace rx {

// Runs `write` on the file at `path` and returns what failed, on which file, and the system's
// reason, or an empty text when the whole file was written. The file replaces what is at `path`
// as FileReplacement does it, once `write` has returned and the whole file is on the disk: after
// a failure, or an exception from `write` (which goes on to the caller), no file is left behind
// and a file already at `path` is as it was. A device or a pipe at `path` is written directly.
std::string WriteExportFile(const std::string& path,
                            const std::function<void(std::ostream&)>& write);

}  // namespace rx
