// The main of the test programs that draw charts, images and reports without showing a window:
// one QApplication on Qt's offscreen platform for the whole run.
#include <gtest/gtest.h>

#include <QApplication>

#include "support/every_test_runs.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  rx::test::FailSkippedTestsWhenAsked();
  return RUN_ALL_TESTS();
}
