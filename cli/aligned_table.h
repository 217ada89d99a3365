#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace rx::cli {

// A table of texts in columns two blanks apart, each as wide as its widest cell in characters
// (not bytes): right-aligned columns for numbers, left-aligned ones for texts. The widths are
// learnt first (Widen, for every row), then the rows are printed (Append), so that a long table
// need not be held in memory.
class AlignedTable {
 public:
  explicit AlignedTable(std::vector<bool> right_aligned);

  void Widen(std::span<const std::string> row);
  // Appends `row` and a line end to `text`, without blanks of padding after its last text (a
  // cell's own blanks stay).
  void Append(std::string& text, std::span<const std::string> row) const;

 private:
  std::vector<bool> right_aligned_;
  std::vector<size_t> width_;
};

}  // namespace rx::cli
