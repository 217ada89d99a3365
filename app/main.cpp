#include <QApplication>
#include <QDate>
#include <QFile>
#include <QFileInfo>

#include "app/form2.h"
#include "app/qt_message_box.h"
#include "app/steady_tick_clock.h"
#include "download/qt/qt_serial_control.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Fusion paints each button's face in its own colour on every desktop.
  QApplication::setStyle(QStringLiteral("Fusion"));

  const QFileInfo exe(QCoreApplication::applicationFilePath());
  rx::ProgramInfo program{QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString(),
                          QFile::encodeName(exe.completeBaseName()).toStdString()};
  const QDate today = QDate::currentDate();

  rx::QtSerialControl serial(program.folder);
  rx::QtMessageBox messages;
  rx::SteadyTickClock clock;
  rx::Form2 form(serial, messages, clock, program, {today.year(), today.month(), today.day()});
  messages.SetParent(&form);
  form.show();
  return app.exec();
}
