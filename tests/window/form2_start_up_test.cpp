#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QHelpEvent>
#include <QSerialPortInfo>
#include <QVariant>
#include <cstdio>
#include <filesystem>

#include "app/commands.h"
#include "app/start_up.h"
#include "form_fixture.h"

namespace rx {
namespace {

using test::Box;
using test::FormTest;
using test::WriteBytes;

std::string Pairs(int count) {
  std::string bytes;
  for (int i = 0; i < count; ++i)
    bytes += std::to_string(i) + ",\"U" + std::to_string(i) + "\"\r\n";
  return bytes;
}

struct TableCase {
  const char* name;
  std::string bytes;
  int entries;
  std::vector<std::pair<int, std::string>> names;  // entries to check, padded
  const char* message;  // start of the one expected box, nullptr for none
  const char* ending;   // and its end
};

class UnitTableAtStartUp : public FormTest, public testing::WithParamInterface<TableCase> {};

TEST_P(UnitTableAtStartUp, LoadsWhatTheFileGivesAndShowsOneMessageForTrouble) {
  WriteBytes(dir.File("unit2.dat"), GetParam().bytes);
  Open();
  for (const auto& [index, name] : GetParam().names) {
    EXPECT_EQ(form->Units()(index), name) << "entry " << index;
  }
  if (GetParam().entries < UnitNames::kEntries) {
    EXPECT_EQ(form->Units()(GetParam().entries), std::string(10, '\0'));
  }
  if (GetParam().message == nullptr) {
    EXPECT_TRUE(boxes.shown.empty());
  } else {
    ASSERT_EQ(boxes.shown.size(), 1u);
    const std::string& prompt = boxes.shown[0].prompt;
    const std::string expected = "Unit table " + dir.File("unit2.dat") + GetParam().message;
    EXPECT_EQ(prompt.substr(0, expected.size()), expected);
    const std::string ending = GetParam().ending;
    EXPECT_TRUE(prompt.size() >= ending.size() &&
                prompt.compare(prompt.size() - ending.size(), ending.size(), ending) == 0)
        << prompt;
    EXPECT_EQ(boxes.shown[0].title, "RX7731");
  }
  // Start-up went on whatever the table held.
  EXPECT_EQ(Text1()->text(), "261208.dat");
  EXPECT_EQ(Combo1()->count(), 256);
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnitTableAtStartUp,
    testing::Values(
        TableCase{"Empty", "", 0, {}, nullptr, nullptr},
        TableCase{"ThreePairs",
                  "0,\"V\"\r\n1,\"mV\"\r\n2,\"A\"\r\n",
                  3,
                  {{0, "V         "}, {1, "mV        "}, {2, "A         "}},
                  nullptr,
                  nullptr},
        TableCase{
            "Full", Pairs(301), 301, {{0, "U0        "}, {300, "U300      "}}, nullptr, nullptr},
        TableCase{"OnePairTooMany",
                  Pairs(302),
                  301,
                  {{300, "U300      "}},
                  " holds more than 301 pairs",
                  " were not loaded.\r\nThe program goes on with the 301 unit names read."},
        TableCase{"LastNameMissing",
                  Pairs(300) + "300",
                  300,
                  {{299, "U299      "}},
                  " ends after the first field of pair 301 on line 301",
                  ".\r\nThe program goes on with the 300 unit names read. A reading of unit code "
                  "300 is stored with ten characters of code 0 (NUL) as its unit name."},
        TableCase{"OddQuoting",
                  "0,\"V,AC\"\r\n  1,  mV\r\n2,\"ABCDEFGHIJKLM\"\r\n3,\" A \"x\r\n4,\"\"\r\n",
                  5,
                  {{0, "V,AC      "},
                   {1, "mV        "},
                   {2, "ABCDEFGHIJ"},
                   {3, " A        "},
                   {4, "          "}},
                  nullptr,
                  nullptr},
        // What many editors leave after the last line.
        TableCase{
            "EmptyLineAtTheEnd", test::kUnits + "\r\n", 4, {{3, "A         "}}, nullptr, nullptr}),
    [](const auto& info) { return info.param.name; });

TEST_F(FormTest, AMissingUnitTableIsReportedByNameAndStartUpGoesOn) {
  std::filesystem::remove(dir.File("unit2.dat"));
  Open();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].prompt,
            "Cannot open unit table " + dir.File("unit2.dat") +
                ": No such file or directory.\r\nThe program goes on with the 0 unit names read. "
                "A reading of any unit code from 0 to 300 is stored with ten characters of code 0 "
                "(NUL) as its unit name.");
  EXPECT_EQ(form->Units()(0), std::string(10, '\0'));
  EXPECT_EQ(Combo1()->count(), 256);
}

