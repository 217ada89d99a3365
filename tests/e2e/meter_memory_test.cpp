#include "tools/meter_memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "download/meter_download.h"
#include "support/fakes.h"

namespace rx::sim {
namespace {

using Kind = MeterReading::Kind;

MeterReading Channel(int channel, int unit, bool negative, int code, uint32_t digits) {
  MeterReading r;
  r.kind = Kind::kChannelReading;
  r.channel = channel;
  r.unit_code = unit;
  r.negative = negative;
  r.decimal_code = code;
  r.digits = digits;
  return r;
}

MeterReading Coded(char kind, char channel, int unit, int code, uint32_t digits) {
  MeterReading r;
  r.kind = Kind::kCodedReading;
  r.coded_kind = kind;
  r.negative = kind == '1' || kind == '3';
  r.channel = channel;
  r.unit_code = unit;
  r.decimal_code = code;
  r.digits = digits;
  r.filler = "00000";
  return r;
}

MeterReading NoDigits(MeterReading r, const std::string& filler) {
  r.no_digits = true;
  r.filler = filler;
  return r;
}

UnitNames Names() {
  UnitNames names;
  names.Store(3, "V");
  names.Store(105, "kOhm");
  return names;
}

struct EncodingCase {
  const char* name;
  MeterReading reading;
  std::string body;
  std::string line;  // as record 7
};

class Encoding : public testing::TestWithParam<EncodingCase> {};

TEST_P(Encoding, GivesTheBodyAndTheLineOfACorrectDownload) {
  const EncodingCase& c = GetParam();
  EXPECT_EQ(EncodeBody(c.reading), c.body);
  EXPECT_EQ(ExpectedLine(7, c.reading, Names()), c.line);
}

MeterReading Time(const std::string& text) {
  MeterReading r;
  r.kind = Kind::kTime;
  r.time = text;
  return r;
}

INSTANTIATE_TEST_SUITE_P(
    Frames, Encoding,
    testing::Values(EncodingCase{"Time", Time("231207093015"), "40231207093015",
                                 "7,\"231207093015\",\"Time\",0\r\n"},
                    EncodingCase{"ChannelReading", Channel(1, 3, false, 2, 12345), "41030200012345",
                                 "7,123.45,\"V         \",1\r\n"},
                    EncodingCase{"NegativeChannelReading", Channel(1, 3, true, 2, 12345),
                                 "41031200012345", "7,-123.45,\"V         \",1\r\n"},
                    EncodingCase{"LetterChannelAndUnitTens", Channel(12, 105, false, 0, 7),
                                 "4CA50000000007", "7,7,\"kOhm      \",12\r\n"},
                    EncodingCase{"TrailingZerosAfterThePointGo", Channel(2, 3, false, 3, 1200),
                                 "42030300001200", "7,1.2,\"V         \",2\r\n"},
                    EncodingCase{"LeadingZeroBeforeThePoint", Channel(2, 3, true, 6, 5),
                                 "42031600000005", "7,-0.000005,\"V         \",2\r\n"},
                    EncodingCase{"DecimalCodeEightMultiplies", Channel(3, 3, false, 8, 42),
                                 "43030800000042", "7,4200,\"V         \",3\r\n"},
                    EncodingCase{"NegativeZeroHasNoSign", Channel(3, 3, true, 2, 0),
                                 "43031200000000", "7,0,\"V         \",3\r\n"},
                    EncodingCase{"ChannelOverload", NoDigits(Channel(1, 3, true, 2, 0), "    OL  "),
                                 "410312    OL  ", "7,999999,\"V         \",1\r\n"},
                    EncodingCase{"CodedReading", Coded('1', '0', 7, 3, 1234), "10070300001234",
                                 "7,-1.234,7,0\r\n"},
                    EncodingCase{"CodedChannelLetterKeepsItsDigitValue", Coded('2', 'C', 359, 0, 9),
                                 "2CZ90000000009", "7,9,359,19\r\n"},
                    EncodingCase{"CodedOverload", NoDigits(Coded('3', '5', 12, 1, 0), "12345 OL "),
                                 "3512112345 OL ", "7,999999,12,5\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// What the download core makes of a stream: the data file, fed in chunks of the given sizes
// through the same MeterDownload the program uses, minus the Qt serial port.
struct CoreDownload {
  std::string file;
  bool transfer_ok = false;
  std::vector<test::Box> boxes;
};

CoreDownload DownloadThroughCore(const MeterStream& stream, const UnitNames& names, int chunk_min,
                                 int chunk_max) {
  test::TempDir dir;
  test::ScriptedSerialControl serial;
  test::RecordingWindow window;
  test::RecordingMessageBox boxes;
  test::ManualClock clock;
  MeterDownload download(serial, window, boxes, clock, names);
  const std::string df = dir.File("download.dat");
  if (!download.ReadDataLogger_2(df, 1)) return {};
  std::mt19937 dice(chunk_max);
  std::uniform_int_distribution<int> size(chunk_min, chunk_max);
  for (size_t at = 0; at < stream.bytes.size() && download.fgComPortOpen();) {
    const size_t n = std::min<size_t>(size(dice), stream.bytes.size() - at);
    serial.Deliver(std::vector<uint8_t>(stream.bytes.begin() + at, stream.bytes.begin() + at + n));
    at += n;
  }
  return {test::ReadBytes(df), download.fgTransferOK(), boxes.shown};
}

struct StreamCase {
  const char* name;
  int records;
  uint32_t seed;
  bool noise;
  int chunk_min, chunk_max;
};

class GeneratedStream : public testing::TestWithParam<StreamCase> {};

TEST_P(GeneratedStream, DownloadsToTheExpectedDataFile) {
  const StreamCase& c = GetParam();
  UnitNames names;
  for (int code : {0, 1, 2, 3, 10, 105, 200, 300}) names.Store(code, "u" + std::to_string(code));
  const auto memory = GenerateMemory(c.records, c.seed, NamedUnitCodes(names));
  const MeterStream stream = EncodeStream(memory, {.enabled = c.noise}, c.seed);

  const CoreDownload got = DownloadThroughCore(stream, names, c.chunk_min, c.chunk_max);
  EXPECT_TRUE(got.transfer_ok);
  ASSERT_EQ(got.boxes.size(), 1u);
  EXPECT_TRUE(got.boxes[0].prompt.starts_with("Data Received O.K!")) << got.boxes[0].prompt;
  const std::string expected = ExpectedDataFile(memory, names);
  EXPECT_EQ(std::count(expected.begin(), expected.end(), '\n'), c.records);
  EXPECT_EQ(got.file, expected);
}

INSTANTIATE_TEST_SUITE_P(Streams, GeneratedStream,
                         testing::Values(StreamCase{"WholeStreamInOneChunk", 400, 1, false, 1 << 20,
                                                    1 << 20},
                                         StreamCase{"FrameSizedChunks", 400, 2, false, 16, 16},
                                         StreamCase{"NoiseInSmallChunks", 400, 3, true, 1, 7},
                                         StreamCase{"NoiseByteByByte", 200, 4, true, 1, 1},
                                         StreamCase{"NoiseInLargeChunks", 400, 5, true, 200, 900},
                                         StreamCase{"NoRecordsGiveAnEmptyFile", 0, 6, true, 1, 5}),
                         [](const auto& info) { return std::string(info.param.name); });

// The end-to-end comparisons mean something only if the memory holds every kind of frame.
TEST(GenerateMemory, HoldsEveryKindOfFrameTheMeterSends) {
  const std::vector<int> named = {0, 3, 105, 300};
  const auto memory = GenerateMemory(300, 11, named);
  ASSERT_EQ(memory.size(), 300u);
  EXPECT_EQ(memory.front().kind, Kind::kTime);
  std::set<std::string> seen;
  for (const MeterReading& r : memory) {
    const bool channel = r.kind == Kind::kChannelReading;
    if (r.kind == Kind::kTime) seen.insert("time");
    if (channel) seen.insert("channel");
    if (r.kind == Kind::kCodedReading) seen.insert("coded");
    if (r.no_digits) seen.insert(channel ? "channel 999999" : "coded 999999");
    if (r.negative && !r.no_digits && r.digits != 0) seen.insert("negative");
    if (channel && r.decimal_code >= 7) seen.insert("multiplying decimal code");
    if (channel && r.channel >= 10) seen.insert("letter channel");
    if (r.unit_code >= 100) seen.insert(channel ? "letter unit" : "coded letter unit");
    if (r.kind == Kind::kCodedReading && r.filler.find('\x02') != std::string::npos) {
      seen.insert("STX inside a body");
    }
    if (channel) {
      EXPECT_TRUE(std::find(named.begin(), named.end(), r.unit_code) != named.end())
          << "channel reading with unnamed unit " << r.unit_code;
    }
  }
  EXPECT_EQ(seen,
            (std::set<std::string>{"time", "channel", "coded", "channel 999999", "coded 999999",
                                   "negative", "multiplying decimal code", "letter channel",
                                   "letter unit", "coded letter unit", "STX inside a body"}));
}

TEST(GenerateMemory, TheSameSeedGivesTheSameStream) {
  const std::vector<int> named = {0, 1};
  for (auto generate : {GenerateMemory, GenerateLogMemory}) {
    const auto a = EncodeStream(generate(50, 9, named), {.enabled = true}, 9).bytes;
    const auto b = EncodeStream(generate(50, 9, named), {.enabled = true}, 9).bytes;
    const auto c = EncodeStream(generate(50, 10, named), {.enabled = true}, 10).bytes;
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
  }
}

TEST(EncodeStream, NoiseAddsJunkAndFramesToDropWithoutChangingTheRecords) {
  const auto memory = GenerateMemory(300, 12, {0});
  const MeterStream clean = EncodeStream(memory, {}, 12);
  const MeterStream noisy = EncodeStream(memory, {.enabled = true}, 12);
  EXPECT_EQ(clean.frames.size(), memory.size() + 2);  // the end marker is two frames
  const size_t dropped = noisy.frames.size() - clean.frames.size();
  EXPECT_GT(dropped, 5u);
  // A dropped frame is 15 or 16 bytes; the rest of the growth is junk between frames.
  EXPECT_GT(noisy.bytes.size(), clean.bytes.size() + 16 * dropped);
  EXPECT_EQ(noisy.StoredBefore(noisy.bytes.size()), memory.size());
  EXPECT_EQ(clean.StoredBefore(clean.frames[10].end), 11u);
}

// A logging session: a time frame, then readings on one to three channels of one unit each, and
// a second session with its own time frame from 20 records on.
TEST(LogMemory, IsSessionsOnAFewChannelsOfOneUnitEach) {
  for (const int records : {19, 300}) {
    const auto memory = GenerateLogMemory(records, 8, {0, 3, 8, 12, 14, 18});
    ASSERT_EQ(memory.size(), static_cast<size_t>(records));
    EXPECT_EQ(memory.front().kind, Kind::kTime);
    std::map<int, int> unit_of_channel;
    int sessions = 0;
    for (const MeterReading& r : memory) {
      if (r.kind == Kind::kTime) {
        ++sessions;
        continue;
      }
      EXPECT_EQ(unit_of_channel.emplace(r.channel, r.unit_code).first->second, r.unit_code);
    }
    EXPECT_EQ(sessions, records >= 20 ? 2 : 1) << records;
    EXPECT_LE(unit_of_channel.size(), 3u);
  }
}

}  // namespace
}  // namespace rx::sim
