#include "app/qt/qt_data_folder.h"

#include <QStandardPaths>

namespace rx {

DataFolder DataFolderOf(const std::string& program_folder) {
  if (FolderWritable(program_folder)) return ChooseDataFolder(program_folder, true, {});
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return ChooseDataFolder(program_folder, false, documents.toStdString());
}

}  // namespace rx
