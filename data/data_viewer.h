#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/data_file.h"
#include "data/grid_table.h"

namespace rx {

// A time text as date block and clock time: "231207093015" -> "231207 09:30:15". A short text
// leaves pieces empty but keeps the blank and both colons; characters after the twelfth are
// not shown.
std::string TimeDisplay(std::string_view time_text);

// `numerator` / `denominator` rounded to the nearest whole number, a tie going to the even one.
int RoundedQuotient(int numerator, int denominator);

// Lays out `records` in `grid`: a header row and one row per record ("No.", "Channel", "Value",
// "Unit"), time records shown as date block and clock time.
void ShowRecords(GridTable& grid, const std::vector<StoredRecord>& records);

// Fills `grid` with the first `datano` records of the data file `df`, and returns them. The file
// is read in full first, so a failed read throws DataFileError and leaves the grid as it was.
std::vector<StoredRecord> ViewData(GridTable& grid, const std::string& df, int32_t datano);

}  // namespace rx
