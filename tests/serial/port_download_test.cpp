// Downloads through the Qt serial control on a pseudo-terminal, as from a meter on a cable.

#include <gtest/gtest.h>

#include <filesystem>

#include "download/meter_download.h"
#include "download/qt/qt_serial_control.h"
#include "pty.h"
#include "support/fakes.h"

namespace rx {
namespace {

using test::Box;
using test::Frame;
using test::ReadBytes;
using test::RunEventsUntil;

const std::string kEscBody(14, '\x1B');
const std::string kEndMarker = Frame(kEscBody) + "\x02" + kEscBody;
const std::string kTime = Frame("40231207093015");
const std::string kCoded = Frame("10070300001234");
const std::string kDone = "Data Received O.K!\r\nTotal Time ( ms ) =  0";

class PortDownload : public testing::Test {
 protected:
  static void SetUpTestSuite() { test::EnsureQtApplication(); }

  PortDownload() { pty.LinkAsPort(dir.Path(), 1); }

  // As Start leaves the window before it hands over.
  bool Start(int16_t port) {
    window.SetStartEnabled(false);
    window.SetViewDataEnabled(false);
    window.SetTimerEnabled(true);
    window.SetIndicatorVisible(true);
    window.SetReceivingVisible(true);
    download.ClearStartTick();
    return download.ReadDataLogger_2(df, port);
  }
  bool Finished() const { return download.fgTransferOK(); }

  test::Pty pty;
  test::TempDir dir;
  std::string df = dir.File("231207.dat");
  QtSerialControl serial{dir.Path().string()};
  test::RecordingWindow window;
  test::RecordingMessageBox boxes;
  test::ManualClock clock;
  UnitNames names;
  MeterDownload download{serial, window, boxes, clock, names};
};

TEST_F(PortDownload, FramesFromTheMeterBecomeRecordsInTheDataFile) {
  ASSERT_TRUE(Start(1));
  EXPECT_TRUE(serial.PortOpen());
  EXPECT_TRUE(boxes.shown.empty());
  pty.Write(kTime + kCoded.substr(0, 5));
  ASSERT_TRUE(RunEventsUntil([&] { return download.datano() == 1; }));
  pty.Write(kCoded.substr(5));
  ASSERT_TRUE(RunEventsUntil([&] { return download.datano() == 2; }));
  pty.Write(kEndMarker);
  ASSERT_TRUE(RunEventsUntil([&] { return Finished(); }));

  EXPECT_EQ(ReadBytes(df), "0,\"231207093015\",\"Time\",0\r\n1,-1.234,7,0\r\n");
  EXPECT_FALSE(serial.PortOpen());
  EXPECT_TRUE(window.Idle());
  EXPECT_EQ(boxes.shown, (std::vector<Box>{{kDone, "RX7731"}}));
}

TEST_F(PortDownload, AMissingDeviceGivesOneBoxAndLeavesTheWindowIdle) {
  std::filesystem::create_symlink(dir.File("ttyUSB9"), dir.Path() / "ports" / "com5");
  EXPECT_FALSE(Start(5));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].title, "RX7731");
  const std::string& prompt = boxes.shown[0].prompt;
  EXPECT_NE(prompt.find("Cannot open Comm. port 5 (" + (dir.Path() / "ports" / "com5").string() +
                        " -> " + dir.File("ttyUSB9") + "): No such file or directory."),
            std::string::npos)
      << prompt;
  EXPECT_TRUE(window.Idle());
  EXPECT_FALSE(download.fgComPortOpen());
  EXPECT_FALSE(serial.PortOpen());
  EXPECT_FALSE(std::filesystem::exists(df)) << "an empty data file was left";
}

TEST_F(PortDownload, PortZeroGivesOneBoxAndLeavesTheWindowIdle) {
  EXPECT_FALSE(Start(0));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].title, "RX7731");
  EXPECT_EQ(boxes.shown[0].prompt.rfind(
                "Cannot open Comm. port 0: no device is assigned to this port number.", 0),
            0u)
      << boxes.shown[0].prompt;
  EXPECT_TRUE(window.Idle());
  EXPECT_FALSE(download.fgComPortOpen());
}

TEST_F(PortDownload, AnotherPortCanBeChosenAfterAFailure) {
  EXPECT_FALSE(Start(0));
  ASSERT_TRUE(Start(1));
  pty.Write(kTime + kEndMarker);
  ASSERT_TRUE(RunEventsUntil([&] { return Finished(); }));
  EXPECT_EQ(ReadBytes(df), "0,\"231207093015\",\"Time\",0\r\n");
}

TEST_F(PortDownload, ASecondDownloadTruncatesTheFileAndCountsFromZero) {
  ASSERT_TRUE(Start(1));
  pty.Write(kTime + kCoded + kCoded + kEndMarker);
  ASSERT_TRUE(RunEventsUntil([&] { return Finished(); }));
  ASSERT_EQ(download.datano(), 3);
  const std::string first = ReadBytes(df);

  ASSERT_TRUE(Start(1));
  EXPECT_EQ(ReadBytes(df), first) << "replaced before the first new record";
  EXPECT_EQ(download.datano(), 0);
  pty.Write(kCoded + kEndMarker);
  ASSERT_TRUE(RunEventsUntil([&] { return Finished(); }));
  EXPECT_EQ(ReadBytes(df), "0,-1.234,7,0\r\n");
  EXPECT_EQ(download.datano(), 1);
}

TEST_F(PortDownload, AMeterThatHangsUpEndsTheDownloadKeepingItsRecords) {
  ASSERT_TRUE(Start(1));
  pty.Write(kTime);
  ASSERT_TRUE(RunEventsUntil([&] { return download.datano() == 1; }));
  pty.CloseMaster();
  ASSERT_TRUE(RunEventsUntil([&] { return !boxes.shown.empty(); }));
  test::RunEventsFor(200);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].prompt.rfind("The connection to the meter on Comm. 1 was lost", 0), 0u);
  EXPECT_EQ(ReadBytes(df), "0,\"231207093015\",\"Time\",0\r\n");
  EXPECT_TRUE(window.Idle());
  EXPECT_FALSE(download.fgComPortOpen());
}

}  // namespace
}  // namespace rx
