#pragma once

// The grid's menu of a Form2 on Qt's offscreen platform, its file dialogs scripted.

#include <QAbstractScrollArea>
#include <QAction>
#include <QMenu>
#include <string>
#include <vector>

#include "form_fixture.h"
#include "window/file_dialogs.h"
#include "window/readings_menu.h"

namespace rx::test {

inline const std::string kEndMarker =
    Frame(std::string(14, '\x1B')) + Frame(std::string(14, '\x1B'));
inline const std::string kChannelFrame = Frame("41030200012345");  // channel 1, unit 3: 123.45 A

// Answers each dialog with the next scripted path, and records where each one started.
class ScriptedDialogs : public FileDialogs {
 public:
  std::vector<std::string> asked;
  std::string answer;

  std::string OpenDataFile(const std::string& folder) override {
    asked.push_back("open " + folder);
    return answer;
  }
  std::string SaveForSpreadsheet(const std::string& proposed) override {
    asked.push_back("spreadsheet " + proposed);
    return answer;
  }
  std::string SaveImage(const std::string& proposed) override {
    asked.push_back("image " + proposed);
    return answer;
  }
  std::string SaveReport(const std::string& proposed) override {
    asked.push_back("report " + proposed);
    return answer;
  }
};

class GridMenu : public FormTest {
 protected:
  ReadingsMenu& Menu() {
    form->GridMenu().SetFileDialogs(dialogs);
    return form->GridMenu();
  }
  // The menu's items as "text" or "text (off)" for a disabled one.
  std::vector<std::string> Items() {
    std::vector<std::string> items;
    for (QAction* action : Menu().Menu().actions()) {
      items.push_back(action->text().toStdString() + (action->isEnabled() ? "" : " (off)"));
    }
    return items;
  }
  void Download(const std::string& bytes) {
    Click(0);
    serial.Deliver(bytes + kEndMarker);
  }

  ScriptedDialogs dialogs;
};

}  // namespace rx::test
