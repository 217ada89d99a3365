#pragma once

#include <string>

#include "data/text_encoding.h"
#include "download/window_controls.h"

namespace rx {

// The controls of the main window that start-up and the commands use, beside those that the
// download changes. The readings grid is reached through its GridTable.
class FormControls : public WindowControls {
 public:
  virtual void SetCaption(const std::string& caption) = 0;         // the window's title
  virtual void SetVersionCaption(const std::string& caption) = 0;  // lblVersion
  virtual void SetInstructions(const std::string& caption) = 0;    // Label2
  // Text1; setting it runs Text1_Change like any other change.
  virtual void SetFileNameText(const std::string& text) = 0;
  virtual void AddPortItem(const std::string& text) = 0;  // Combo1
  virtual void SetPortListIndex(int index) = 0;
  // The selected port list entry, -1 when none is: the typed text names no entry.
  virtual int PortListIndex() const = 0;
  // The encoding the grid's texts are shown in: that of the unit names in the records shown.
  virtual void SetGridTextEncoding(TextEncoding encoding) = 0;
  // Closes the window, which ends the program.
  virtual void Unload() = 0;
};

}  // namespace rx