struct EncodedTableCase {
  const char* name;
  std::string table;                // names for unit codes 0, 1, 2 and so on
  std::vector<std::string> stored;  // each code's unit item in the data file, between the quotes
  std::vector<std::string> shown;   // the same in the grid's Unit column, as UTF-8
};

void PrintTo(const EncodedTableCase& c, std::ostream* os) { *os << c.name; }

class UnitNamesOfATable : public FormTest, public testing::WithParamInterface<EncodedTableCase> {};

TEST_P(UnitNamesOfATable, ReachTheDataFileAsTheTableHoldsThemAndTheGridAsCharacters) {
  WriteBytes(dir.File("unit2.dat"), GetParam().table);
  Open();
  Click(0);
  std::string frames, expected;
  for (int code = 0; code < static_cast<int>(GetParam().stored.size()); ++code) {
    char body[32];
    std::snprintf(body, sizeof body, "41%02d0200012345", code);  // channel 1, 123.45
    frames += test::Frame(body);
    expected += std::to_string(code) + ",123.45,\"" + GetParam().stored[code] + "\",1\r\n";
  }
  const std::string esc = test::Frame(std::string(14, '\x1B'));
  serial.Deliver(frames + esc + esc);
  EXPECT_EQ(test::ReadBytes(form->df()), expected);
  Click(1);
  const QAbstractItemModel* model = Grid()->model();
  ASSERT_EQ(model->rowCount(), static_cast<int>(GetParam().shown.size()));
  for (int row = 0; row < model->rowCount(); ++row) {
    EXPECT_EQ(model->index(row, 2).data().toString().toStdString(), GetParam().shown[row]) << row;
  }
  EXPECT_EQ(boxes.shown.size(), 1u);  // only the end-of-download message
}

INSTANTIATE_TEST_SUITE_P(
    Tables, UnitNamesOfATable,
    testing::Values(EncodedTableCase{"Cp1252",
                                     "0,\"\xB0"
                                     "C\"\r\n1,\"\xB5"
                                     "A\"\r\n2,\"m\xB2\"\r\n3,\"\x80/m\xB3\"\r\n",
                                     {"\xB0"
                                      "C        ",
                                      "\xB5"
                                      "A        ",
                                      "m\xB2        ", "\x80/m\xB3      "},
                                     {"°C        ", "µA        ", "m²        ", "€/m³      "}},
                    // Saved on Linux. The tenth character of the last name takes two bytes: the
                    // name keeps it whole, and its entry is eleven bytes long.
                    EncodedTableCase{
                        "Utf8",
                        "0,\"°C\"\r\n1,\"µA\"\r\n2,\"Ω\"\r\n3,\"m²\"\r\n4,\"123456789°C\"\r\n",
                        {"°C        ", "µA        ", "Ω         ", "m²        ", "123456789°"},
                        {"°C        ", "µA        ", "Ω         ", "m²        ", "123456789°"}}),
    [](const auto& info) { return info.param.name; });

struct CaptionCase {
  const char* exe_name;
  const char* caption;
};

class CaptionRule : public FormTest, public testing::WithParamInterface<CaptionCase> {};

TEST_P(CaptionRule, OnlyTheExactNameRX7731GivesRX7731) {
  Open(GetParam().exe_name);
  EXPECT_EQ(form->windowTitle(), GetParam().caption);
}

INSTANTIATE_TEST_SUITE_P(
    Names, CaptionRule,
    testing::Values(CaptionCase{"RX7731", "RX7731"}, CaptionCase{"rx7731", "512706"},
                    CaptionCase{"Rx7731", "512706"}, CaptionCase{"RX77310", "512706"},
                    CaptionCase{"RX7731 ", "512706"}, CaptionCase{"512706", "512706"},
                    CaptionCase{"", "512706"}));

