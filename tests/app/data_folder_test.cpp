#include "app/data_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "download/port_device.h"
#include "support/fakes.h"

namespace rx {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteBytes;

// A program folder "program" holding the sample unit2.dat, beside a documents folder set up by
// each case.
struct FolderCase {
  const char* name;
  bool writable;
  const char* documents;    // below the temporary folder; "" for no documents folder
  bool own_unit_table;      // the user put a unit2.dat in Documents/RX7731
  const char* folder;       // expected, below the temporary folder
  const char* unit_table;   // expected, below the temporary folder
  const char* problem_has;  // expected in the problem; "" for none
};

void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.name; }

class ChooseDataFolderTest : public testing::TestWithParam<FolderCase> {};

TEST_P(ChooseDataFolderTest, KeepsAWritableProgramFolderAndOtherwiseUsesDocuments) {
  const FolderCase& c = GetParam();
  TempDir dir;
  const auto at = [&](const std::string& relative) {
    return (dir.Path() / relative).make_preferred().string();
  };
  fs::create_directory(at("program"));
  WriteBytes(at("program/unit2.dat"), "0,\"V\"\r\n");
  WriteBytes(at("file"), "not a folder");
  if (c.own_unit_table) {
    fs::create_directories(at("Documents/RX7731"));
    WriteBytes(at("Documents/RX7731/unit2.dat"), "0,\"mV\"\r\n");
  }

  const DataFolder data =
      ChooseDataFolder(at("program"), c.writable, *c.documents ? at(c.documents) : "");

  EXPECT_EQ(data.folder, at(c.folder));
  EXPECT_EQ(data.unit_table, at(c.unit_table));
  if (*c.problem_has) {
    EXPECT_NE(data.problem.find(c.problem_has), std::string::npos) << data.problem;
  } else {
    EXPECT_EQ(data.problem, "");
    EXPECT_TRUE(fs::is_directory(data.folder)) << data.folder;
  }
  if (c.writable && !c.own_unit_table) {
    EXPECT_FALSE(fs::exists(at("Documents/RX7731"))) << "made a folder unasked";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, ChooseDataFolderTest,
    testing::Values(FolderCase{"WritableProgramFolder", true, "Documents", false, "program",
                               "program/unit2.dat", ""},
                    FolderCase{"WritableEvenWithAUserTable", true, "Documents", true, "program",
                               "program/unit2.dat", ""},
                    FolderCase{"ReadOnlyTakesTheSampleFirst", false, "Documents", false,
                               "Documents/RX7731", "program/unit2.dat", ""},
                    FolderCase{"ReadOnlyReadsTheUsersTable", false, "Documents", true,
                               "Documents/RX7731", "Documents/RX7731/unit2.dat", ""},
                    FolderCase{"MissingDocumentsAreMade", false, "home/Documents", false,
                               "home/Documents/RX7731", "program/unit2.dat", ""},
                    FolderCase{"DocumentsBelowAFile", false, "file/Documents", false,
                               "file/Documents/RX7731", "program/unit2.dat",
                               "Cannot create the data folder "},
                    FolderCase{"NoDocumentsFolder", false, "", false, "program",
                               "program/unit2.dat", "no documents folder"}),
    [](const auto& info) { return info.param.name; });

#ifndef _WIN32  // Windows numbers its ports itself: COMn, no links
TEST(DataFolderTest, APortLinkInTheUsersDataFolderCountsLikeOneBesideTheProgram) {
  TempDir dir;
  fs::create_directories(dir.Path() / "Documents/RX7731/ports");
  fs::create_symlink("/dev/null", dir.Path() / "Documents/RX7731/ports/com1");
  const DataFolder data = ChooseDataFolder(dir.File("program"), false, dir.File("Documents"));
  EXPECT_EQ(PortDevice(data.folder, 1), dir.File("Documents/RX7731/ports/com1"));
  EXPECT_EQ(PortDevice(data.folder, 2), "/dev/ttyUSB1");
}
#endif

TEST(DataFolderTest, WritableMeansAFileCanBeMadeThereAndLeavesNothingBehind) {
  TempDir dir;
  WriteBytes(dir.File("file"), "x");
  EXPECT_TRUE(FolderWritable(dir.Path().string()));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
  EXPECT_FALSE(FolderWritable(dir.File("missing")));
  EXPECT_FALSE(FolderWritable(dir.File("file")));
}

}  // namespace
}  // namespace rx
