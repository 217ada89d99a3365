#pragma once

#include <cstdint>
#include <string>

#include "app/form_controls.h"
#include "data/grid_table.h"
#include "download/message_box.h"
#include "download/meter_download.h"

namespace rx {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// The command buttons Start, View Data and Exit, and the data file name box behind them.
class Commands {
 public:
  enum Button : int16_t { kStart = 0, kViewData = 1, kExit = 2 };

  Commands(FormControls& form, GridTable& grid, MeterDownload& download, MessageBox& messages,
           std::string program_folder);

  // Runs the command of button `index`; any other index does nothing.
  void Command1_Click(int16_t index);

  // True when Start may go on: no data file at df, or the user agreed to replace it.
  bool CheckFile();

  // df follows every change of the file name box: the program's folder, one separator, and
  // the text exactly as typed, whatever it holds.
  void Text1_Change(const std::string& text);

  // The window is closing, by Exit or from its frame: the port is closed and the data file
  // keeps every record received so far.
  void Closing();

  const std::string& df() const { return df_; }

 private:
  void Start();
  void ShowData();

  FormControls& form_;
  GridTable& grid_;
  MeterDownload& download_;
  MessageBox& messages_;
  std::string program_folder_;
  std::string df_;
};

}  // namespace rx
