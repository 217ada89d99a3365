#include "window/qt_file_dialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

namespace rx {
namespace {

QString Decoded(const std::string& path) { return QFile::decodeName(path.c_str()); }

std::string Encoded(const QString& path) {
  return path.isEmpty() ? std::string() : QFile::encodeName(path).toStdString();
}

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
  return Encoded(QFileDialog::getOpenFileName(parent_, QStringLiteral("Open Data File"),
                                              Decoded(folder),
                                              QStringLiteral("Data files (*.dat);;All files (*)")));
}

std::string QtFileDialogs::SaveCsv(const std::string& proposed) {
  QString filter;
  const QString path = QFileDialog::getSaveFileName(
      parent_, QStringLiteral("Export for Spreadsheet"), Decoded(proposed),
      QStringLiteral("CSV files (*.csv);;All files (*)"), &filter);
  return Encoded(WithFilterSuffix(path, filter, {QStringLiteral("csv")}));
}

std::string QtFileDialogs::SaveImage(const std::string& proposed) {
  QString filter;
  const QString path =
      QFileDialog::getSaveFileName(parent_, QStringLiteral("Save Image"), Decoded(proposed),
                                   QStringLiteral("PNG image (*.png);;SVG image (*.svg)"), &filter);
  return Encoded(WithFilterSuffix(path, filter, {QStringLiteral("png"), QStringLiteral("svg")}));
}

}  // namespace rx
