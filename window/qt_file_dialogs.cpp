#include "window/qt_file_dialogs.h"

#include <QFileDialog>
#include <QFileInfo>

namespace rx {
namespace {

// A name typed without an extension gets the one of the chosen filter, "*.png" giving ".png".
QString WithFilterSuffix(QString path, const QString& filter, const QStringList& known) {
  if (path.isEmpty()) return path;
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (known.contains(suffix)) return path;
  for (const QString& extension : known) {
    if (filter.contains(QStringLiteral("*.") + extension)) return path + '.' + extension;
  }
  return path;
}

}  // namespace

std::string QtFileDialogs::OpenDataFile(const std::string& folder) {
  return QFileDialog::getOpenFileName(parent_, QStringLiteral("Open Data File"),
                                      QString::fromStdString(folder),
                                      QStringLiteral("Data files (*.dat);;All files (*)"))
      .toStdString();
}

std::string QtFileDialogs::SaveForSpreadsheet(const std::string& proposed) {
  QString filter;
  const QString path = QFileDialog::getSaveFileName(
      parent_, QStringLiteral("Export for Spreadsheet"), QString::fromStdString(proposed),
      QStringLiteral("Excel workbook (*.xlsx);;CSV (*.csv)"), &filter);
  return WithFilterSuffix(path, filter, {QStringLiteral("xlsx"), QStringLiteral("csv")})
      .toStdString();
}

std::string QtFileDialogs::SaveImage(const std::string& proposed) {
  QString filter;
  const QString path = QFileDialog::getSaveFileName(
      parent_, QStringLiteral("Save Image"), QString::fromStdString(proposed),
      QStringLiteral("PNG image (*.png);;SVG image (*.svg)"), &filter);
  return WithFilterSuffix(path, filter, {QStringLiteral("png"), QStringLiteral("svg")})
      .toStdString();
}

std::string QtFileDialogs::SaveReport(const std::string& proposed) {
  QString filter;
  const QString path = QFileDialog::getSaveFileName(
      parent_, QStringLiteral("Save Report"), QString::fromStdString(proposed),
      QStringLiteral("PDF document (*.pdf)"), &filter);
  return WithFilterSuffix(path, filter, {QStringLiteral("pdf")}).toStdString();
}

}  // namespace rx
