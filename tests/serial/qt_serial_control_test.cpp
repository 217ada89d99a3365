#include "download/qt/qt_serial_control.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "download/port_device.h"
#include "pty.h"
#include "support/fakes.h"

namespace rx {
namespace {

using test::Pty;
using test::RunEventsFor;
using test::RunEventsUntil;

struct Event {
  int16_t code;
  std::string bytes;
  bool operator==(const Event&) const = default;
};

void PrintTo(const Event& e, std::ostream* os) {
  *os << e.code << ":" << testing::PrintToString(e.bytes);
}

class QtSerialControlTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { test::EnsureQtApplication(); }

  QtSerialControlTest() {
    pty.LinkAsPort(dir.Path(), 7);
    control.SetCommPort(7);
    control.SetOnComm([this] {
      Event event{control.CommEvent(), ""};
      if (event.code == kComEvReceive) {
        const std::vector<uint8_t> bytes = control.Input();
        event.bytes.assign(bytes.begin(), bytes.end());
      }
      events.push_back(event);
    });
  }

  // The set-up the download does.
  void OpenForTheMeter() {
    control.SetSettings("9600,N,8,1");
    control.SetInputMode(1);
    control.SetInputLen(0);
    control.SetRThreshold(1);
    control.SetPortOpen(true);
  }

  std::string Received() const {
    std::string all;
    for (const Event& e : events) all += e.bytes;
    return all;
  }