TEST_F(FormTest, InstructionsKeepTheirLineEndsAndShowSixteenLines) {
  Open();
  const QString caption = Find("Label2")->property("Caption").toString();
  EXPECT_EQ(caption.size(), 373);
  EXPECT_EQ(caption.count(QStringLiteral("\r\n")), 8);
  EXPECT_EQ(caption.count(QLatin1Char('\r')), 15);
  EXPECT_TRUE(caption.startsWith(QStringLiteral("1. Select Comm. Port.\r\r2. Input")));
  EXPECT_TRUE(caption.contains(QStringLiteral("     of  \"Transmitter code \" or \r\n")));
  EXPECT_TRUE(caption.endsWith(QStringLiteral("the\r\n     computer.")));
  const QStringList lines = Find<QLabel>("Label2")->text().split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 16);
  EXPECT_EQ(lines[4], "3. Press meter's \"SEND\" Key");
  EXPECT_EQ(lines[12], " 5. Press meter's \"SEND\" Key ");
}

struct DateCase {
  CalendarDate date;
  const char* name;
};

class DefaultName : public testing::TestWithParam<DateCase> {};

TEST_P(DefaultName, IsSixDigitsOfTodayAndDat) {
  EXPECT_EQ(DefaultDataFileName(GetParam().date), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Dates, DefaultName,
                         testing::Values(DateCase{{2026, 12, 7}, "261207.dat"},
                                         DateCase{{2001, 1, 5}, "010105.dat"},
                                         DateCase{{2000, 10, 31}, "001031.dat"},
                                         DateCase{{2100, 2, 1}, "000201.dat"}));

TEST_F(FormTest, TheDataFileIsTodaysNameInTheProgramFolderAndPortOneIsSelected) {
  Open();
  EXPECT_EQ(form->df(), Folder() + kPathSeparator + "261208.dat");
  ASSERT_EQ(Combo1()->count(), 256);
  EXPECT_EQ(Combo1()->itemText(0), "Comm. 1");
  EXPECT_EQ(Combo1()->itemText(9), "Comm. 10");
  EXPECT_EQ(Combo1()->itemText(255), "Comm. 256");
  EXPECT_EQ(Combo1()->currentIndex(), 0);
  EXPECT_EQ(form->PortListIndex(), 0);
}

#ifdef _WIN32
TEST_F(FormTest, ThePortListTooltipNamesTheDeviceOfTheSelectedPortAndWhetherItIsThere) {
  Open();
  EXPECT_EQ(Combo1()->toolTip(), "Comm. 1 opens COM1\nNot present now");
  // When shown, the tooltip asks the system's list of serial ports.
  bool listed = false;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    listed = listed || info.portName() == "COM1";
  }
  QHelpEvent show(QEvent::ToolTip, QPoint(1, 1), Combo1()->mapToGlobal(QPoint(1, 1)));
  QCoreApplication::sendEvent(Combo1(), &show);
  EXPECT_TRUE(Combo1()->toolTip().startsWith(listed ? "Comm. 1 opens COM1\nPresent now"
                                                    : "Comm. 1 opens COM1\nNot present now"))
      << Combo1()->toolTip().toStdString();
  Combo1()->setCurrentIndex(33);
  EXPECT_EQ(Combo1()->toolTip(), "Comm. 34 opens COM34\nNot present now");
  Combo1()->setCurrentIndex(255);
  EXPECT_EQ(Combo1()->toolTip(), "Comm. 256 opens COM256\nNot present now");
}
#else
TEST_F(FormTest, ThePortListTooltipNamesTheDeviceOfTheSelectedPortAndWhetherItIsThere) {
  const std::filesystem::path ports = dir.Path() / "ports";
  std::filesystem::create_directories(ports);
  std::filesystem::create_symlink(dir.File("unplugged"), ports / "com1");
  Open();
  const QString com1 = QString::fromStdString((ports / "com1").string());
  const QString unplugged = QString::fromStdString(dir.File("unplugged"));
  EXPECT_EQ(Combo1()->toolTip(),
            "Comm. 1 opens " + com1 + " -> " + unplugged + "\nNot present now");
  // The tooltip looks again when it is shown.
  WriteBytes(dir.File("unplugged"), "");
  QHelpEvent show(QEvent::ToolTip, QPoint(1, 1), Combo1()->mapToGlobal(QPoint(1, 1)));
  QCoreApplication::sendEvent(Combo1(), &show);
  EXPECT_TRUE(Combo1()->toolTip().endsWith("\nPresent now")) << Combo1()->toolTip().toStdString();
  Combo1()->setCurrentIndex(33);
  EXPECT_TRUE(Combo1()->toolTip().startsWith("Comm. 34 opens /dev/ttyACM1\n"))
      << Combo1()->toolTip().toStdString();
  Combo1()->setCurrentIndex(255);
  EXPECT_EQ(Combo1()->toolTip(), "Comm. 256 has no serial device on this computer");
}
#endif

}  // namespace
}  // namespace rx
