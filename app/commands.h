#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/form_controls.h"
#include "data/data_file.h"
#include "data/grid_table.h"
#include "data/text_encoding.h"
#include "download/message_box.h"
#include "download/meter_download.h"

namespace rx {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// The records the grid shows, and the data file they were read from.
struct ShownRecords {
  std::string path;
  std::vector<StoredRecord> records;
  TextEncoding encoding = TextEncoding::kCp1252;
};

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

  // Shows every record of the data file at `path` in the grid as View Data lays them out, and
  // changes nothing else: not df, not the count, not a running download. A file that cannot be
  // read, or is not a data file, is reported and leaves the grid as it was. True when shown.
  bool OpenDataFile(const std::string& path);

  // What the grid shows; no records after Start has emptied it.
  const ShownRecords& Shown() const { return shown_; }

 private:
  void Start();
  void ShowData();

  FormControls& form_;
  GridTable& grid_;
  MeterDownload& download_;
  MessageBox& messages_;
  std::string program_folder_;
  std::string df_;
  ShownRecords shown_;
};

}  // namespace rx
