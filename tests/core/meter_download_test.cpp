#include "download/meter_download.h"

#include <gtest/gtest.h>

#include "support/download_rig.h"

namespace rx {
namespace {

using test::Box;
using test::Frame;
using test::ReadBytes;
using test::TempDir;

const std::string kEscFrame = Frame(std::string(14, '\x1B'));
const std::string kEndMarker = kEscFrame + kEscFrame;
const std::string kA = "41030200012345";
const std::string kLineA = "\"V         \",1\r\n";

class Download : public testing::Test, public test::DownloadRig {};

TEST_F(Download, OpensThePortWithTheLineSettingsInOrder) {
  ASSERT_TRUE(Start(3));
  EXPECT_EQ(serial.log, (std::vector<std::string>{"CommPort=3", "CommPort=3", "Settings=9600,N,8,1",
                                                  "InputMode=1", "InputLen=0", "RThreshold=1",
                                                  "PortOpen=true"}));
  EXPECT_TRUE(download.fgComPortOpen());
  EXPECT_FALSE(download.fgTransferOK());
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(FileBytes(), "");
}

TEST_F(Download, ACompleteDownloadStoresEveryFrameAndEndsInOrder) {
  ASSERT_TRUE(Start());
  clock.now = 1000;
  serial.Deliver(Frame("40231207093015") + Frame(kA).substr(0, 7));
  serial.Deliver(Frame(kA).substr(7) + Frame("10070300001234"));
  clock.now = 6000;
  window.log.clear();
  serial.Deliver(kEndMarker + "trailing bytes are not examined");

  EXPECT_EQ(FileBytes(),
            "0,\"231207093015\",\"Time\",0\r\n1,123.45," + kLineA + "2,-1.234,7,0\r\n");
  EXPECT_EQ(download.datano(), 3);
  EXPECT_TRUE(download.fgTransferOK());
  EXPECT_FALSE(download.fgComPortOpen());
  EXPECT_EQ(serial.log.back(), "PortOpen=false");
  EXPECT_EQ(window.log, (std::vector<std::string>{"Status=Data Transfer OK", "Count=3", "Start=on",
                                                  "ViewData=on", "Timer=off", "Indicator=off",
                                                  "Receiving=off"}));
  EXPECT_EQ(boxes.shown,
            (std::vector<Box>{{"Data Received O.K!\r\nTotal Time ( ms ) =  5000", "RX7731"}}));
  EXPECT_EQ(download.TransferMs(), 5000u);
  EXPECT_EQ(download.RecordsSaved(), 3);
}

TEST_F(Download, AFailureWhileEndingAtTheMarkerIsNoTransfer) {
  ASSERT_TRUE(Start());
  serial.Deliver(Frame(kA));
  serial.failures["PortOpen"] = "Cannot close Comm. port 1";
  serial.Deliver(kEndMarker);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].prompt,
            "Cannot close Comm. port 1\r\nThe download has stopped. 1 "
            "reading was saved to " +
                df + ".");
  EXPECT_FALSE(download.fgTransferOK()) << "a failure must not read as a whole memory";
  EXPECT_EQ(window.status, "Data Transfer Failed");
}

TEST_F(Download, ThePortIsClosedAndTheFileCompleteWhileTheFinalBoxIsOpen) {
  ASSERT_TRUE(Start());
  int checked = 0;
  boxes.on_inform = [&] {
    EXPECT_EQ(serial.log.back(), "PortOpen=false");
    EXPECT_FALSE(window.timer);
    EXPECT_EQ(FileBytes(), "0,123.45," + kLineA);
    ++checked;
  };
  serial.Deliver(Frame(kA) + kEndMarker);
  EXPECT_EQ(checked, 1);
}

struct ElapsedCase {
  uint32_t start, end, shown;
};

void PrintTo(const ElapsedCase& c, std::ostream* os) { *os << c.start << "->" << c.end; }

class ElapsedTime : public Download, public testing::WithParamInterface<ElapsedCase> {};