  Pty pty;
  test::TempDir dir;
  QtSerialControl control{dir.Path().string()};
  std::vector<Event> events;
};

TEST_F(QtSerialControlTest, OpensThePortNumberThroughItsPortsLink) {
  OpenForTheMeter();
  EXPECT_TRUE(control.PortOpen());
  EXPECT_EQ(control.CommPort(), 7);
}

TEST_F(QtSerialControlTest, SetsTheLineTo9600N81WithoutFlowControl) {
  OpenForTheMeter();
  const termios line = pty.Line();
  EXPECT_EQ(cfgetispeed(&line), B9600);
  EXPECT_EQ(cfgetospeed(&line), B9600);
  EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_FALSE(line.c_cflag & PARENB);
  EXPECT_FALSE(line.c_cflag & CSTOPB);
  EXPECT_FALSE(line.c_cflag & CRTSCTS);
  EXPECT_FALSE(line.c_iflag & (IXON | IXOFF));
}

TEST_F(QtSerialControlTest, SettingsChangeAnOpenPortAtOnce) {
  OpenForTheMeter();
  control.SetSettings("1200,N,8,2");
  const termios line = pty.Line();
  EXPECT_EQ(cfgetispeed(&line), B1200);
  EXPECT_TRUE(line.c_cflag & CSTOPB);
}

TEST_F(QtSerialControlTest, SettingsTheDeviceRejectsAreAnError) {
  OpenForTheMeter();
  try {
    control.SetSettings("9600,E,8,1");  // a pseudo-terminal has no parity
    FAIL() << "accepted";
  } catch (const SerialError& e) {
    EXPECT_EQ(std::string(e.Description()).rfind("Cannot set Comm. port 7 to \"9600,E,8,1\": ", 0),
              0u)
        << e.Description();
  }
}

TEST_F(QtSerialControlTest, InvalidSettingsAreAnErrorAndKeepThePreviousOnes) {
  OpenForTheMeter();
  EXPECT_THROW(control.SetSettings("9600,X,8,1"), SerialError);
  const termios line = pty.Line();
  EXPECT_EQ(cfgetispeed(&line), B9600);
}

TEST_F(QtSerialControlTest, ReceivedBytesArriveAsReceiveEventsCarryingEveryWaitingByte) {
  OpenForTheMeter();
  const std::string first(
      "\x02"
      "40231207",
      9);
  const std::string second("093015\r\x00\xFF\x1B", 10);  // binary: NUL and 0xFF pass unchanged
  pty.Write(first);
  ASSERT_TRUE(RunEventsUntil([&] { return Received() == first; }));
  pty.Write(second);
  ASSERT_TRUE(RunEventsUntil([&] { return Received() == first + second; }));
  for (const Event& e : events) {
    EXPECT_EQ(e.code, kComEvReceive);
    EXPECT_FALSE(e.bytes.empty());
  }
}

TEST_F(QtSerialControlTest, WhileBytesStreamInTheNextEventComesWhenAPairOfFramesIsWhole) {
  control.SetQuietInterval(60'000);  // the line never counts as quiet in this test
  OpenForTheMeter();
  const std::string time =
                        "\x02"
                        "40231207093015\r",
                    reading =
                        "\x02"
                        "41030200012345\r";
  pty.Write(time.substr(0, 4));
  ASSERT_TRUE(RunEventsUntil([&] { return events.size() == 1; }));
  pty.Write(time.substr(4));
  RunEventsFor(50);
  EXPECT_EQ(events.size(), 1u) << "the second frame has not begun";
  pty.Write(reading);
  ASSERT_TRUE(RunEventsUntil([&] { return events.size() == 2; }));
  EXPECT_EQ(events[1].bytes, time.substr(4) + reading);
  pty.Write(reading + reading.substr(0, 15));
  RunEventsFor(50);
  EXPECT_EQ(events.size(), 2u) << "one byte short of a pair";
  pty.Write("\r");
  ASSERT_TRUE(RunEventsUntil([&] { return events.size() == 3; }));
  EXPECT_EQ(events[2].bytes, reading + reading);
}

TEST_F(QtSerialControlTest, InputLenLimitsWhatOneInputReturns) {
  control.SetOnComm(nullptr);
  OpenForTheMeter();
  control.SetInputLen(2);
  pty.Write("abcde");
  ASSERT_TRUE(RunEventsUntil([&] { return control.Input().size() == 2; }));
  control.SetInputLen(0);
  EXPECT_EQ(control.Input(), (std::vector<uint8_t>{'c', 'd', 'e'}));
}

TEST_F(QtSerialControlTest, ThresholdZeroRaisesNoReceiveEvents) {
  OpenForTheMeter();
  control.SetRThreshold(0);
  pty.Write("abc");
  RunEventsFor(200);
  EXPECT_TRUE(events.empty());
}

TEST_F(QtSerialControlTest, EventsArriveOneAtATimeEvenWhenAHandlerRunsTheEventLoop) {
  int depth = 0, deepest = 0;
  control.SetOnComm([&] {
    deepest = std::max(deepest, ++depth);
    const std::vector<uint8_t> bytes = control.Input();
    events.push_back({control.CommEvent(), std::string(bytes.begin(), bytes.end())});
    if (events.size() == 1) {
      // As a modal box does: the event loop runs while the handler waits.
      pty.Write("more");
      RunEventsFor(300);
    }
    --depth;
  });
  OpenForTheMeter();
  pty.Write("first");
  ASSERT_TRUE(RunEventsUntil([&] { return Received() == "firstmore"; }));
  EXPECT_EQ(deepest, 1);
  EXPECT_EQ(events, (std::vector<Event>{{kComEvReceive, "first"}, {kComEvReceive, "more"}}));
}

TEST_F(QtSerialControlTest, ALostDeviceClosesThePortAndRaisesPortLostOnce) {
  OpenForTheMeter();
  pty.CloseMaster();
  ASSERT_TRUE(RunEventsUntil([&] { return !events.empty(); }));
  RunEventsFor(200);  // a failing read repeats until the port is closed
  EXPECT_EQ(events, (std::vector<Event>{{kComEventPortLost, ""}}));
  EXPECT_FALSE(control.PortOpen());
}

TEST_F(QtSerialControlTest, ClosingAClosedPortDoesNothing) {
  EXPECT_NO_THROW(control.SetPortOpen(false));
  OpenForTheMeter();
  control.SetPortOpen(false);
  EXPECT_NO_THROW(control.SetPortOpen(false));
  EXPECT_FALSE(control.PortOpen());
}

TEST_F(QtSerialControlTest, NoEventsArriveAfterThePortIsClosed) {
  OpenForTheMeter();
  control.SetPortOpen(false);
  pty.Write("late");
  RunEventsFor(200);
  EXPECT_TRUE(events.empty());
}

TEST_F(QtSerialControlTest, OpeningAnOpenPortOrReadingAClosedOneIsAnError) {
  EXPECT_THROW(control.Input(), SerialError);
  OpenForTheMeter();
  EXPECT_THROW(control.SetPortOpen(true), SerialError);
  EXPECT_TRUE(control.PortOpen());
}

TEST_F(QtSerialControlTest, ThePortCanBeOpenedAgainAfterClosing) {
  OpenForTheMeter();
  control.SetPortOpen(false);
  control.SetPortOpen(true);
  pty.Write("again");
  EXPECT_TRUE(RunEventsUntil([&] { return Received() == "again"; }));
}

TEST_F(QtSerialControlTest, AFailedOpenNamesPortDeviceAndReason) {
  const std::string missing = dir.File("ttyUSB9");
  std::filesystem::create_symlink(missing, dir.Path() / "ports" / "com8");
  control.SetCommPort(8);
  try {
    OpenForTheMeter();
    FAIL() << "opened a missing device";
  } catch (const SerialError& e) {
    // With the ports to choose from: the pseudo-terminal linked as Comm. 7 among them.
    const std::string listed = PresentPorts(dir.Path().string(), ListedSerialPorts());
    EXPECT_EQ(e.Description(),
              PortOpenFailure(dir.Path().string(), 8, (dir.Path() / "ports" / "com8").string(),
                              "No such file or directory") +
                  "\r\n" + listed);
    const std::string pty_device =
        std::filesystem::canonical(dir.Path() / "ports" / "com7").string();
    EXPECT_NE(listed.find("Comm. 7 (" + pty_device + ")"), std::string::npos) << listed;
  }
  EXPECT_FALSE(control.PortOpen());
}

TEST_F(QtSerialControlTest, APortThatAnotherProgramHoldsIsReportedAsInUseByIt) {
  OpenForTheMeter();
  // The second control stands in for a second RX7731 started on the same port: the lock file
  // names this test program's process.
  QtSerialControl second{dir.Path().string()};
  second.SetCommPort(7);
  try {
    second.SetPortOpen(true);
    FAIL() << "opened a port that is held";
  } catch (const SerialError& e) {
    EXPECT_EQ(e.Description(), PortInUseFailure(7, (dir.Path() / "ports" / "com7").string(),
                                                PortLockHolder{::getpid(), "serial_tests"}));
  }
  EXPECT_FALSE(second.PortOpen());
  // The first keeps every byte.
  pty.Write("kept");
  EXPECT_TRUE(RunEventsUntil([&] { return Received() == "kept"; }));
}

}  // namespace
}  // namespace rx
