#include "app/port_list.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/fakes.h"

namespace rx {
namespace {

#ifndef _WIN32

TEST(PortList, TheTooltipNamesTheDeviceWhetherItIsThereAndWhatTheSystemKnowsOfIt) {
  test::TempDir dir;
  const std::filesystem::path ports = dir.Path() / "ports";
  std::filesystem::create_directories(ports);
  test::WriteBytes(dir.File("adapter"), "");
  std::filesystem::create_symlink(dir.File("adapter"), ports / "com1");
  std::filesystem::create_symlink(dir.File("unplugged"), ports / "com2");
  const std::string com1 = (ports / "com1").string() + " -> " + dir.File("adapter");
  const std::string com2 = (ports / "com2").string() + " -> " + dir.File("unplugged");
  struct Case {
    int port;
    SerialDeviceFacts facts;
    std::string expected;
  };
  const Case cases[] = {
      {1, {}, "Comm. 1 opens " + com1 + "\nPresent now"},
      {1,
       {true, "FT232R USB UART", "FTDI"},
       "Comm. 1 opens " + com1 + "\nPresent now: FT232R USB UART, made by FTDI"},
      {1,
       {true, "FT232R USB UART", ""},
       "Comm. 1 opens " + com1 + "\nPresent now: FT232R USB UART"},
      {1, {true, "", "FTDI"}, "Comm. 1 opens " + com1 + "\nPresent now: made by FTDI"},
      {2, {}, "Comm. 2 opens " + com2 + "\nNot present now"},
      {256, {}, "Comm. 256 has no serial device on this computer"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PortToolTip(dir.Path().string(), c.port, c.facts), c.expected) << c.port;
  }
}

#endif

}  // namespace
}  // namespace rx
