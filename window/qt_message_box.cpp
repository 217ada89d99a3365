#include "window/qt_message_box.h"

#include <QString>

namespace rx {
namespace {

// The texts hold CR LF line ends and may hold paths; they are shown as plain lines, never
// read as markup.
std::unique_ptr<QMessageBox> MakeBox(QMessageBox::Icon icon, const std::string& prompt,
                                     const std::string& title, QWidget* parent) {
  QString text = QString::fromStdString(prompt);
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  auto box = std::make_unique<QMessageBox>(icon, QString::fromStdString(title), text,
                                           QMessageBox::NoButton, parent);
  box->setTextFormat(Qt::PlainText);
  box->setWindowModality(Qt::ApplicationModal);
  return box;
}

}  // namespace

std::unique_ptr<QMessageBox> QtMessageBox::MakeInformBox(const std::string& prompt,
                                                         const std::string& title,
                                                         QWidget* parent) {
  auto box = MakeBox(QMessageBox::NoIcon, prompt, title, parent);
  box->setStandardButtons(QMessageBox::Ok);
  box->setDefaultButton(QMessageBox::Ok);
  return box;
}

std::unique_ptr<QMessageBox> QtMessageBox::MakeYesNoBox(const std::string& prompt,
                                                        const std::string& title, QWidget* parent) {
  auto box = MakeBox(QMessageBox::Critical, prompt, title, parent);
  box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  box->setDefaultButton(QMessageBox::No);
  box->setEscapeButton(QMessageBox::No);
  return box;
}

void QtMessageBox::Inform(const std::string& prompt, const std::string& title) {
  MakeInformBox(prompt, title, parent_)->exec();
}

bool QtMessageBox::AskYesNo(const std::string& prompt, const std::string& title) {
  return MakeYesNoBox(prompt, title, parent_)->exec() == QMessageBox::Yes;
}

}  // namespace rx
