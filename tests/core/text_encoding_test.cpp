#include "data/text_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace rx {
namespace {

constexpr TextEncoding kCp1252 = TextEncoding::kCp1252;
constexpr TextEncoding kUtf8 = TextEncoding::kUtf8;

struct DetectCase {
  const char* name;
  std::string bytes;
  TextEncoding encoding;
};

void PrintTo(const DetectCase& c, std::ostream* os) { *os << c.name; }

class Detect : public testing::TestWithParam<DetectCase> {};

// The unit table reader hands its bytes over as it reads them: any cut between pieces, a
// character's bytes included, gives the encoding of the whole.
TEST_P(Detect, JudgesTheWholeTextHoweverItArrives) {
  const std::string& bytes = GetParam().bytes;
  EXPECT_EQ(DetectEncoding(bytes), GetParam().encoding);
  for (size_t cut = 0; cut <= bytes.size(); ++cut) {
    EncodingDetector two_pieces;
    two_pieces.Add(std::string_view(bytes).substr(0, cut));
    two_pieces.Add(std::string_view(bytes).substr(cut));
    EXPECT_EQ(two_pieces.Encoding(), GetParam().encoding) << "cut at " << cut;
  }
  EncodingDetector byte_by_byte;
  for (const char c : bytes) byte_by_byte.Add(std::string_view(&c, 1));
  EXPECT_EQ(byte_by_byte.Encoding(), GetParam().encoding);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Detect,
    testing::Values(DetectCase{"Empty", "", kCp1252}, DetectCase{"Ascii", "0,\"V\"\r\n", kCp1252},
                    DetectCase{"Cp1252Degree",
                               "0,\"\xB0"
                               "C\"\r\n",
                               kCp1252},
                    DetectCase{"Cp1252MicroAfterAscii",
                               "0,\"V\"\r\n1,\"\xB5"
                               "A\"",
                               kCp1252},
                    DetectCase{"Utf8DegreeMicroOhmSquare", "°C,µA,Ω,m²", kUtf8},
                    DetectCase{"Utf8ThreeAndFourBytes", "€ 😀", kUtf8},
                    DetectCase{"Utf8ThenOneCp1252Byte",
                               "°C,\xB5"
                               "A",
                               kCp1252},
                    DetectCase{"CutShortAtTheEnd", "°C,\xCE", kCp1252},
                    DetectCase{"LeadWithoutContinuation",
                               "\xC2"
                               "A",
                               kCp1252},
                    DetectCase{"Overlong", "\xC0\xAF", kCp1252},
                    DetectCase{"Surrogate", "\xED\xA0\x80", kCp1252},
                    DetectCase{"BeyondU10FFFF", "\xF4\x90\x80\x80", kCp1252}),
    [](const auto& info) { return info.param.name; });

struct ConvertCase {
  const char* name;
  std::string bytes;
  TextEncoding encoding;
  std::string utf8;
};

void PrintTo(const ConvertCase& c, std::ostream* os) { *os << c.name; }

class Convert : public testing::TestWithParam<ConvertCase> {};

TEST_P(Convert, GivesTheCharactersAsUtf8) {
  EXPECT_EQ(ToUtf8(GetParam().bytes, GetParam().encoding), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Convert,
    testing::Values(ConvertCase{"Cp1252Latin1Half",
                                "\xB0"
                                "C \xB5"
                                "A m\xB2",
                                kCp1252, "°C µA m²"},
                    ConvertCase{"Cp1252EuroToY", "\x80\x8A\x99\x9F", kCp1252, "€Š™Ÿ"},
                    ConvertCase{"Cp1252UndefinedAreControls", "\x81\x8D\x8F\x90\x9D", kCp1252,
                                "\u0081\u008D\u008F\u0090\u009D"},
                    ConvertCase{"Utf8Unchanged", "°C µA Ω m²", kUtf8, "°C µA Ω m²"},
                    ConvertCase{"Utf8MalformedByteByByte",
                                "A\xC2"
                                "B\xE2\x82",
                                kUtf8,
                                "A\uFFFD"
                                "B\uFFFD\uFFFD"}),
    [](const auto& info) { return info.param.name; });

struct PrefixCase {
  const char* name;
  std::string bytes;
  TextEncoding encoding;
  size_t bytes_kept, characters;  // of the first ten characters
};

void PrintTo(const PrefixCase& c, std::ostream* os) { *os << c.name; }

class FirstTen : public testing::TestWithParam<PrefixCase> {};

TEST_P(FirstTen, NeverSplitsACharacter) {
  const TextPrefix prefix = FirstCharacters(GetParam().bytes, 10, GetParam().encoding);
  EXPECT_EQ(prefix.bytes, GetParam().bytes_kept);
  EXPECT_EQ(prefix.characters, GetParam().characters);
}

INSTANTIATE_TEST_SUITE_P(Texts, FirstTen,
                         testing::Values(PrefixCase{"Cp1252ByBytes",
                                                    "\xB0"
                                                    "C 123456789",
                                                    kCp1252, 10, 10},
                                         PrefixCase{"Cp1252Short",
                                                    "\xB0"
                                                    "C",
                                                    kCp1252, 2, 2},
                                         PrefixCase{"Utf8Short", "°C", kUtf8, 3, 2},
                                         PrefixCase{"Utf8TenthTakesTwoBytes", "123456789°C", kUtf8,
                                                    11, 10},
                                         PrefixCase{"Utf8Omegas", "ΩΩΩΩΩΩΩΩΩΩΩΩ", kUtf8, 20, 10},
                                         PrefixCase{"Utf8MalformedByteIsOne",
                                                    "\xC2"
                                                    "A",
                                                    kUtf8, 2, 2}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace rx
