#include "window/readings_menu.h"

#include <QApplication>
#include <QChartView>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QTest>
#include <QValueAxis>
#include <QWheelEvent>
#include <filesystem>

#include "chart/chart_image.h"
#include "chart/readings_chart.h"
#include "data/readings.h"
#include "export/xlsx_export.h"
#include "grid_menu_fixture.h"
#include "window/plot_window.h"

namespace rx {
namespace {

using test::FormTest;
using test::Frame;
using test::WriteBytes;

using test::GridMenu;
using test::kChannelFrame;
using test::kEndMarker;

TEST_F(GridMenu, PlotAndExportNeedRecordsInTheGridWhileOpenAlwaysWorks) {
  Open();
  const std::vector<std::string> empty = {"Plot Readings... (off)",
                                          "Export for Spreadsheet... (off)", "Save Report... (off)",
                                          "Open Data File..."};
  const std::vector<std::string> shown = {"Plot Readings...", "Export for Spreadsheet...",
                                          "Save Report...", "Open Data File..."};
  EXPECT_EQ(Items(), empty) << "a new window";
  Download(kChannelFrame + kChannelFrame);
  EXPECT_EQ(Items(), empty) << "a finished download not yet viewed";
  Click(1);
  EXPECT_EQ(Items(), shown) << "after View Data";
  boxes.answers.push_back(true);  // replace the file
  Click(0);
  EXPECT_EQ(Items(), empty) << "a running download has emptied the grid";
  Click(2);
}

TEST_F(GridMenu, OpenDataFileShowsAnEarlierFileAndLeavesTheDownloadAlone) {
  const std::string earlier = dir.File("earlier.dat");
  WriteBytes(earlier, "0,\"231207093015\",\"Time\",0\r\n1,1.5,\"V         \",2\r\n2,-3,7,0\r\n");
  Open();
  Click(0);
  serial.Deliver(kChannelFrame);  // a download is running, one reading in
  const std::string df = form->df();
  dialogs.answer = earlier;
  Menu().OpenDataFile();

  EXPECT_EQ(dialogs.asked, std::vector<std::string>{"open " + dir.Path().string()});
  const std::vector<std::vector<QString>> expected = {{"No.", "Channel", "Value", "Unit"},
                                                      {"1", "0", "231207 09:30:15", "Time"},
                                                      {"2", "2", "1.5", "V         "},
                                                      {"3", "0", "-3", "7"}};
  EXPECT_EQ(Shown(), expected);
  EXPECT_EQ(form->df(), df);
  EXPECT_EQ(Text1()->text().toStdString(), "261208.dat");
  EXPECT_EQ(form->Download().datano(), 1);
  EXPECT_EQ(Label1(4)->text(), "0");
  EXPECT_TRUE(form->Download().fgComPortOpen());
  EXPECT_FALSE(Button(0)->isEnabled());
  EXPECT_TRUE(boxes.shown.empty());

  serial.Deliver(kChannelFrame + kEndMarker);  // the download goes on into its own file
  EXPECT_EQ(form->Download().datano(), 2);
  EXPECT_EQ(test::ReadBytes(df), "0,123.45,\"A         \",1\r\n1,123.45,\"A         \",1\r\n");
}

TEST_F(GridMenu, AFileThatIsNotADataFileIsReportedWithItsLineAndTheGridStays) {
  const std::string bad = dir.File("notes.dat");
  WriteBytes(bad, "0,1.5,\"V         \",2\r\nhello world\r\n");
  Open();
  Download(kChannelFrame);
  Click(1);
  const auto before = Shown();
  dialogs.answer = bad;
  Menu().OpenDataFile();
  ASSERT_EQ(boxes.shown.size(), 2u);  // the end of the download, then the file's problem
  EXPECT_EQ(boxes.shown[1].prompt,
            "Cannot read data file " + bad + ": line 2 is not a record of four items");
  EXPECT_EQ(Shown(), before);
  dialogs.answer.clear();  // cancelled: nothing happens
  Menu().OpenDataFile();
  EXPECT_EQ(boxes.shown.size(), 2u);
}

TEST_F(GridMenu, ExportWritesTheGridsReadingsAsCsvBesideTheDataFile) {
  Open();
  Download(Frame("40231207093015") + kChannelFrame + Frame("10070300001234"));
  Click(1);
  const std::string csv = dir.File("readings.csv");
  dialogs.answer = csv;
  Menu().ExportForSpreadsheet();
  EXPECT_EQ(dialogs.asked, std::vector<std::string>{"spreadsheet " + dir.File("261208.xlsx")});
  EXPECT_EQ(test::ReadBytes(csv),
            "number,kind,channel,value,unit,time,last_time_stamp\r\n"
            "1,\"time\",0,,\"Time\",\"2023-12-07T09:30:15\",\"\"\r\n"
            "2,\"reading\",1,123.45,\"A\",\"\",\"2023-12-07T09:30:15\"\r\n"
            "3,\"coded\",0,-1.234,\"7\",\"\",\"2023-12-07T09:30:15\"\r\n");

  dialogs.answer = dir.File("no such folder/readings.csv");
  Menu().ExportForSpreadsheet();
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[1].prompt,
            "Cannot create " + dialogs.answer + ": No such file or directory");
}

// rx7731-cli export --format xlsx reads the data file back and writes its readings with
// WriteXlsxFile; the window's Export, on the grid's records, gives the same bytes. A workbook
// that cannot take its name is reported, and nothing of it is left beside the name.
TEST_F(GridMenu, ExportWritesTheWorkbookThatTheCommandLineWrites) {
  Open();
  Download(Frame("40231207093015") + kChannelFrame + Frame("10070300001234"));
  Click(1);
  const std::string workbook = dir.File("readings.xlsx");
  dialogs.answer = workbook;
  Menu().ExportForSpreadsheet();
  EXPECT_EQ(dialogs.asked, std::vector<std::string>{"spreadsheet " + dir.File("261208.xlsx")});
  ASSERT_EQ(boxes.shown.size(), 1u);  // the end of the download
  const DataFileContents contents = ReadWholeDataFile(form->df());
  const std::string cli = dir.File("cli.xlsx");
  ASSERT_EQ(WriteXlsxFile(cli, ToReadings(contents.records, contents.encoding)), "");
  EXPECT_EQ(test::ReadBytes(workbook).substr(0, 2), "PK");
  EXPECT_TRUE(test::ReadBytes(workbook) == test::ReadBytes(cli));

  dialogs.answer = dir.File("taken.xlsx");
  std::filesystem::create_directory(dialogs.answer);
  Menu().ExportForSpreadsheet();
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[1].prompt.rfind("Cannot create " + dialogs.answer + ": ", 0), 0u)
      << boxes.shown[1].prompt;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    EXPECT_FALSE(entry.path().string().ends_with(".part")) << entry.path();
  }
}

