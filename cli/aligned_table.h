#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <utility>
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

  // Appends a table held in memory whole: `header`, then `rows`, widened to them all.
  template <typename Row>
  static void AppendWhole(std::string& text, std::vector<bool> right_aligned,
                          std::span<const std::string> header, const std::vector<Row>& rows) {
    AlignedTable table(std::move(right_aligned));
    table.Widen(header);
    for (const Row& row : rows) table.Widen(row);
    table.Append(text, header);
    for (const Row& row : rows) table.Append(text, row);
  }

 private:
  std::vector<bool> right_aligned_;
  std::vector<size_t> width_;
};

}  // namespace rx::cli
