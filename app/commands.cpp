#include "app/commands.h"

#include "app/file_exists.h"
#include "data/data_file.h"
#include "data/data_viewer.h"
#include "data/readings.h"

namespace rx {

Commands::Commands(FormControls& form, GridTable& grid, MeterDownload& download,
                   MessageBox& messages, std::string program_folder)
    : form_(form),
      grid_(grid),
      download_(download),
      messages_(messages),
      program_folder_(std::move(program_folder)) {}

void Commands::Command1_Click(int16_t index) {
  switch (index) {
    case kStart:
      Start();
      break;
    case kViewData:
      ShowData();
      break;
    case kExit:
      form_.Unload();
      break;
    default:
      break;
  }
}

bool Commands::CheckFile() {
  if (!FileExists(df_)) return true;
  return messages_.AskYesNo("The Data file exist . Do you want to continue ?", "Data File Check");
}

void Commands::Text1_Change(const std::string& text) {
  df_ = program_folder_ + kPathSeparator + text;
}

void Commands::Closing() { download_.Exit(); }

void Commands::Start() {
  if (!CheckFile()) return;
  form_.SetStartEnabled(false);
  form_.SetViewDataEnabled(false);
  form_.SetTransferStatus("Press Send Key to Transfer Data");
  form_.SetTimerEnabled(true);
  form_.SetIndicatorVisible(true);
  form_.SetReceivingVisible(true);
  form_.SetRecordCount("0");
  grid_.Clear();
  shown_ = {};
  download_.ClearStartTick();
  const int16_t port = static_cast<int16_t>(form_.PortListIndex() + 1);
  if (!download_.ReadDataLogger_2(df_, port)) {
    // The reason has been shown and the buttons are back; the status line must not go on
    // asking for the meter's SEND key.
    form_.SetTransferStatus("");
  }
}

void Commands::ShowData() {
  try {
    std::vector<StoredRecord> records = ViewData(grid_, df_, download_.datano());
    shown_ = {df_, std::move(records), download_.Units().Encoding()};
    form_.SetGridTextEncoding(shown_.encoding);
  } catch (const DataFileError& e) {
    messages_.Inform(e.what());
  }
}

bool Commands::OpenDataFile(const std::string& path) {
  try {
    DataFileContents contents = ReadWholeDataFile(path);
    ShowRecords(grid_, contents.records);
    shown_ = {path, std::move(contents.records), contents.encoding};
    form_.SetGridTextEncoding(shown_.encoding);
    return true;
  } catch (const DataFileError& e) {
    messages_.Inform(e.what());
    return false;
  }
}

}  // namespace rx
