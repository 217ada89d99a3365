#include "download/reading_decoder.h"

#include <gtest/gtest.h>

#include "data/data_file.h"
#include "support/fakes.h"

namespace rx {
namespace {

using test::ReadBytes;
using test::TempDir;

// Decodes frames given by their fourteen body characters into a real data file.
class Decoding {
 public:
  Decoding() {
    names.Store(3, "V");
    names.Store(7, "mA");
    names.Store(105, "kPa");
    writer.OpenDataFile(path);
  }

  ReadingDecoder& Decode(const std::string& body, int esc_count = 0) {
    FrameBytes frame{};
    for (size_t i = 0; i < body.size(); ++i) frame[i + 1] = static_cast<uint8_t>(body[i]);
    frame[15] = kCr;
    decoder.FrameToDigits(frame, esc_count);
    return decoder;
  }

  std::string Lines() {
    writer.Flush();
    return ReadBytes(path);
  }

  TempDir dir;
  std::string path = dir.File("d.dat");
  UnitNames names;
  DataFileWriter writer;
  ReadingDecoder decoder{names, writer};
};

struct FrameCase {
  const char* name;
  std::string body;  // positions 1 to 14
  std::string line;  // the stored line without CR LF, sequence number 0
};

void PrintTo(const FrameCase& c, std::ostream* os) { *os << c.name; }

class DecodesOneFrame : public testing::TestWithParam<FrameCase> {};

TEST_P(DecodesOneFrame, IntoItsRecord) {
  Decoding d;
  d.Decode(GetParam().body);
  EXPECT_EQ(d.Lines(), GetParam().line + "\r\n");
  EXPECT_EQ(d.decoder.datano, 1);
}

const std::string kPad = "         ";  // nine blanks after a one-letter unit name

INSTANTIATE_TEST_SUITE_P(
    Frames, DecodesOneFrame,
    testing::Values(FrameCase{"ChannelReading", "41030200012345", "0,123.45,\"V" + kPad + "\",1"},
                    FrameCase{"NegativeSign", "41031200012345", "0,-123.45,\"V" + kPad + "\",1"},
                    FrameCase{"BlankThousandsDigitIsTheMarker", "4103020001 345",
                              "0,999999,\"V" + kPad + "\",1"},
                    FrameCase{"MarkerIgnoresSignAndDecimalCode", "4103150001x345",
                              "0,999999,\"V" + kPad + "\",1"},
                    FrameCase{"DecimalCode7", "41030700012345", "0,123450,\"V" + kPad + "\",1"},
                    FrameCase{"DecimalCode8", "41030800012345", "0,1234500,\"V" + kPad + "\",1"},
                    FrameCase{"DecimalCode9", "41030900012345", "0,12345000,\"V" + kPad + "\",1"},
                    FrameCase{"DecimalCode6", "41030612345678", "0,12.345678,\"V" + kPad + "\",1"},
                    FrameCase{"BlankDecimalCodeLeavesReadingUnscaled", "41030 00012345",
                              "0,12345,\"V" + kPad + "\",1"},
                    FrameCase{"ChannelLetter", "4C030200012345", "0,123.45,\"V" + kPad + "\",12"},
                    FrameCase{"UnitCodeLetters", "41A50200012345", "0,123.45,\"kPa       \",1"},
                    FrameCase{"UnitCodeWithoutAnEntryHasTenBlanks", "41Z00200012345",
                              "0,123.45,\"          \",1"},
                    FrameCase{"UnfilledEntryKeepsItsCodeZeroCharacters", "41090200012345",
                              "0,123.45,\"" + std::string(10, '\0') + "\",1"},
                    FrameCase{"NonDigitsInUpperValuePositionsDoNotOverflow",
                              "4\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF"
                              "5\xFF\xFF\xFF",
                              "0,2299797977,\"          \",200"},
                    FrameCase{"CodedReading", "10070300001234", "0,-1.234,7,0"},
                    FrameCase{"CodedSign3IsNegative", "30070100001234", "0,-123.4,7,0"},
                    FrameCase{"CodedOtherKindIsPositive", "20070400001234", "0,0.1234,7,0"},
                    FrameCase{"CodedChannelWrittenUnconverted", "2C070000001234", "0,1234,7,19"},
                    FrameCase{"CodedBlankDecimalCode", "20070 00001234", "0,1.234E-29,7,0"},
                    FrameCase{"CodedMarker", "1007030000 234", "0,999999,7,0"},
                    FrameCase{"TimeFrame", "40231207093015", "0,\"231207093015\",\"Time\",0"},
                    FrameCase{"TimeFrameNonDigitGivesItsDigitValue", "402312 7093015",
                              "0,\"2312327093015\",\"Time\",0"}),
    [](const auto& info) { return info.param.name; });

TEST(ReadingDecoder, SequenceNumbersAndCountCoverEveryStoredRecord) {
  Decoding d;
  d.Decode("40231207093015");
  d.Decode("41030200012345");
  d.Decode("10070300001234");
  EXPECT_EQ(d.Lines(),
            "0,\"231207093015\",\"Time\",0\r\n"
            "1,123.45,\"V" +
                kPad +
                "\",1\r\n"
                "2,-1.234,7,0\r\n");
  EXPECT_EQ(d.decoder.datano, 3);
  EXPECT_EQ(d.decoder.FrameSerial, 3);
}

TEST(ReadingDecoder, FromTheFourteenthEscNothingIsStoredButFramesAreStillDecoded) {
  Decoding d;
  d.Decode("41030200012345", 13);
  d.Decode("41A50200012345", 14);
  EXPECT_EQ(d.Lines(), "0,123.45,\"V" + kPad + "\",1\r\n");
  EXPECT_EQ(d.decoder.datano, 1);
  EXPECT_EQ(d.decoder.FrameSerial, 2);
  EXPECT_EQ(d.decoder.UnitIndex, 105);
}

TEST(ReadingDecoder, DigitsAndUnitIndexFollowTheLastFrame) {
  Decoding d;
  d.Decode("40231207093015");
  EXPECT_EQ(d.decoder.UnitIndex, 2 * 10 + 3);  // a time frame's unit code means nothing
  EXPECT_EQ(d.decoder.FrameDigits[15], kStx);
  EXPECT_EQ(d.decoder.FrameDigits[14], 4);
  EXPECT_EQ(d.decoder.FrameDigits[0], kCr);
  d.Decode("10070300001234");
  EXPECT_DOUBLE_EQ(d.decoder.ReadingValue, -1.234);
}

TEST(ReadingDecoder, DigitValueOfEveryByte) {
  for (int b = 0; b < 256; ++b) {
    const int16_t expected = b >= '0' ? b - '0' : b;
    EXPECT_EQ(ReadingDecoder::DigitValue(static_cast<uint8_t>(b)), expected) << b;
  }
  EXPECT_EQ(ReadingDecoder::DigitValue('A'), 17);
  EXPECT_EQ(ReadingDecoder::DigitValue(255), 207);
}

}  // namespace
}  // namespace rx
