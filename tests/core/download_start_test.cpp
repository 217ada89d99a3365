#include <gtest/gtest.h>

#include "download/meter_download.h"
#include "support/download_rig.h"

namespace rx {
namespace {

using test::Box;
using test::Frame;
using test::ReadBytes;

class DownloadStart : public testing::Test, public test::DownloadRig {};

TEST_F(DownloadStart, AnErrorAtAnyPortStepEndsTheSetUpThereWithOneBox) {
  struct Case {
    const char* step;
    std::vector<std::string> done;  // the operations that took place before it
  };
  const std::vector<std::string> all = {"CommPort=4",  "CommPort=4", "Settings=9600,N,8,1",
                                        "InputMode=1", "InputLen=0", "RThreshold=1"};
  auto first = [&all](size_t n) { return std::vector<std::string>(all.begin(), all.begin() + n); };
  const Case cases[] = {
      {"CommPort", first(0)},  {"PortOpen?", first(1)}, {"Settings", first(2)},
      {"InputMode", first(3)}, {"InputLen", first(4)},  {"RThreshold", first(5)},
      {"PortOpen", first(6)},
  };
  // A file agreed to be replaced keeps its records when no new one can come.
  test::WriteBytes(df, "0,1.5,\"V         \",1\r\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.step);
    serial.log.clear();
    serial.failures = {{c.step, std::string("failed at ") + c.step}};
    boxes.shown.clear();

    EXPECT_FALSE(Start(4));
    EXPECT_EQ(serial.log, c.done);
    EXPECT_EQ(boxes.shown, (std::vector<Box>{{std::string("failed at ") + c.step, "RX7731"}}));
    EXPECT_TRUE(window.Idle());
    EXPECT_FALSE(download.fgComPortOpen());
    // The data file is closed: an event that still arrives stores nothing.
    serial.Deliver(Frame("40231207093015"));
    EXPECT_EQ(ReadBytes(df), "0,1.5,\"V         \",1\r\n");
  }
}

TEST_F(DownloadStart, APortThatIsAlreadyOpenKeepsItsSettings) {
  serial.SetPortOpen(true);
  serial.log.clear();
  EXPECT_TRUE(Start(2));
  EXPECT_EQ(serial.log, std::vector<std::string>{"CommPort=2"});
  EXPECT_TRUE(download.fgComPortOpen());
}

TEST_F(DownloadStart, TheReceiverIsResetBeforeAnyPortOperation) {
  // A finished download leaves the receiver inside the frame of its end marker.
  const std::string esc(14, '\x1B');
  ASSERT_TRUE(Start(1));
  serial.Deliver(Frame(esc) + "\x02" + esc);
  ASSERT_TRUE(download.fgTransferOK());
  ASSERT_EQ(download.Receiver().RxState, 2);

  serial.failures = {{"CommPort", "Invalid port number"}};
  EXPECT_FALSE(Start(1));
  const FrameReceiver& rx = download.Receiver();
  EXPECT_EQ(rx.RxState, 0);
  EXPECT_EQ(rx.StartPattern[1], 0x02);
  EXPECT_EQ(rx.FrameBodyLength, 15);
  EXPECT_EQ(rx.StartIndex, 1);
  EXPECT_EQ(rx.FrameByteCount, 0);
  EXPECT_EQ(rx.EscCount, 0);
}

}  // namespace
}  // namespace rx
