#pragma once

#include <string>

#include "app/data_folder.h"

namespace rx {

// The data folder of a program that runs from `program_folder`, for the user running it: the
// program's folder when they can write it, and otherwise RX7731 in their documents folder
// (created when missing), as ChooseDataFolder decides.
DataFolder DataFolderOf(const std::string& program_folder);

}  // namespace rx
