#include "download/frame_receiver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fakes.h"

namespace rx {
namespace {

using test::Frame;

// Records the body of every delivered frame and the ESC count it came with.
class FrameRecorder : public FrameSink {
 public:
  std::vector<std::string> bodies;
  std::vector<int> esc_counts;
  void FrameToDigits(FrameBytes& frame, int esc_count) override {
    bodies.emplace_back(frame.begin() + 1, frame.begin() + 15);
    esc_counts.push_back(esc_count);
    EXPECT_EQ(frame[15], kCr);
  }
};

class Receiving {
 public:
  Receiving() {
    receiver.Reset();
    receiver.ResetEscCount();
  }
  FrameReceiver::Result Feed(const std::string& chunk) {
    std::vector<uint8_t> bytes(chunk.begin(), chunk.end());
    return receiver.Feed(bytes, recorder);
  }
  FrameReceiver receiver;
  FrameRecorder recorder;
};

const std::string kA = "41030200012345";
const std::string kB = "10070300001234";
const std::string kC = "40231207093015";
const std::string kEscBody(14, '\x1B');

TEST(FrameReceiver, AssemblesAFrameSplitAtEveryPosition) {
  const std::string wire = Frame(kA) + Frame(kB);
  for (size_t cut = 0; cut <= wire.size(); ++cut) {
    Receiving r;
    r.Feed(wire.substr(0, cut));
    r.Feed(wire.substr(cut));
    EXPECT_EQ(r.recorder.bodies, (std::vector<std::string>{kA, kB})) << "cut at " << cut;
  }
}

TEST(FrameReceiver, AssemblesAFrameArrivingByteByByte) {
  Receiving r;
  for (char byte : Frame(kA) + Frame(kC)) r.Feed(std::string(1, byte));
  EXPECT_EQ(r.recorder.bodies, (std::vector<std::string>{kA, kC}));
}

struct StreamCase {
  const char* name;
  std::string chunk;
  std::vector<std::string> delivered;
};

void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

class ReceivesOneChunk : public testing::TestWithParam<StreamCase> {};

TEST_P(ReceivesOneChunk, DeliversTheseFrames) {
  Receiving r;
  EXPECT_EQ(r.Feed(GetParam().chunk), FrameReceiver::Result::kChunkDone);
  EXPECT_EQ(r.recorder.bodies, GetParam().delivered);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, ReceivesOneChunk,
    testing::Values(
        StreamCase{"SeveralFramesInOrder", Frame(kA) + Frame(kB) + Frame(kC), {kA, kB, kC}},
        StreamCase{"NoiseBeforeStartIgnored", "xyz\r\x1B\x1B\x01" + Frame(kA), {kA}},
        StreamCase{"NoiseBetweenFrames", Frame(kA) + "\r\n\x1B" + Frame(kB), {kA, kB}},
        StreamCase{"StartByteInsideBodyIsData",
                   Frame("41\x02"
                         "30200012345"),
                   {"41\x02"
                    "30200012345"}},
        // A bad terminator drops only its own frame; the frames after it in the chunk are kept.
        StreamCase{
            "BadTerminatorDropsOnlyThatFrame", "\x02" + kA + "X" + Frame(kB) + Frame(kC), {kB, kC}},
        // A byte lost on the line puts the next frame's start byte at position 15.
        StreamCase{"LostBodyByteRecoversAtTheNextStart",
                   "\x02" + kA.substr(0, 13) + "\r" + Frame(kB) + Frame(kC),
                   {kB, kC}},
        StreamCase{"LostTerminatorRecoversAtTheNextStart", "\x02" + kA + Frame(kB), {kB}},
        StreamCase{"EscAtPositionFifteenIsNotATerminator", "\x02" + kA + "\x1B" + Frame(kB), {kB}},
        StreamCase{"NothingButNoise", std::string(100, '\x1B'), {}}),
    [](const auto& info) { return info.param.name; });

TEST(FrameReceiver, CountsEscOnlyAtBodyPositionsOneToFourteen) {
  Receiving r;
  // 3 ESC in a body, ESC while hunting, ESC at position 15 (a bad terminator).
  r.Feed("\x1B\x1B" +
         Frame("\x1B"
               "1030200\x1B"
               "1234\x1B") +
         "\x1B");
  EXPECT_EQ(r.receiver.EscCount, 3);
  r.Feed("\x02" + kA + "\x1B");
  EXPECT_EQ(r.receiver.EscCount, 3);
  r.Feed(
      Frame("41030200\x1B"
            "12345"));
  EXPECT_EQ(r.receiver.EscCount, 4);
  EXPECT_EQ(r.recorder.esc_counts, (std::vector<int>{3, 4}));
}

TEST(FrameReceiver, TheSecondAllEscFrameEndsTheMemoryAtItsFourteenthEsc) {
  Receiving r;
  EXPECT_EQ(r.Feed(Frame(kA) + Frame(kEscBody)), FrameReceiver::Result::kChunkDone);
  EXPECT_EQ(r.receiver.EscCount, 14);
  EXPECT_EQ(r.recorder.esc_counts, (std::vector<int>{0, 14}));
  // Everything after the 28th ESC in the same chunk is left unexamined.
  EXPECT_EQ(r.Feed("\x02" + kEscBody + "\r" + Frame(kB)), FrameReceiver::Result::kEndOfMemory);
  EXPECT_EQ(r.receiver.EscCount, 28);
  EXPECT_EQ(r.recorder.bodies.size(), 2u);
}

TEST(FrameReceiver, EscBytesInOrdinaryFramesCountTowardsTheEnd) {
  Receiving r;
  const std::string seven_esc = "4103020\x1B\x1B\x1B\x1B\x1B\x1B\x1B";
  FrameReceiver::Result result = FrameReceiver::Result::kChunkDone;
  for (int i = 0; i < 4; ++i) result = r.Feed(Frame(seven_esc));
  EXPECT_EQ(result, FrameReceiver::Result::kEndOfMemory);
  EXPECT_EQ(r.recorder.bodies.size(), 3u);  // the fourth ends the memory before its terminator
}

TEST(FrameReceiver, ResetStartsHuntingAgain) {
  Receiving r;
  r.Feed("\x02" + kA.substr(0, 5));
  r.receiver.Reset();
  r.Feed(kA.substr(5) + "\r" + Frame(kB));
  EXPECT_EQ(r.recorder.bodies, (std::vector<std::string>{kB}));
}

}  // namespace
}  // namespace rx
