#pragma once

#include <string>

namespace rx {

// The file dialogs of the grid's menu. Paths are in the system's file name encoding; each call
// returns the path the user chose, or an empty one when the dialog was cancelled.
class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // A data file to open, starting in `folder`.
  virtual std::string OpenDataFile(const std::string& folder) = 0;
  // Where to save the readings as an Excel workbook (.xlsx) or CSV (.csv), proposing `proposed`.
  virtual std::string SaveForSpreadsheet(const std::string& proposed) = 0;
  // Where to save a chart as PNG or SVG, proposing `proposed`.
  virtual std::string SaveImage(const std::string& proposed) = 0;
  // Where to save a PDF report of the readings, proposing `proposed`.
  virtual std::string SaveReport(const std::string& proposed) = 0;
};

}  // namespace rx
