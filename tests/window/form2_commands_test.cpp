#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QHeaderView>
#include <QTest>
#include <QTimer>

#include "app/commands.h"
#include "form_fixture.h"
#include "window/flex_grid_view.h"
#include "window/indicator_shape.h"

namespace rx {
namespace {

using test::Box;
using test::FormTest;
using test::Frame;
using test::ReadBytes;
using test::WriteBytes;

const std::string kEscFrame = Frame(std::string(14, '\x1B'));
const std::string kEndMarker = kEscFrame + kEscFrame;
const std::string kTimeFrame = Frame("40231207093015");
const std::string kChannelFrame = Frame("41030200012345");  // channel 1, unit 3
const std::string kCodedFrame = Frame("10070300001234");    // unit code 7
const std::string kPortOneOpened[] = {"CommPort=1",   "CommPort=1", "Settings=9600,N,8,1",
                                      "InputMode=1",  "InputLen=0", "RThreshold=1",
                                      "PortOpen=true"};
const Box kOverwrite{"The Data file exist . Do you want to continue ?", "Data File Check"};

class Commands : public FormTest {
 protected:
  std::string DataFile() const { return ReadBytes(form->df()); }

  bool Running() const {
    return !Button(0)->isEnabled() && !Button(1)->isEnabled() && form->Timer1().isActive() &&
           Find("Shape1")->isVisibleTo(form.get()) && Find("Label3")->isVisibleTo(form.get()) &&
           Label1(2)->text() == "Press Send Key to Transfer Data";
  }
  bool Idle() const {
    return Button(0)->isEnabled() && Button(1)->isEnabled() && !form->Timer1().isActive() &&
           !Find("Shape1")->isVisibleTo(form.get()) && !Find("Label3")->isVisibleTo(form.get());
  }
  std::vector<std::string> Opened() const {
    return {std::begin(kPortOneOpened), std::end(kPortOneOpened)};
  }
};

TEST_F(Commands, StartWithoutAFileAsksNothingAndBeginsTheDownload) {
  Open();
  Click(0);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_TRUE(Running());
  EXPECT_EQ(Label1(4)->text(), "0");
  EXPECT_EQ(serial.log, Opened());
  EXPECT_FALSE(std::filesystem::exists(form->df())) << "created before the first record";
  EXPECT_TRUE(form->Download().fgComPortOpen());
}

struct OverwriteCase {
  const char* name;
  bool answer;
  bool started;
};

class Overwrite : public Commands, public testing::WithParamInterface<OverwriteCase> {};

TEST_P(Overwrite, AnExistingFileIsReplacedOnlyOnYes) {
  Open();
  WriteBytes(form->df(), "0,1,\"V         \",1\r\n");
  boxes.answers.push_back(GetParam().answer);
  Click(0);
  EXPECT_EQ(boxes.shown, std::vector<Box>{kOverwrite});
  EXPECT_EQ(Running(), GetParam().started);
  if (GetParam().started) {
    EXPECT_EQ(DataFile(), "0,1,\"V         \",1\r\n") << "replaced before the first record";
    EXPECT_EQ(serial.log, Opened());
    serial.Deliver(kChannelFrame);
    EXPECT_NE(DataFile(), "0,1,\"V         \",1\r\n");
  } else {
    EXPECT_EQ(DataFile(), "0,1,\"V         \",1\r\n");
    EXPECT_TRUE(serial.log.empty());
    EXPECT_TRUE(Button(0)->isEnabled());
    EXPECT_EQ(Label1(2)->text(), "");
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, Overwrite,
                         testing::Values(OverwriteCase{"Yes", true, true},
                                         OverwriteCase{"No", false, false}),
                         [](const auto& info) { return info.param.name; });

TEST_F(Commands, ANameInAMissingFolderCountsAsAnExistingFile) {
  Open();
  Text1()->setText("nofolder/261208.dat");
  Click(0);  // answered No
  EXPECT_EQ(boxes.shown, std::vector<Box>{kOverwrite});
  EXPECT_TRUE(serial.log.empty());
}

TEST_F(Commands, TheFileNameBoxIsJoinedToTheProgramFolderAsTypedAndShowsTheFullPath) {
  Open();
  EXPECT_EQ(Text1()->toolTip().toStdString(), Folder() + kPathSeparator + "261208.dat");
  // A name outside ASCII, and outside Windows' ANSI code page, reaches df in UTF-8.
  for (const char* typed : {"", " a.dat", "/etc/x.dat", "sub/../b.dat", "Meßwerte Ω.dat"}) {
    Text1()->setText(typed);
    EXPECT_EQ(form->df(), Folder() + kPathSeparator + typed) << typed;
    EXPECT_EQ(Text1()->toolTip().toStdString(), form->df()) << typed;
  }
  Text1()->clear();
  QTest::keyClicks(Text1(), "ab");
  EXPECT_EQ(form->df(), Folder() + kPathSeparator + "ab");
  EXPECT_EQ(Text1()->toolTip().toStdString(), Folder() + kPathSeparator + "ab");
}

TEST_F(Commands, ACompleteDownloadEndsWithTheTimeMessageAndTheIdleLook) {
  Open();
  clock.now = 1000;
  Click(0);
  serial.Deliver(kTimeFrame + kChannelFrame.substr(0, 5));
  serial.Deliver(kChannelFrame.substr(5) + kCodedFrame);
  EXPECT_TRUE(Running());
  clock.now = 6250;
  serial.Deliver(kEndMarker);

  EXPECT_EQ(boxes.shown,
            (std::vector<Box>{{"Data Received O.K!\r\nTotal Time ( ms ) =  5250", "RX7731"}}));
  EXPECT_TRUE(Idle());
  EXPECT_EQ(Label1(2)->text(), "Data Transfer OK");
  EXPECT_EQ(Label1(4)->text(), "3");
  EXPECT_EQ(serial.log.back(), "PortOpen=false");
  EXPECT_EQ(DataFile(),
            "0,\"231207093015\",\"Time\",0\r\n1,123.45,\"A         \",1\r\n2,-1.234,7,0\r\n");
}

TEST_F(Commands, ViewDataShowsEveryRecordKindInTheGrid) {
  WriteBytes(dir.File("unit2.dat"), "0,\"V\"\r\n1,\"mV\"\r\n2,\"A\"\r\n3,\"Time\"\r\n");
  Open();
  Click(0);
  serial.Deliver(kTimeFrame + kChannelFrame + kCodedFrame + Frame("4C030200012399") +
                 Frame("4103020001 345") + kEndMarker);
  Click(1);
  const std::vector<std::vector<QString>> expected = {
      {"No.", "Channel", "Value", "Unit"}, {"1", "0", "231207 09:30:15", "Time"},
      {"2", "1", "123.45", "Time      "},  // a unit named Time shows its value unchanged
      {"3", "0", "-1.234", "7"},           {"4", "12", "123.99", "Time      "},
      {"5", "1", "999999", "Time      "},
  };
  EXPECT_EQ(Shown(), expected);
  EXPECT_EQ(form->Grid().TextMatrix(0, 0), "No.");
  EXPECT_EQ(boxes.shown.size(), 1u);  // only the end-of-download message
}

TEST_F(Commands, TheGridOnTheScreenTakesTheViewersSizesAndAlignment) {
  Open();
  Click(0);
  serial.Deliver(kChannelFrame + kChannelFrame + kEndMarker);
  Click(1);
  QCoreApplication::processEvents();
  QHeaderView* columns = Grid()->horizontalHeader();
  QHeaderView* rows = Grid()->verticalHeader();
  EXPECT_EQ(rows->width(), 64);             // column 0 keeps 960 twips
  EXPECT_EQ(columns->sectionSize(0), 79);   // 5895 / 5 = 1179 twips
  EXPECT_EQ(columns->sectionSize(1), 131);  // 5895 / 3 = 1965 twips
  EXPECT_EQ(columns->sectionSize(2), 64);
  EXPECT_EQ(columns->height(), 16);     // the header row keeps 240 twips
  EXPECT_EQ(rows->sectionSize(0), 24);  // 360 twips
  EXPECT_EQ(rows->sectionSize(1), 24);
  const QModelIndex cell = Grid()->model()->index(1, 1);
  EXPECT_EQ(cell.data(Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::AlignCenter);
}

TEST_F(Commands, TheHeaderRowHasALineBetweenTheCornerCellAndChannel) {
  Open();
  form->show();
  Click(0);
  serial.Deliver(kChannelFrame + kEndMarker);
  Click(1);
  QCoreApplication::processEvents();
  QTableView* grid = Grid();
  const auto* corner = grid->findChild<QAbstractButton*>();
  ASSERT_NE(corner, nullptr);
  const QImage image = grid->grab().toImage();
  const QHeaderView* columns = grid->horizontalHeader();
  const int y = columns->geometry().top() + columns->height() / 4;  // above the captions
  const int corner_edge = corner->geometry().right();
  const int channel_edge = columns->geometry().left() + columns->sectionSize(0) - 1;
  ASSERT_EQ(grid->model()->headerData(0, Qt::Horizontal).toString(), "Channel");
  // The corner's right-hand edge looks like the edge between "Channel" and "Value".
  EXPECT_EQ(image.pixelColor(corner_edge, y), image.pixelColor(channel_edge, y));
  EXPECT_NE(image.pixelColor(corner_edge, y), image.pixelColor(corner_edge - 4, y));
}

TEST_F(Commands, ViewDataOfAHundredThousandReadingsFillsEveryRow) {
  Open();
  Click(0);
  std::string memory;
  for (int i = 0; i < 100000; ++i) memory += kChannelFrame;
  serial.Deliver(memory + kEndMarker);
  Click(1);
  QCoreApplication::processEvents();
  EXPECT_EQ(Grid()->model()->rowCount(), 100000);
  EXPECT_EQ(Grid()->verticalHeader()->sectionSize(99999), 24);
}

TEST_F(Commands, ViewDataOfADownloadThatStoredNothingShowsTheHeaderRowOnly) {
  Open();
  Click(0);
  serial.Deliver(kEndMarker);
  Click(1);
  EXPECT_EQ(Shown(), (std::vector<std::vector<QString>>{{"No.", "Channel", "Value", "Unit"}}));
}

TEST_F(Commands, AFailedViewDataSaysWhyAndLeavesTheGrid) {
  Open();
  Click(0);
  serial.Deliver(kChannelFrame + kEndMarker);
  Click(1);
  const auto before = Shown();
  std::filesystem::remove(form->df());
  boxes.shown.clear();
  Click(1);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].prompt,
            "Cannot open data file " + form->df() + ": No such file or directory");
  EXPECT_EQ(Shown(), before);
}

TEST_F(Commands, StartEmptiesTheGridCellsButKeepsItsRows) {
  Open();
  Click(0);
  serial.Deliver(kChannelFrame + kChannelFrame + kEndMarker);
  Click(1);
  boxes.answers.push_back(true);
  Click(0);
  EXPECT_EQ(form->Grid().Rows(), 3);
  EXPECT_EQ(form->Grid().TextMatrix(1, 2), "");
  EXPECT_EQ(Grid()->model()->index(0, 1).data().toString(), "");
}

TEST_F(Commands, APortThatFailsToOpenLeavesTheIdleLookAndSaysWhy) {
  Open();
  serial.failures["PortOpen"] = "Cannot open Comm. 1 (/dev/ttyS0): No such file or directory";
  Click(0);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].prompt, "Cannot open Comm. 1 (/dev/ttyS0): No such file or directory");
  EXPECT_TRUE(Idle());
  EXPECT_EQ(Label1(2)->text(), "");
  EXPECT_FALSE(form->Download().fgComPortOpen());
}

