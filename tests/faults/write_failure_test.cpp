// A write that fails part-way through a receive event, as on a full disk. A file-size limit
// stands in for the full disk: with SIGXFSZ ignored, a write past it stores what fits and then
// fails with EFBIG, which is what a disk that fills up mid-write does.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include "data/data_file.h"
#include "download/meter_download.h"
#include "support/download_rig.h"

namespace rx {
namespace {

using test::Frame;
using test::ReadBytes;

class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    old_signal_ = signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, old_signal_);
  }

 private:
  rlimit old_{};
  sighandler_t old_signal_;
};

const std::string kLine = "123.45,\"V         \",1\r\n";

std::string Lines(int from, int to) {
  std::string lines;
  for (int i = from; i < to; ++i) lines += std::to_string(i) + "," + kLine;
  return lines;
}

std::string Frames(int count) {
  std::string frames;
  for (int i = 0; i < count; ++i) frames += Frame("41030200012345");
  return frames;
}

class WriteFailure : public testing::TestWithParam<int>, public test::DownloadRig {};

// The limit falls `GetParam()` bytes into the second event's records: inside its first line, at
// its end, inside a later one.
TEST_P(WriteFailure, LeavesOnlyWholeRecordsAndTheCountGoesByThem) {
  ASSERT_TRUE(Start(1));
  serial.Deliver(Frames(10));
  ASSERT_EQ(ReadBytes(df), Lines(0, 10));
  {
    FileSizeLimit full(Lines(0, 10).size() + GetParam());
    serial.Deliver(Frames(5));
  }
  EXPECT_EQ(ReadBytes(df), Lines(0, 10)) << "the file ends in part of what failed";
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].prompt, "Cannot write data file " + df +
                                       ": File too large\r\nThe download has stopped. 10 "
                                       "readings were saved to " +
                                       df + ".");
  EXPECT_EQ(window.count, "10");
  EXPECT_TRUE(window.Idle());
  // View Data reads back as many records as the count says.
  ASSERT_EQ(download.datano(), 10);
  EXPECT_EQ(ReadDataFile(df, download.datano()).size(), 10u);
}

INSTANTIATE_TEST_SUITE_P(Cuts, WriteFailure, testing::Values(0, 1, 25, 26, 27, 100));

}  // namespace
}  // namespace rx
