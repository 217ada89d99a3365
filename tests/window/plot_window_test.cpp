// The plot window as a user works it: the readout follows the mouse over the chart, and the
// statistics under it follow a zoom.
#include "window/plot_window.h"

#include <gtest/gtest.h>

#include <QChartView>
#include <QMouseEvent>
#include <QTest>
#include <QValueAxis>

#include "chart/readings_chart.h"
#include "support/fakes.h"
#include "window/chart_readout.h"
#include "window/qt_file_dialogs.h"
#include "window/statistics_table.h"

namespace rx {
namespace {

// Two sessions of 100 records: after each time record, channel 1 in V on even records (its
// value the record No.) and channel 2 in A on odd ones (minus the record No.).
ShownRecords TwoSessions() {
  ShownRecords shown{"/data/261208.dat", {}, TextEncoding::kCp1252};
  for (int number = 1; number <= 200; ++number) {
    if (number == 1 || number == 101) {
      shown.records.push_back({number == 1 ? "231207093015" : "231207100000", "Time", 0});
    } else if (number % 2 == 0) {
      shown.records.push_back({std::to_string(number), "V         ", 1});
    } else {
      shown.records.push_back({std::to_string(-number), "A         ", 2});
    }
  }
  return shown;
}

class PlotWindowTest : public testing::Test {
 protected:
  PlotWindowTest() : window(TwoSessions(), dialogs, boxes) {
    window.resize(1000, 700);
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
  }

  // Where record `number` lies on the screen, in the chart view's viewport, at mid height.
  QPoint ViewportAt(double number) {
    const QRectF plot = window.Chart().plotArea();
    const QValueAxis* axis = window.Chart().RecordAxis();
    const double x =
        plot.left() + (number - axis->min()) / (axis->max() - axis->min()) * plot.width();
    return window.View().mapFromScene(window.Chart().mapToScene(QPointF(x, plot.center().y())));
  }
  void MoveMouseTo(QPoint at) {
    QWidget* viewport = window.View().viewport();
    QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &move);
  }
  void MouseLeaves() {
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(window.View().viewport(), &leave);
  }
  QStringList Readout() const { return window.Readout().Lines(); }

  QtFileDialogs dialogs;  // never opened here
  test::RecordingMessageBox boxes;
  PlotWindow window;
};

TEST_F(PlotWindowTest, ReadoutFollowsTheMouseOverTheChartAndGoesWhenItLeaves) {
  MoveMouseTo(ViewportAt(120.3));
  ASSERT_TRUE(window.Readout().IsShown());
  EXPECT_EQ(Readout(), QStringList({"Record 120", "Session start 2023-12-07 10:00:00",
                                    "ch 1: 120 V", "ch 2: -119 A"}));
  const QPointF line =
      window.View().mapFromScene(window.Chart().mapToScene(QPointF(window.Readout().LineX(), 0)));
  EXPECT_NEAR(line.x(), ViewportAt(120).x(), 1.0);

  MoveMouseTo(ViewportAt(3));
  EXPECT_EQ(Readout(), QStringList({"Record 3", "Session start 2023-12-07 09:30:15", "ch 1: 2 V",
                                    "ch 2: -3 A"}));

  // Over the axis below the plot there is no record under the pointer.
  MoveMouseTo(ViewportAt(50) + QPoint(0, window.Chart().plotArea().height()));
  EXPECT_FALSE(window.Readout().IsShown());
  MoveMouseTo(ViewportAt(50));
  MouseLeaves();
  EXPECT_FALSE(window.Readout().IsShown());
  EXPECT_TRUE(Readout().isEmpty());
}

TEST_F(PlotWindowTest, StatisticsCoverTheRecordsInViewAfterAZoom) {
  const QStringList header = {"Series", "Readings",  "No digits", "Minimum", "Maximum",
                              "Mean",   "Std. dev.", "From No.",  "To No."};
  const StatisticsTable& table = window.Statistics();
  EXPECT_EQ(table.Heading(), "Records 1 to 200");
  EXPECT_EQ(table.Rows(),
            (std::vector<QStringList>{header,
                                      {"ch 1 V", "100", "0", "2 (No. \u2007\u20072)",
                                       "200 (No. 200)", "101.0", "58.0", "2", "200"},
                                      {"ch 2 A", "98", "0", "-199 (No. 199)",
                                       "-3 (No. \u2007\u20073)", "-101.0", "57.7", "3", "199"}}));

  // A rectangle dragged from record 50.5 to 150.2, as the rubber band zooms.
  const QRectF plot = window.Chart().plotArea();
  const double left = plot.left() + (50.5 - 1) / 199 * plot.width();
  const double right = plot.left() + (150.2 - 1) / 199 * plot.width();
  window.Chart().zoomIn(QRectF(left, plot.top(), right - left, plot.height()));
  EXPECT_TRUE(QTest::qWaitFor([&] { return table.Heading() == "Records 51 to 150"; }, 2000))
      << table.Heading().toStdString();
  EXPECT_EQ(table.Rows(),
            (std::vector<QStringList>{header,
                                      {"ch 1 V", "50", "0", "52 (No. \u200752)", "150 (No. 150)",
                                       "101.0", "29.2", "52", "150"},
                                      {"ch 2 A", "49", "0", "-149 (No. 149)", "-51 (No. \u200751)",
                                       "-100.0", "29.5", "51", "149"}}));

  window.ShowWholeChart();
  EXPECT_TRUE(QTest::qWaitFor([&] { return table.Heading() == "Records 1 to 200"; }, 2000));
}

}  // namespace
}  // namespace rx
