// The widget tests need one QApplication for the whole run.
#include <gtest/gtest.h>

#include <QApplication>

#include "support/every_test_runs.h"

#ifdef _WIN32
#include <QDir>
#include <QFont>
#include <QFontDatabase>

// Qt's offscreen platform on Windows knows only the fonts in lib/fonts beside the program (the
// Liberation Sans that ships) and no aliases. The window asks for Times New Roman and Arial, which
// Linux's fontconfig maps to their metric-compatible Liberation faces; give the tests the same
// faces, from test-fonts beside the test program, and the same mapping, so that captions measure
// as they do on Linux and on a real Windows desktop.
void UseMetricCompatibleFonts() {
  const QDir fonts(QCoreApplication::applicationDirPath() + QStringLiteral("/test-fonts"));
  for (const QString& file : fonts.entryList({QStringLiteral("*.ttf")}, QDir::Files)) {
    if (QFontDatabase::addApplicationFont(fonts.filePath(file)) < 0) {
      qFatal("Cannot load the test font %s", qPrintable(fonts.filePath(file)));
    }
  }
  QFont::insertSubstitution(QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"));
  QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
}
#endif

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
#ifdef _WIN32
  UseMetricCompatibleFonts();
#endif
  QApplication::setStyle(QStringLiteral("Fusion"));
  QApplication::setQuitOnLastWindowClosed(false);
  testing::InitGoogleTest(&argc, argv);
  rx::test::FailSkippedTestsWhenAsked();
  return RUN_ALL_TESTS();
}
