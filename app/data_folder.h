#pragma once

#include <string>

namespace rx {

// The folder an installed copy keeps its files in, inside the user's documents folder.
inline constexpr const char* kDataFolderName = "RX7731";

// Where the program keeps its files: the folder of the data file (df), of the ports/comN links,
// and of the user's own unit table.
struct DataFolder {
  std::string folder;
  // The unit table read at start-up.
  std::string unit_table;
  // Why `folder` could not be created, naming it and the system's reason; empty when it is there.
  std::string problem;
};

// A program whose folder the user can write (a build, an unpacked copy) keeps everything there.
// An installed one, whose folder the user cannot write, uses `documents_folder`, a separator and
// "RX7731" instead, created here when it is missing. Its unit2.dat is read when it has one, and
// otherwise the sample beside the program. An empty `documents_folder` (no home folder) is
// reported, and the program's folder is kept.
DataFolder ChooseDataFolder(const std::string& program_folder, bool program_folder_writable,
                            const std::string& documents_folder);

// True when this user can create a file in `folder`.
bool FolderWritable(const std::string& folder);

}  // namespace rx