TEST_P(ElapsedTime, RunsFromTheFirstEventOfAnyKindAcrossATickWrap) {
  ASSERT_TRUE(Start());
  clock.now = GetParam().start;
  serial.Raise(kComEventFrame);  // a line error still takes the start tick
  clock.now = GetParam().start + 7;
  serial.Deliver(Frame(kA));
  clock.now = GetParam().end;
  serial.Deliver(kEndMarker);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].prompt,
            "Data Received O.K!\r\nTotal Time ( ms ) =  " + std::to_string(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(Ticks, ElapsedTime,
                         testing::Values(ElapsedCase{100, 5100, 5000}, ElapsedCase{0, 0, 0},
                                         ElapsedCase{0xFFFFF000u, 0x388u, 0x1388u},
                                         ElapsedCase{0x7FFFFFFFu, 0x80000063u, 100u}));

TEST_F(Download, EachReceiveEventReachesTheDiskBeforeItReturns) {
  ASSERT_TRUE(Start());
  serial.Deliver(Frame(kA) + Frame(kA).substr(0, 9));
  EXPECT_EQ(FileBytes(), "0,123.45," + kLineA);
  serial.Deliver(Frame(kA).substr(9));
  EXPECT_EQ(FileBytes(), "0,123.45," + kLineA + "1,123.45," + kLineA);
}

TEST_F(Download, OtherEventsAndEmptyReadsChangeNothing) {
  ASSERT_TRUE(Start());
  for (int16_t event :
       std::initializer_list<int16_t>{kComEventFrame, kComEventRxParity, kComEventOverrun, 5}) {
    serial.Raise(event);
  }
  serial.Deliver(std::string());
  EXPECT_EQ(download.datano(), 0);
  EXPECT_TRUE(download.fgComPortOpen());
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(Download, TheTimerBlinksAndShowsTheCountAcrossDownloads) {
  ASSERT_TRUE(Start());
  serial.Deliver(Frame(kA) + Frame(kA));
  window.log.clear();
  download.Timer1_Timer();
  download.Timer1_Timer();
  download.Timer1_Timer();
  serial.Deliver(kEndMarker);
  ASSERT_TRUE(Start());
  window.log.clear();
  download.Timer1_Timer();
  EXPECT_EQ(window.log, (std::vector<std::string>{"Color=FF8080", "Count=0"}));
}

TEST_F(Download, TheFirstTickPaintsGreenThenTheColoursAlternate) {
  ASSERT_TRUE(Start());
  serial.Deliver(Frame(kA));
  download.Timer1_Timer();
  download.Timer1_Timer();
  EXPECT_EQ(window.log,
            (std::vector<std::string>{"Color=80FF80", "Count=1", "Color=FF8080", "Count=1"}));
}

struct PortFailureCase {
  const char* name;
  std::string failing_operation;
};

void PrintTo(const PortFailureCase& c, std::ostream* os) { *os << c.name; }

class PortFailure : public Download, public testing::WithParamInterface<PortFailureCase> {};

TEST_P(PortFailure, ShowsOneBoxAndLeavesTheWindowIdle) {
  serial.failures[GetParam().failing_operation] = "Cannot open Comm. 3: No such file or directory";
  EXPECT_FALSE(Start());
  EXPECT_EQ(boxes.shown,
            (std::vector<Box>{{"Cannot open Comm. 3: No such file or directory", "RX7731"}}));
  EXPECT_FALSE(download.fgComPortOpen());
  EXPECT_TRUE(window.Idle());
  EXPECT_EQ(FileBytes(), "");
  EXPECT_EQ(download.Receiver().RxState, 0);
  // The user picks another port and starts again.
  serial.failures.clear();
  EXPECT_TRUE(Start(4));
  serial.Deliver(Frame(kA));
  EXPECT_EQ(FileBytes(), "0,123.45," + kLineA);
}

INSTANTIATE_TEST_SUITE_P(Operations, PortFailure,
                         testing::Values(PortFailureCase{"Open", "PortOpen"},
                                         PortFailureCase{"Settings", "Settings"},
                                         PortFailureCase{"SelectPort", "CommPort"}),
                         [](const auto& info) { return info.param.name; });

TEST_F(Download, ADataFileThatCannotBeCreatedIsReportedAndThePortStaysClosed) {
  df = dir.File("missing-folder/261208.dat");
  EXPECT_FALSE(Start());
  EXPECT_EQ(boxes.shown,
            (std::vector<Box>{
                {"Cannot create data file " + df + ": No such file or directory", "RX7731"}}));
  EXPECT_TRUE(serial.log.empty());
  EXPECT_TRUE(window.Idle());
}

TEST_F(Download, AWriteErrorEndsTheDownloadAndSaysWhatWasSaved) {
  df = "/dev/full";
  ASSERT_TRUE(Start());
  serial.Deliver(Frame(kA));
  EXPECT_EQ(boxes.shown,
            (std::vector<Box>{{test::kFullDeviceFailure +
                                   "\r\nThe download has stopped. 0 readings were saved to "
                                   "/dev/full.",
                               "RX7731"}}));
  EXPECT_EQ(serial.log.back(), "PortOpen=false");
  EXPECT_FALSE(download.fgComPortOpen());
  EXPECT_TRUE(window.Idle());
  EXPECT_EQ(window.status, "Data Transfer Failed");
}

TEST_F(Download, ALostPortEndsTheDownloadKeepingEveryRecord) {
  ASSERT_TRUE(Start(3));
  serial.Deliver(Frame(kA) + Frame(kA));
  serial.Raise(kComEventPortLost);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].prompt,
            "The connection to the meter on Comm. 3 was lost: the cable was unplugged or the "
            "serial adapter removed.\r\nThe download has stopped. 2 readings were saved to " +
                df + ".");
  EXPECT_EQ(FileBytes(), "0,123.45," + kLineA + "1,123.45," + kLineA);
  EXPECT_TRUE(window.Idle());
  EXPECT_FALSE(download.fgComPortOpen());
}