TEST_F(Commands, ADataFileThatCannotBeCreatedLeavesTheIdleLookAndSaysWhy) {
  Open();
  std::filesystem::create_directory(dir.File("261208.dat"));
  boxes.answers.push_back(true);  // the folder counts as an existing file
  Click(0);
  ASSERT_EQ(boxes.shown.size(), 2u);
#ifdef _WIN32
  const std::string reason = "Permission denied";  // Windows refuses to open a folder as a file
#else
  const std::string reason = "Is a directory";
#endif
  EXPECT_EQ(boxes.shown[1].prompt, "Cannot create data file " + form->df() + ": " + reason);
  EXPECT_TRUE(Idle());
  EXPECT_TRUE(serial.log.empty());
}

TEST_F(Commands, AStartWhoseFileCannotBeCreatedLeavesNoStaleCount) {
  Open();
  const QString downloaded = Text1()->text();
  Click(0);
  serial.Deliver(kChannelFrame + kCodedFrame + kEndMarker);
  ASSERT_EQ(Label1(4)->text(), "2");
  std::filesystem::create_directory(dir.File("folder.dat"));
  Text1()->setText("folder.dat");
  boxes.answers.push_back(true);
  Click(0);
  ASSERT_TRUE(Idle());
  EXPECT_EQ(Label1(4)->text(), "0");
  EXPECT_EQ(form->Download().datano(), 0);
  // View Data reads as many records as the count shows, even from the earlier file.
  Text1()->setText(downloaded);
  Click(1);
  EXPECT_EQ(Shown(), (std::vector<std::vector<QString>>{{"No.", "Channel", "Value", "Unit"}}));
}

