#include "app/file_exists.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/fakes.h"

namespace rx {
namespace {

using test::TempDir;
using test::WriteBytes;

struct ExistsCase {
  const char* name;
  const char* relative;  // below a folder that holds "old.dat" and "sub/"
  bool exists;
};

class FileExistsTest : public testing::TestWithParam<ExistsCase> {};

TEST_P(FileExistsTest, OnlyAMissingFileInAnExistingFolderIsAbsent) {
  TempDir dir;
  WriteBytes(dir.File("old.dat"), "0,1,\"V         \",1\r\n");
  std::filesystem::create_directory(dir.File("sub"));
  EXPECT_EQ(FileExists(dir.File(GetParam().relative)), GetParam().exists);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FileExistsTest,
    testing::Values(ExistsCase{"ExistingFile", "old.dat", true},
                    ExistsCase{"MissingFile", "new.dat", false},
                    ExistsCase{"MissingFileInSubfolder", "sub/new.dat", false},
                    ExistsCase{"NameInAMissingFolder", "nofolder/new.dat", true},
                    ExistsCase{"NameBelowAFile", "old.dat/new.dat", true},
                    ExistsCase{"TheFolderItself", "", true},
                    ExistsCase{"MissingFolderWithTrailingSeparator", "nofolder/", true}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace rx
