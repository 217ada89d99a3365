#include "cli/aligned_table.h"

#include <algorithm>

#include "data/record_texts.h"

namespace rx::cli {

AlignedTable::AlignedTable(std::vector<bool> right_aligned)
    : right_aligned_(std::move(right_aligned)), width_(right_aligned_.size()) {}

void AlignedTable::Widen(std::span<const std::string> row) {
  for (size_t c = 0; c < std::min(row.size(), width_.size()); ++c) {
    width_[c] = std::max(width_[c], CharacterCount(row[c]));
  }
}

void AlignedTable::Append(std::string& text, std::span<const std::string> row) const {
  const size_t columns = std::min(row.size(), width_.size());
  size_t end = text.size();  // of the last cell's text that is not empty
  for (size_t c = 0; c < columns; ++c) {
    if (c > 0) text += "  ";
    const size_t characters = CharacterCount(row[c]);
    const size_t padding = width_[c] > characters ? width_[c] - characters : 0;
    if (right_aligned_[c]) text.append(padding, ' ');
    text += row[c];
    if (!row[c].empty()) end = text.size();
    if (!right_aligned_[c] && c + 1 < columns) text.append(padding, ' ');
  }
  text.resize(end);  // no blanks of padding after the last text
  text += '\n';
}

}  // namespace rx::cli