TEST_F(Commands, TheTypedPortTextPicksItsEntryOrNoPort) {
  Open();
  Combo1()->setCurrentIndex(2);
  EXPECT_EQ(form->PortListIndex(), 2);
  Combo1()->setEditText("Comm. 7");
  EXPECT_EQ(form->PortListIndex(), 6);
  Combo1()->setEditText("COM7");
  EXPECT_EQ(form->PortListIndex(), -1);
  Click(0);
  EXPECT_EQ(serial.log.front(), "CommPort=0");
}

// Both ways of leaving the program while a download runs.
class Leaving : public Commands, public testing::WithParamInterface<bool> {};

TEST_P(Leaving, DuringADownloadClosesThePortAndKeepsTheRecords) {
  Open();
  form->show();
  Click(0);
  serial.Deliver(kChannelFrame + kCodedFrame + kChannelFrame.substr(0, 8));
  if (GetParam()) {
    Click(2);
  } else {
    form->close();  // from the window's frame
  }
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(serial.log.back(), "PortOpen=false");
  EXPECT_EQ(DataFile(), "0,123.45,\"A         \",1\r\n1,-1.234,7,0\r\n");
  EXPECT_TRUE(boxes.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, Leaving, testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Exit" : "CloseFromFrame"; });

TEST_F(Commands, ExitWithThePortClosedTouchesNoPort) {
  Open();
  form->show();
  Click(2);
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(serial.log.empty());
}

TEST_F(Commands, TheTimerBlinksTheIndicatorAndShowsTheCount) {
  Open();
  Click(0);
  serial.Deliver(kChannelFrame);
  auto* shape = form->findChild<IndicatorShape*>("Shape1");
  std::vector<QColor> colours;
  for (int tick = 0; tick < 2; ++tick) {
    ASSERT_TRUE(QMetaObject::invokeMethod(&form->Timer1(), "timeout", Qt::DirectConnection));
    colours.push_back(shape->FillColor());
  }
  EXPECT_EQ(colours, (std::vector<QColor>{QColor(128, 255, 128), QColor(128, 128, 255)}));
  EXPECT_EQ(Label1(4)->text(), "1");
}

}  // namespace
}  // namespace rx
