// A write that fails part-way through a receive event, as on a full disk, which a file-size
// limit stands in for.

#include <gtest/gtest.h>

#include "data/data_file.h"
#include "download/meter_download.h"
#include "support/download_rig.h"
#include "support/file_size_limit.h"

namespace rx {
namespace {

using test::FileSizeLimit;
using test::Frame;
using test::ReadBytes;

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
