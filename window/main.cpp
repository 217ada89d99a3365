#include <QApplication>
#include <QDate>
#include <QFileInfo>

#include "app/qt/qt_data_folder.h"
#include "app/steady_tick_clock.h"
#include "download/qt/qt_serial_control.h"
#include "window/form2.h"
#include "window/qt_message_box.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Fusion paints each button's face in its own colour on every desktop.
  QApplication::setStyle(QStringLiteral("Fusion"));

  // The executable's own path with links resolved (/proc/self/exe), so a copy started through
  // the /usr/bin/rx7731 link is still RX7731, in its installed folder.
  const QFileInfo exe(QCoreApplication::applicationFilePath());
  const rx::DataFolder data =
      rx::DataFolderOf(QCoreApplication::applicationDirPath().toStdString());
  rx::ProgramInfo program{data.folder, exe.completeBaseName().toStdString(), data.unit_table};
  const QDate today = QDate::currentDate();

  rx::QtSerialControl serial(program.folder);
  rx::QtMessageBox messages;
  rx::SteadyTickClock clock;
  rx::Form2 form(serial, messages, clock, program, {today.year(), today.month(), today.day()});
  messages.SetParent(&form);
  if (!data.problem.empty()) messages.Inform(data.problem + ".");
  form.show();
  return app.exec();
}
