#pragma once

#include <QMessageBox>
#include <QPointer>
#include <memory>

#include "download/message_box.h"

class QWidget;

namespace rx {

// Modal message boxes on the screen, over `parent` once it is set.
class QtMessageBox : public MessageBox {
 public:
  void SetParent(QWidget* parent) { parent_ = parent; }

  void Inform(const std::string& prompt, const std::string& title = kAppTitle) override;
  bool AskYesNo(const std::string& prompt, const std::string& title) override;

  // The boxes as they are shown, for a look before exec().
  static std::unique_ptr<QMessageBox> MakeInformBox(const std::string& prompt,
                                                    const std::string& title, QWidget* parent);
  static std::unique_ptr<QMessageBox> MakeYesNoBox(const std::string& prompt,
                                                   const std::string& title, QWidget* parent);

 private:
  QPointer<QWidget> parent_;
};

}  // namespace rx