// The report of the grid's records goes beside the data file's name, as a whole PDF or not at
// all: a folder that is not there is reported, and nothing is left beside the name.
TEST_F(GridMenu, SaveReportWritesThePdfOfTheGridsRecords) {
  Open();
  Download(Frame("40231207093015") + kChannelFrame + Frame("10070300001234"));
  Click(1);
  const std::string pdf = dir.File("readings.pdf");
  dialogs.answer = pdf;
  Menu().SaveReport();
  EXPECT_EQ(dialogs.asked, std::vector<std::string>{"report " + dir.File("261208.pdf")});
  ASSERT_EQ(boxes.shown.size(), 1u);  // the end of the download
  const std::string bytes = test::ReadBytes(pdf);
  EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
  EXPECT_NE(bytes.find("%%EOF"), std::string::npos) << "the PDF is not whole";

  dialogs.answer = dir.File("no such folder/readings.pdf");
  Menu().SaveReport();
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[1].prompt,
            "Cannot create " + dialogs.answer + ": No such file or directory");
  dialogs.answer.clear();  // cancelled: nothing happens
  Menu().SaveReport();
  EXPECT_EQ(boxes.shown.size(), 2u);
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    EXPECT_FALSE(entry.path().string().ends_with(".part")) << entry.path();
  }
}

