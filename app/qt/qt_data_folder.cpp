#include "app/qt/qt_data_folder.h"

#include <QFile>
#include <QStandardPaths>

namespace rx {

DataFolder DataFolderOf(const std::string& program_folder) {
  if (FolderWritable(program_folder)) return ChooseDataFolder(program_folder, true, {});
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return ChooseDataFolder(program_folder, false, QFile::encodeName(documents).toStdString());
}

}  // namespace rx
