#pragma once

#include <QMenu>
#include <QObject>

#include "app/commands.h"
#include "download/message_box.h"
#include "window/file_dialogs.h"

class QAbstractScrollArea;

namespace rx {

// The grid's context menu (right mouse button, the menu key or Shift+F10): plot the readings the
// grid shows, export them for a spreadsheet, save a PDF report of them, or open an earlier data
// file into the grid. It
// leaves the window's controls, df and a running download as they are.
class ReadingsMenu : public QObject {
  Q_OBJECT

 public:
  ReadingsMenu(QAbstractScrollArea& grid, Commands& commands, MessageBox& messages,
               FileDialogs& dialogs);

  void SetFileDialogs(FileDialogs& dialogs) { dialogs_ = &dialogs; }

  // The menu with its items enabled for what the grid shows now.
  QMenu& Menu();

  void PlotReadings();
  void ExportForSpreadsheet();
  void SaveReport();
  void OpenDataFile();

 private:
  void PopUp(const QPoint& global);

  QAbstractScrollArea& grid_;
  Commands& commands_;
  MessageBox& messages_;
  FileDialogs* dialogs_;
  QMenu menu_;
  QAction* plot_ = nullptr;
  QAction* export_ = nullptr;
  QAction* report_ = nullptr;
  QAction* open_ = nullptr;
};

}  // namespace rx