TEST_F(GridMenu, PlotShowsTheGridsReadingsWithAGapForAReadingWithoutDigits) {
  const std::string earlier = dir.File("earlier.dat");
  WriteBytes(earlier,
             "0,\"231207093015\",\"Time\",0\r\n1,1.5,\"V         \",2\r\n"
             "2,999999,\"V         \",2\r\n3,2.5,\"V         \",2\r\n4,-3,7,0\r\n");
  Open();
  dialogs.answer = earlier;
  Menu().OpenDataFile();
  Menu().PlotReadings();
  auto* window = form->findChild<PlotWindow*>();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->windowTitle().contains(QString::fromStdString(earlier)));
  const ChartData& data = window->Chart().Data();
  ASSERT_EQ(data.series.size(), 2u);
  EXPECT_EQ(data.series[0].channel, 0);  // the coded reading
  EXPECT_EQ(data.series[1].unit, "V");
  EXPECT_EQ(data.series[1].runs, (std::vector<ChartRun>{{{2, 1.5}}, {{4, 2.5}}}));
  EXPECT_EQ(data.markers, (std::vector<TimeMarker>{{1, "2023-12-07 09:30:15"}}));

  // The wheel zooms in around the mouse; Whole Chart shows every reading again.
  window->resize(800, 500);
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
  QValueAxis* records = window->Chart().RecordAxis();
  const double whole = records->max() - records->min();
  const QPoint at = window->View().viewport()->rect().center();
  auto turn_wheel = [&](int degrees) {
    QWheelEvent wheel(at, window->View().viewport()->mapToGlobal(at), {}, {0, degrees * 8},
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(window->View().viewport(), &wheel);
  };
  turn_wheel(30);
  EXPECT_LT(records->max() - records->min(), whole * 0.7);
  window->findChild<QPushButton*>("WholeChart")->click();
  EXPECT_DOUBLE_EQ(records->max() - records->min(), whole);
  // Turned the other way, the wheel goes no further than the whole chart.
  const std::pair whole_range(records->min(), records->max());
  turn_wheel(-45);
  EXPECT_EQ(std::pair(records->min(), records->max()), whole_range);

  // Saved as rx7731-cli plot saves it: at its size, whatever the window's, and titled with the
  // data file's name.
  const std::string png = dir.File("chart.png"), svg = dir.File("chart.svg");
  dialogs.answer = png;
  window->SaveImage();
  EXPECT_EQ(dialogs.asked.back(), "image " + dir.File("earlier.png"));
  EXPECT_EQ(QImage(QString::fromStdString(png)).size(), kDefaultChartSize);
  dialogs.answer = svg;
  window->SaveImage();
  QFile saved(QString::fromStdString(svg));
  EXPECT_TRUE(saved.open(QIODevice::ReadOnly) && saved.readAll().contains(">earlier.dat<"));
  EXPECT_EQ(boxes.shown.size(), 0u);
  window->close();
}

TEST_F(GridMenu, ShiftF10OnTheGridOpensTheMenu) {
  Open();
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  Grid()->setFocus();
  QTest::keyClick(Grid(), Qt::Key_F10, Qt::ShiftModifier);
  QMenu* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->objectName(), "GridMenu");
  popup->close();
}

TEST_F(GridMenu, AQuickRightClickOnTheGridOpensTheMenuAndOnlyAPickedItemRuns) {
  Open();
  Download(kChannelFrame + kChannelFrame);
  Click(1);
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  // Through the window, as the platform delivers a click: the press raises the context menu
  // event, the release follows while the menu is open.
  QWindow* window = form->windowHandle();
  QWidget* viewport = Grid()->viewport();
  const QPoint middle = window->mapFromGlobal(viewport->mapToGlobal(viewport->rect().center()));
  QTest::mousePress(window, Qt::RightButton, {}, middle);
  QTest::mouseRelease(window, Qt::RightButton, {}, middle);
  EXPECT_EQ(form->findChild<PlotWindow*>(), nullptr) << "the click ran Plot Readings...";
  QMenu* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr) << "the click did not leave the menu open";
  EXPECT_EQ(menu->objectName(), "GridMenu");

  const QPoint plot_item = menu->actionGeometry(menu->actions().front()).center();
  QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, {}, plot_item);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  auto* plot = form->findChild<PlotWindow*>();
  ASSERT_NE(plot, nullptr) << "picking Plot Readings... did not open the plot window";
  plot->close();
}

}  // namespace
}  // namespace rx
