#include "download/port_device.h"

#include <gtest/gtest.h>

#include <filesystem>

#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#endif

#include "support/fakes.h"

namespace rx {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

#ifndef _WIN32

class PortDeviceTest : public ::testing::Test {
 protected:
  std::string Link(int port, const std::string& target) {
    fs::create_directories(dir.Path() / "ports");
    const fs::path link = dir.Path() / "ports" / ("com" + std::to_string(port));
    fs::create_symlink(target, link);
    return link.string();
  }
  std::string Folder() const { return dir.Path().string(); }

  TempDir dir;
};

TEST_F(PortDeviceTest, DefaultDevicesByPortNumber) {
  struct Case {
    int port;
    const char* device;
  };
  const Case cases[] = {
      {1, "/dev/ttyUSB0"},
      {2, "/dev/ttyUSB1"},
      {32, "/dev/ttyUSB31"},
      {33, "/dev/ttyACM0"},
      {64, "/dev/ttyACM31"},
      {65, "/dev/ttyS0"},
      {96, "/dev/ttyS31"},
      {97, ""},
      {256, ""},
      {0, ""},
      {-1, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(PortDevice(Folder(), c.port), c.device) << c.port;
}

TEST_F(PortDeviceTest, PortsLinkInTheProgramFolderWins) {
  const std::string link = Link(1, "/dev/ttyS0");
  EXPECT_EQ(PortDevice(Folder(), 1), link);
  EXPECT_EQ(PortDevice(Folder(), 2), "/dev/ttyUSB1");
}

TEST_F(PortDeviceTest, PortsLinkGivesADeviceToANumberWithoutDefault) {
  EXPECT_EQ(PortDevice(Folder(), 200), "");
  const std::string link = Link(200, "/dev/ttyUSB3");
  EXPECT_EQ(PortDevice(Folder(), 200), link);
}

TEST_F(PortDeviceTest, LinkToAMissingDeviceIsStillTheChoice) {
  const std::string link = Link(3, (dir.Path() / "unplugged").string());
  EXPECT_EQ(PortDevice(Folder(), 3), link);
}

TEST_F(PortDeviceTest, FailureNamesPortDeviceReasonAndHowToPointThePortElsewhere) {
  struct Case {
    int port;
    const char* device;
    const char* example;  // never the device that failed
  };
  const Case cases[] = {{3, "/dev/ttyUSB2", "/dev/ttyUSB0"}, {1, "/dev/ttyUSB0", "/dev/ttyACM0"}};
  for (const Case& c : cases) {
    const std::string n = std::to_string(c.port);
    const std::string link = (dir.Path() / "ports" / ("com" + n)).string();
    EXPECT_EQ(PortOpenFailure(Folder(), c.port, c.device, "No such file or directory"),
              "Cannot open Comm. port " + n + " (" + c.device +
                  "): No such file or directory.\r\n"
                  "To use another device as Comm. port " +
                  n +
                  ", choose its number (Comm. 1 to 32 are /dev/ttyUSB0 to 31, 33 to 64 "
                  "/dev/ttyACM0 to 31, 65 to 96 /dev/ttyS0 to 31) or link it as " +
                  link + ", for example: mkdir -p " + (dir.Path() / "ports").string() +
                  " && ln -s " + c.example + " " + link);
  }
}

TEST_F(PortDeviceTest, FailureOnALinkShowsWhereItPointsAndHowToChangeIt) {
  const std::string target = (dir.Path() / "unplugged").string();
  const std::string link = Link(1, target);
  EXPECT_EQ(PortOpenFailure(Folder(), 1, link, "No such file or directory"),
            "Cannot open Comm. port 1 (" + link + " -> " + target +
                "): No such file or directory.\r\n"
                "To use another device as Comm. port 1, change " +
                link + ", for example: ln -sfn /dev/ttyUSB0 " + link);
}

// Windows' system texts end with a full stop of their own, which is not doubled.
TEST_F(PortDeviceTest, AReasonThatEndsASentenceKeepsOneFullStop) {
  const std::string link = Link(2, "/dev/ttyUSB1");
  for (const char* reason : {"File not found", "File not found."}) {
    SCOPED_TRACE(reason);
    EXPECT_TRUE(PortOpenFailure(Folder(), 2, link, reason)
                    .starts_with("Cannot open Comm. port 2 (" + link +
                                 " -> /dev/ttyUSB1): File not found.\r\n"));
    EXPECT_EQ(DeviceOpenFailure("/dev/ttyUSB1", reason),
              "Cannot open serial device /dev/ttyUSB1: File not found.");
  }
}

TEST_F(PortDeviceTest, FailureForANumberWithoutDeviceSaysSo) {
  const std::string link = (dir.Path() / "ports" / "com0").string();
  EXPECT_EQ(PortOpenFailure(Folder(), 0, "", ""),
            "Cannot open Comm. port 0: no device is assigned to this port number.\r\n"
            "To use another device as Comm. port 0, choose its number (Comm. 1 to 32 are "
            "/dev/ttyUSB0 to 31, 33 to 64 /dev/ttyACM0 to 31, 65 to 96 /dev/ttyS0 to 31) or "
            "link it as " +
                link + ", for example: mkdir -p " + (dir.Path() / "ports").string() +
                " && ln -s /dev/ttyUSB0 " + link);
}

// What a failed Start lists: the numbers that reach a device the system lists, or a device that
// a ports/ link reaches (a pseudo-terminal is not listed); a link to nothing, or a device the
// system does not list (/dev/ttyS1 exists on most PCs, wired or not), is no port to choose.
TEST(PresentPorts, NameTheNumbersThatReachADeviceThatIsThere) {
  struct Case {
    const char* what;
    std::vector<std::pair<int, std::string>> links;  // ports/comN to a file in the folder
    std::vector<ListedPort> listed;
    std::string expected;  // after "Serial ports on this computer: ", with FOLDER for the folder
  };
  const Case cases[] = {
      {"nothing", {{2, "gone"}}, {}, "none"},
      {"listed devices, by number",
       {},
       {{"ttyS0", "/dev/ttyS0", "", ""},
        {"ttyUSB2", "/dev/ttyUSB2", "FT232R USB UART", "FTDI"},
        {"ttyAMA0", "/dev/ttyAMA0", "", ""}},
       "Comm. 3 (/dev/ttyUSB2, FT232R USB UART), Comm. 65 (/dev/ttyS0)"},
      {"links, one beyond the devices' numbers",
       {{1, "pty"}, {2, "gone"}, {200, "adapter"}},
       {{"adapter", "FOLDER/adapter", "USB Serial", ""}},
       "Comm. 1 (FOLDER/pty), Comm. 200 (FOLDER/adapter, USB Serial)"},
      {"a link that takes a listed device's number away",
       {{1, "gone"}},
       {{"ttyUSB0", "/dev/ttyUSB0", "", ""}, {"ttyUSB1", "/dev/ttyUSB1", "CP2102", ""}},
       "Comm. 2 (/dev/ttyUSB1, CP2102)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string folder = dir.Path().string();
    const auto in_folder = [&](std::string text) {
      for (size_t at; (at = text.find("FOLDER")) != std::string::npos;) text.replace(at, 6, folder);
      return text;
    };
    test::WriteBytes(dir.File("pty"), "");
    test::WriteBytes(dir.File("adapter"), "");
    fs::create_directories(dir.Path() / "ports");
    for (const auto& [port, target] : c.links) {
      fs::create_symlink(dir.File(target), dir.Path() / "ports" / ("com" + std::to_string(port)));
    }
    std::vector<ListedPort> listed = c.listed;
    for (ListedPort& port : listed) port.location = in_folder(port.location);
    EXPECT_EQ(PresentPorts(folder, listed),
              "Serial ports on this computer: " + in_folder(c.expected));
  }
}

TEST_F(PortDeviceTest, PermissionDeniedNamesTheGroupThatOwnsTheDevice) {
  // The group of a file we own stands in for the dialout group of a serial device.
  const std::string device = dir.File("ttyUSB0");
  test::WriteBytes(device, "");
  const std::string text = PortOpenFailure(Folder(), 33, device, "Permission denied");
  struct stat info {};
  ASSERT_EQ(::stat(device.c_str(), &info), 0);
  const struct group* group = ::getgrgid(info.st_gid);
  ASSERT_NE(group, nullptr);
  const std::string name = group->gr_name;
  EXPECT_NE(text.find("Cannot open Comm. port 33 (" + device +
                      "): Permission denied.\r\n"
                      "Your user must be a member of the group that owns " +
                      device + " (" + name + "), for example: sudo usermod -aG " + name +
                      " $USER, then log in again.\r\n"
                      "To use another device as Comm. port 33, "),
            std::string::npos)
      << text;
}

TEST_F(PortDeviceTest, PermissionDeniedOnAnUnknownOwnerSuggestsDialout) {
  const std::string text = PortOpenFailure(Folder(), 33, dir.File("gone"), "Permission denied");
  EXPECT_NE(text.find("the group that owns " + dir.File("gone") +
                      " (usually dialout), for example: sudo usermod -aG dialout $USER"),
            std::string::npos)
      << text;
}

TEST_F(PortDeviceTest, APortHeldByAnotherProgramNamesItAndHowToFreeIt) {
  const std::string link = Link(2, "/dev/ttyUSB4");
  struct Case {
    const char* what;
    std::string device;
    PortLockHolder holder;
    std::string expected;
  };
  const Case cases[] = {
      {"named by its lock file",
       "/dev/ttyUSB1",
       {4711, "minicom"},
       "Cannot open Comm. port 2 (/dev/ttyUSB1): the port is in use by another program, minicom "
       "(process 4711).\r\nClose minicom to free the port, or end it with: kill 4711, then try "
       "again."},
      {"whose process has no name",
       link,
       {4711, ""},
       "Cannot open Comm. port 2 (" + link +
           " -> /dev/ttyUSB4): the port is in use by another program (process 4711).\r\nClose "
           "that program to free the port, or end it with: kill 4711, then try again."},
      {"without a lock file",
       "/dev/ttyUSB1",
       {},
       "Cannot open Comm. port 2 (/dev/ttyUSB1): the port is in use by another program.\r\n"
       "Close the program that uses it (a terminal program, or another RX7731) to free the port, "
       "then try again."},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PortInUseFailure(2, c.device, c.holder), c.expected) << c.what;
}

TEST(PortLock, TheLockFileNameAndTheProcessIdItHolds) {
  EXPECT_EQ(PortLockFileName("/dev/ttyUSB0"), "LCK..ttyUSB0");
  EXPECT_EQ(PortLockFileName("/dev/pts/3"), "LCK..pts_3");
  EXPECT_EQ(PortLockFileName("/tmp/x/com1"), "LCK.._tmp_x_com1");
  struct Case {
    const char* text;
    long pid;
  };
  const Case cases[] = {{"4711\nRX7731\nhost\n", 4711},
                        {"      4711\n", 4711},
                        {"", 0},
                        {"abc", 0},
                        {"99999999999999999999\n", 0}};
  for (const Case& c : cases) EXPECT_EQ(LockFilePid(c.text), c.pid) << c.text;
}

#endif

}  // namespace
}  // namespace rx
