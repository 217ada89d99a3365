#include "data/data_viewer.h"

#include <vector>

#include "data/data_file.h"

namespace rx {
namespace {

constexpr int kDataRowHeight = 360;

std::string_view Piece(std::string_view text, size_t start, size_t length) {
  return start < text.size() ? text.substr(start, length) : std::string_view();
}

}  // namespace

std::string TimeDisplay(std::string_view t) {
  std::string shown;
  shown.reserve(15);
  shown += Piece(t, 0, 6);
  shown += ' ';
  shown += Piece(t, 6, 2);
  shown += ':';
  shown += Piece(t, 8, 2);
  shown += ':';
  shown += Piece(t, 10, 2);
  return shown;
}

int RoundedQuotient(int numerator, int denominator) {
  int quotient = numerator / denominator;
  int remainder = numerator % denominator;
  if (remainder < 0) {  // floor division, so that the remainder is never negative
    remainder += denominator;
    --quotient;
  }
  if (2 * remainder > denominator || (2 * remainder == denominator && quotient % 2 != 0)) {
    ++quotient;
  }
  return quotient;
}

std::vector<StoredRecord> ViewData(GridTable& grid, const std::string& df, int32_t datano) {
  // A download that stored nothing left no file where there was none: nothing to read.
  std::vector<StoredRecord> records =
      datano == 0 ? std::vector<StoredRecord>() : ReadDataFile(df, datano);
  ShowRecords(grid, records);
  return records;
}

void ShowRecords(GridTable& grid, const std::vector<StoredRecord>& records) {
  const int count = static_cast<int>(records.size());

  grid.SetCols(4);
  grid.SetRows(count + 1);
  grid.SetColWidth(1, RoundedQuotient(grid.Width(), 5));
  grid.SetColWidth(2, RoundedQuotient(grid.Width(), 3));
  for (int i = 1; i <= count; ++i) {
    const StoredRecord& record = records[i - 1];
    grid.SetTextMatrix(i, 0, std::to_string(i));
    // Only the exact text "Time" marks a time record; a unit name "Time" from the unit table is
    // padded to ten characters and shows its value unchanged.
    grid.SetTextMatrix(
        i, 2, record.UnitText == "Time" ? TimeDisplay(record.ValueText) : record.ValueText);
    grid.SetTextMatrix(i, 3, record.UnitText);
    grid.SetTextMatrix(i, 1, std::to_string(record.Channel));
    grid.SetRowHeight(i, kDataRowHeight);
  }
  grid.SetTextMatrix(0, 0, "No.");
  grid.SetTextMatrix(0, 1, "Channel");
  grid.SetTextMatrix(0, 2, "Value");
  grid.SetTextMatrix(0, 3, "Unit");
  for (int col = 0; col < 4; ++col) grid.SetColAlignment(col, GridTable::kCenterCenter);
}

}  // namespace rx
