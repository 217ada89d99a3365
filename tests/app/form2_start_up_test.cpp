#include <QCoreApplication>
#include <QHelpEvent>
#include <QVariant>
#include <filesystem>

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
    EXPECT_NE(prompt.find("goes on with the " + std::to_string(GetParam().entries) + " unit name"),
              std::string::npos)
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
        TableCase{"Empty", "", 0, {}, nullptr},
        TableCase{"ThreePairs",
                  "0,\"V\"\r\n1,\"mV\"\r\n2,\"A\"\r\n",
                  3,
                  {{0, "V         "}, {1, "mV        "}, {2, "A         "}},
                  nullptr},
        TableCase{"Full", Pairs(301), 301, {{0, "U0        "}, {300, "U300      "}}, nullptr},
        TableCase{
            "OnePairTooMany", Pairs(302), 301, {{300, "U300      "}}, " holds more than 301 pairs"},
        TableCase{"OddQuoting",
                  "0,\"V,AC\"\r\n  1,  mV\r\n2,\"ABCDEFGHIJKLM\"\r\n3,\" A \"x\r\n4,\"\"\r\n",
                  5,
                  {{0, "V,AC      "},
                   {1, "mV        "},
                   {2, "ABCDEFGHIJ"},
                   {3, " A        "},
                   {4, "          "}},
                  nullptr},
        TableCase{"EmptyLineAtTheEnd",
                  test::kUnits + "\r\n",
                  4,
                  {{3, "A         "}},
                  " ends after the first field of pair 5 on line 5"}),
    [](const auto& info) { return info.param.name; });

TEST_F(FormTest, AMissingUnitTableIsReportedByNameAndStartUpGoesOn) {
  std::filesystem::remove(dir.File("unit2.dat"));
  Open();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].prompt,
            "Cannot open unit table " + dir.File("unit2.dat") +
                ": No such file or directory.\r\nThe program goes on with the 0 unit names read; "
                "readings of other unit codes get no unit name.");
  EXPECT_EQ(form->Units()(0), std::string(10, '\0'));
  EXPECT_EQ(Combo1()->count(), 256);
}

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
  EXPECT_EQ(form->df(), Folder() + "/261208.dat");
  ASSERT_EQ(Combo1()->count(), 256);
  EXPECT_EQ(Combo1()->itemText(0), "Comm. 1");
  EXPECT_EQ(Combo1()->itemText(9), "Comm. 10");
  EXPECT_EQ(Combo1()->itemText(255), "Comm. 256");
  EXPECT_EQ(Combo1()->currentIndex(), 0);
  EXPECT_EQ(form->PortListIndex(), 0);
}

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

}  // namespace
}  // namespace rx