TEST_F(Download, ExitDuringADownloadClosesThePortAndKeepsTheRecords) {
  ASSERT_TRUE(Start());
  serial.Deliver(Frame(kA) + Frame(kA).substr(0, 4));
  download.Exit();
  EXPECT_EQ(serial.log.back(), "PortOpen=false");
  EXPECT_EQ(FileBytes(), "0,123.45," + kLineA);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(Download, ExitWithThePortClosedTouchesNoPort) {
  download.Exit();
  EXPECT_TRUE(serial.log.empty());
}

TEST_F(Download, ASecondDownloadTruncatesTheFileAndCountsFromZero) {
  ASSERT_TRUE(Start());
  serial.Deliver(Frame(kA) + Frame(kA) + kEndMarker);
  const std::string first = FileBytes();
  ASSERT_TRUE(Start());
  serial.Deliver(std::string("\x02") + "1007");  // part of a frame: no record yet
  EXPECT_EQ(FileBytes(), first) << "the earlier records went before a new one came";
  EXPECT_EQ(download.datano(), 0);
  serial.Deliver(std::string("0300001234\r") + kEndMarker);
  EXPECT_EQ(FileBytes(), "0,-1.234,7,0\r\n");
  EXPECT_EQ(download.datano(), 1);
}

TEST_F(Download, FramesAfterTheFourteenthEscAreNotStored) {
  ASSERT_TRUE(Start());
  serial.Deliver(Frame(kA) + Frame("4103020\x1B\x1B\x1B\x1B\x1B\x1B\x1B") +
                 Frame("4103020\x1B\x1B\x1B\x1B\x1B\x1B\x1B") + Frame(kA));
  EXPECT_EQ(download.datano(), 2);
  EXPECT_EQ(download.Decoder().FrameSerial, 4);
  serial.Deliver(kEscFrame);
  EXPECT_TRUE(download.fgTransferOK());
  EXPECT_EQ(boxes.shown.size(), 1u);
}

}  // namespace
}  // namespace rx
