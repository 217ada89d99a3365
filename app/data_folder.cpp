#include "app/data_folder.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/commands.h"
#include "app/unit_table_file.h"
#include "data/native_path.h"

namespace fs = std::filesystem;

namespace rx {
namespace {

std::string InFolder(const std::string& folder, const std::string& name) {
  return folder + kPathSeparator + name;
}

}  // namespace

DataFolder ChooseDataFolder(const std::string& program_folder, bool program_folder_writable,
                            const std::string& documents_folder) {
  const std::string sample = InFolder(program_folder, kUnitTableFileName);
  if (program_folder_writable) return {program_folder, sample, {}};
  if (documents_folder.empty()) {
    return {program_folder, sample,
            "Cannot write to the program's folder " + program_folder +
                ", and there is no documents folder to keep the data files in"};
  }

  DataFolder data{InFolder(documents_folder, kDataFolderName), sample, {}};
  std::error_code ec;
  fs::create_directories(NativePath(data.folder), ec);
  if (ec) {
    data.problem = "Cannot create the data folder " + data.folder + ": " + ec.message();
    return data;
  }
  const std::string own = InFolder(data.folder, kUnitTableFileName);
  if (fs::exists(NativePath(own), ec)) data.unit_table = own;
  return data;
}

bool FolderWritable(const std::string& folder) {
  // A file actually made and removed answers for permissions, access lists and read-only mounts
  // alike, whoever the user is.
  const std::string probe = InFolder(folder, ".rx7731-write-test");
  std::FILE* file = OpenNativeFile(probe, "w");
  if (file == nullptr) return false;
  std::fclose(file);
  std::error_code ec;
  fs::remove(NativePath(probe), ec);
  return true;
}

}  // namespace rx
