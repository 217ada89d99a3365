#pragma once

#include <string>

#include "cli/progress_line.h"
#include "download/message_box.h"
#include "download/meter_download.h"
#include "download/window_controls.h"

namespace rx::cli {

// What a terminal gives the download in place of the window: no buttons, timer or indicator to
// change, and the messages the window shows in boxes printed on stderr.
class ConsoleWindow : public WindowControls, public MessageBox {
 public:
  explicit ConsoleWindow(ProgressLine& progress) : progress_(progress) {}

  // The download whose final report (its memory arrived whole) is not printed: the command
  // reports that in its own words on stdout.
  void Follow(const MeterDownload& download) { download_ = &download; }

  void SetTransferStatus(const std::string&) override {}
  void SetRecordCount(const std::string&) override {}
  void SetStartEnabled(bool) override {}
  void SetViewDataEnabled(bool) override {}
  void SetTimerEnabled(bool) override {}
  void SetIndicatorVisible(bool) override {}
  void SetIndicatorColor(uint32_t) override {}
  void SetReceivingVisible(bool) override {}

  void Inform(const std::string& prompt, const std::string& title = kAppTitle) override;
  // The command line asks nothing: --force answers whether a data file may be replaced.
  bool AskYesNo(const std::string&, const std::string&) override { return false; }

 private:
  ProgressLine& progress_;
  const MeterDownload* download_ = nullptr;
};

// Prints `text` on stderr after the program's name, with the window's CR LF line ends as the
// terminal's.
void PrintMessage(const std::string& text);

}  // namespace rx::cli
