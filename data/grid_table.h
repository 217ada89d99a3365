#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rx {

// Learns of every change to a GridTable, so that a view on the screen can follow it.
class GridObserver {
 public:
  virtual ~GridObserver() = default;
  // The number of rows or columns is about to change, and has changed.
  virtual void GridShapeAboutToChange() = 0;
  virtual void GridShapeChanged() = 0;
  virtual void GridCellChanged(int row, int col) = 0;
  virtual void GridCleared() = 0;
  virtual void GridColWidthChanged(int col) = 0;
  virtual void GridRowHeightChanged(int row) = 0;
  virtual void GridColAlignmentChanged(int col) = 0;
};

// The readings grid as a table of texts: row 0 is the fixed header row and column 0 the fixed
// header column. Sizes are in twips. Out-of-range rows or columns throw std::out_of_range.
class GridTable {
 public:
  // Alignment codes of ColAlignment.
  enum Alignment : int16_t {
    kLeftTop = 0,
    kLeftCenter = 1,
    kLeftBottom = 2,
    kCenterTop = 3,
    kCenterCenter = 4,
    kCenterBottom = 5,
    kRightTop = 6,
    kRightCenter = 7,
    kRightBottom = 8,
    kGeneral = 9,  // text on the left, numbers on the right, centred vertically
  };
  static constexpr int kDefaultColWidth = 960;
  static constexpr int kDefaultRowHeight = 240;

  // A grid `width` twips wide with `rows` rows and `cols` columns, all empty.
  GridTable(int width, int rows, int cols);

  int Rows() const { return static_cast<int>(rows_.size()); }
  // Rows kept keep their texts and heights; new rows are empty. At least the header row.
  void SetRows(int rows);
  int Cols() const { return cols_; }
  // Columns kept keep their texts, widths and alignment. At least the header column.
  void SetCols(int cols);

  const std::string& TextMatrix(int row, int col) const;
  void SetTextMatrix(int row, int col, std::string text);

  int ColWidth(int col) const;
  void SetColWidth(int col, int twips);
  int RowHeight(int row) const;
  void SetRowHeight(int row, int twips);
  int16_t ColAlignment(int col) const;
  void SetColAlignment(int col, int16_t code);

  // Empties every cell; rows, columns and sizes stay.
  void Clear();

  // The grid's own width on the window, in twips.
  int Width() const { return width_; }

  // One observer at a time; nullptr for none.
  void SetObserver(GridObserver* observer) { observer_ = observer; }

 private:
  struct Column {
    int width = kDefaultColWidth;
    int16_t alignment = kGeneral;
  };
  struct Row {
    std::vector<std::string> cells;
    int height = kDefaultRowHeight;
  };

  void CheckRow(int row) const;
  void CheckCol(int col) const;

  int width_;
  int cols_;
  std::vector<Column> columns_;
  std::vector<Row> rows_;
  GridObserver* observer_ = nullptr;
};

}  // namespace rx
