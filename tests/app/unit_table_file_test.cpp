#include "app/unit_table_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/fakes.h"

namespace rx {
namespace {

using test::TempDir;
using test::WriteBytes;

const std::string kPath = "/prog/unit2.dat";

// `count` pairs "i,Ui" in CR LF lines.
std::string Pairs(int count) {
  std::string bytes;
  for (int i = 0; i < count; ++i) bytes += std::to_string(i) + ",U" + std::to_string(i) + "\r\n";
  return bytes;
}

std::string Padded(const std::string& name) { return name + std::string(10 - name.size(), ' '); }

struct ParseCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> units;  // the entries filled, from index 0, before padding
  std::string problem;             // empty when none is expected
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class UnitTableParse : public testing::TestWithParam<ParseCase> {};

TEST_P(UnitTableParse, FillsEntriesInFileOrderAndNamesTheTrouble) {
  UnitNames names;
  const UnitTableLoad load = ParseUnitTable(GetParam().bytes, names, kPath);
  ASSERT_EQ(load.entries, static_cast<int>(GetParam().units.size()));
  for (size_t i = 0; i < GetParam().units.size(); ++i) {
    EXPECT_EQ(names(static_cast<int>(i)), Padded(GetParam().units[i])) << "entry " << i;
  }
  EXPECT_EQ(names(load.entries), std::string(10, '\0')) << "the first entry not filled";
  EXPECT_EQ(load.problem, GetParam().problem);
}

const char kEndsAfterFirst[] = "Unit table /prog/unit2.dat ends after the first field of pair ";

INSTANTIATE_TEST_SUITE_P(
    Files, UnitTableParse,
    testing::Values(
        ParseCase{"Empty", "", {}, ""},
        ParseCase{"ThreePairs", "0,\"V\"\r\n1,\"mV\"\r\n2,\"A\"\r\n", {"V", "mV", "A"}, ""},
        ParseCase{"LastLineWithoutLineEnd", "0,V\r\n1,mV", {"V", "mV"}, ""},
        ParseCase{"FirstFieldPlaysNoPart", "7,V\r\n3,mV\r\n", {"V", "mV"}, ""},
        ParseCase{"CommaInsideQuotesKept", "0,\"V,AC\"\r\n", {"V,AC"}, ""},
        ParseCase{"BlanksBeforeAFieldSkipped", "0,   V\r\n  1,\t\"mV\"\r\n", {"V", "mV"}, ""},
        ParseCase{"BlanksInsideQuotesKept", "0,\" V \"\r\n", {" V "}, ""},
        ParseCase{"LongNameCutToTen", "0,\"ABCDEFGHIJKLMN\"\r\n", {"ABCDEFGHIJ"}, ""},
        ParseCase{"EmptyQuotedName", "0,\"\"\r\n", {""}, ""},
        ParseCase{"TextAfterClosingQuoteDropped", "0,\"V\"rms\r\n1,A\r\n", {"V", "A"}, ""},
        ParseCase{"UnclosedQuoteEndsAtLineEnd", "0,\"V\r\n1,A\r\n", {"V", "A"}, ""},
        ParseCase{"LfAndCrLineEnds", "0,V\n1,mV\r2,A\r\n", {"V", "mV", "A"}, ""},
        ParseCase{"TwoPairsOnOneLine", "0,V,1,A\r\n", {"V", "A"}, ""},
        ParseCase{"TrailingCommaGivesAnEmptyName", "0,V\r\n1,", {"V", ""}, ""},
        ParseCase{"EmptyLineInsideShiftsThePairs",
                  "0,V\r\n\r\n1,A\r\n",
                  {"V", "1"},
                  std::string(kEndsAfterFirst) + "3 on line 3, so that pair has no unit name"},
        // What many editors leave: no trouble.
        ParseCase{"EmptyLineAtTheEnd", "0,V\r\n\r\n", {"V"}, ""},
        ParseCase{"BlankLineAtTheEnd", "0,V\n  \n", {"V"}, ""},
        ParseCase{"TwoEmptyLinesAtTheEndAreAPairOfEmptyFields", "0,V\r\n\r\n\r\n", {"V", ""}, ""},
        ParseCase{"FieldLongerThanAnyUnitTableHolds",
                  "0,V\r\n1,\"" + std::string(5000, 'x'),
                  {"V"},
                  "Unit table /prog/unit2.dat has a field longer than 4096 characters on line 2, "
                  "so it is not a unit table; reading stopped there"},
        ParseCase{"EndsAfterFirstField",
                  "0,V\r\n1",
                  {"V"},
                  std::string(kEndsAfterFirst) + "2 on line 2, so that pair has no unit name"}),
    [](const auto& info) { return info.param.name; });

struct EncodingCase {
  const char* name;
  std::string bytes;
  TextEncoding encoding;
  std::vector<std::string> entries;  // as stored, padding included
};

void PrintTo(const EncodingCase& c, std::ostream* os) { *os << c.name; }

class UnitTableEncoding : public testing::TestWithParam<EncodingCase> {};

TEST_P(UnitTableEncoding, IsJudgedOnTheWholeTableAndCutsNamesByItsCharacters) {
  UnitNames names;
  const UnitTableLoad load = ParseUnitTable(GetParam().bytes, names, kPath);
  EXPECT_EQ(load.problem, "");
  EXPECT_EQ(names.Encoding(), GetParam().encoding);
  ASSERT_EQ(load.entries, static_cast<int>(GetParam().entries.size()));
  for (int i = 0; i < load.entries; ++i) EXPECT_EQ(names(i), GetParam().entries[i]) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Tables, UnitTableEncoding,
    testing::Values(
        EncodingCase{"Cp1252KeepsItsBytes",
                     "0,\"\xB0"
                     "C\"\r\n1,\xB5"
                     "A\r\n2,m\xB2\r\n3,\"\xB5\xB5\xB5\xB5\xB5\xB5\xB5\xB5\xB5\xB5\xB5\"\r\n",
                     TextEncoding::kCp1252,
                     {"\xB0"
                      "C        ",
                      "\xB5"
                      "A        ",
                      "m\xB2        ", "\xB5\xB5\xB5\xB5\xB5\xB5\xB5\xB5\xB5\xB5"}},
        EncodingCase{
            "Utf8CutAndPaddedByCharacters",
            "0,°C\r\n1,µA\r\n2,Ω\r\n3,m²\r\n4,\"123456789°C\"\r\n5,ΩΩΩΩΩΩΩΩΩΩΩΩ\r\n",
            TextEncoding::kUtf8,
            {"°C        ", "µA        ", "Ω         ", "m²        ", "123456789°", "ΩΩΩΩΩΩΩΩΩΩ"}},
        // One byte that is not UTF-8, even on the last line, makes the whole table code page
        // 1252: the UTF-8 bytes of the first name are kept as ten single-byte characters.
        EncodingCase{"Utf8WithOneCp1252ByteIsCp1252",
                     "0,°C\r\n1,\xB5"
                     "A\r\n",
                     TextEncoding::kCp1252,
                     {"\xC2\xB0"
                      "C       ",
                      "\xB5"
                      "A        "}}),
    [](const auto& info) { return info.param.name; });

TEST(UnitTableSize, ThreeHundredAndOnePairsFillEveryEntry) {
  UnitNames names;
  const UnitTableLoad load = ParseUnitTable(Pairs(301), names, kPath);
  EXPECT_EQ(load.entries, 301);
  EXPECT_EQ(load.problem, "");
  EXPECT_EQ(names(300), Padded("U300"));
}

TEST(UnitTableSize, APairBeyondTheLastEntryIsReportedAndNotLoaded) {
  UnitNames names;
  const UnitTableLoad load = ParseUnitTable(Pairs(400), names, kPath);
  EXPECT_EQ(load.entries, 301);
  EXPECT_EQ(names(300), Padded("U300"));
  EXPECT_EQ(load.problem,
            "Unit table /prog/unit2.dat holds more than 301 pairs; pair 302 on line 302 and "
            "those after it were not loaded");
}

TEST(UnitTableSize, AnEmptyLineAfterAFullTableIsNoExtraPair) {
  UnitNames names;
  const UnitTableLoad load = ParseUnitTable(Pairs(301) + "\r\n", names, kPath);
  EXPECT_EQ(load.entries, 301);
  EXPECT_EQ(load.problem, "");
}

TEST(UnitTableFile, ReadsTheFileInChunksLikeBytesInMemory) {
  TempDir dir;
  // Long lines make the pairs cross the reader's chunk boundaries; names of two-byte characters
  // put some boundaries inside a character (the reader reads 64 KiB at a time).
  std::string bytes;
  for (int i = 0; i < 301; ++i) {
    std::string name = "N" + std::to_string(i) + ",";
    for (int k = 0; k < 500; ++k) name += "°";
    bytes += std::string(i % 2 + 300, ' ') + std::to_string(i) + ",\"" + name + "\"\r\n";
  }
  int split = 0;
  for (size_t end = 65536; end < bytes.size(); end += 65536) split += bytes[end - 1] == '\xC2';
  ASSERT_GT(split, 0) << "no chunk ends inside a °";
  WriteBytes(dir.File("unit2.dat"), bytes);
  UnitNames from_file, from_memory;
  const UnitTableLoad load = ReadUnitTableFile(dir.File("unit2.dat"), from_file);
  ParseUnitTable(bytes, from_memory, dir.File("unit2.dat"));
  EXPECT_EQ(load.entries, 301);
  EXPECT_EQ(load.problem, "");
  EXPECT_EQ(from_file.Encoding(), TextEncoding::kUtf8);
  EXPECT_EQ(from_memory.Encoding(), TextEncoding::kUtf8);
  for (int i = 0; i < 301; ++i) ASSERT_EQ(from_file(i), from_memory(i)) << "entry " << i;
  EXPECT_EQ(from_file(123), "N123,°°°°°");
}

TEST(UnitTableFile, AMissingOrUnreadableFileNamesThePathAndTheReason) {
  TempDir dir;
  UnitNames names;
  EXPECT_EQ(ReadUnitTableFile(dir.File("unit2.dat"), names).problem,
            "Cannot open unit table " + dir.File("unit2.dat") + ": No such file or directory");
  std::filesystem::create_directory(dir.File("folder"));
  const UnitTableLoad load = ReadUnitTableFile(dir.File("folder"), names);
  EXPECT_EQ(load.entries, 0);
#ifdef _WIN32
  // Windows refuses to open a folder as a file; POSIX opens it and fails the read.
  EXPECT_EQ(load.problem, "Cannot open unit table " + dir.File("folder") + ": Permission denied");
#else
  EXPECT_EQ(load.problem, "Cannot read unit table " + dir.File("folder") + ": Is a directory");
#endif
}

TEST(UnitTableFile, AHugeFileIsReadOnlyAsFarAsTheTableNeeds) {
  TempDir dir;
  const std::string path = dir.File("unit2.dat");
  {
    std::ofstream out(path, std::ios::binary);
    out << Pairs(302);
    const std::string block(1 << 20, 'z');
    for (int i = 0; i < 16; ++i) out << block;  // 16 MB of one field after pair 302
  }
  UnitNames names;
  const UnitTableLoad load = ReadUnitTableFile(path, names);
  EXPECT_EQ(load.entries, 301);
  EXPECT_NE(load.problem.find("more than 301 pairs"), std::string::npos);
}

}  // namespace
}  // namespace rx
