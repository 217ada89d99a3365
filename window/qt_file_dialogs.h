#pragma once

#include "window/file_dialogs.h"

class QWidget;

namespace rx {

// The file dialogs as Qt shows them, over `parent`.
class QtFileDialogs : public FileDialogs {
 public:
  void SetParent(QWidget* parent) { parent_ = parent; }

  std::string OpenDataFile(const std::string& folder) override;
  std::string SaveForSpreadsheet(const std::string& proposed) override;
  std::string SaveImage(const std::string& proposed) override;
  std::string SaveReport(const std::string& proposed) override;

 private:
  QWidget* parent_ = nullptr;
};

}  // namespace rx
