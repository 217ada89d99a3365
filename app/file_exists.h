#pragma once

#include <string>

namespace rx {

// Whether a data file is in the way at `path`. Only "no such file in an existing folder" counts
// as absent; a name in a folder that does not exist, a folder, or a path that cannot be checked
// counts as present, so that Start asks before going on.
bool FileExists(const std::string& path);

}  // namespace rx
