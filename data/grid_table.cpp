#include "data/grid_table.h"

#include <stdexcept>

namespace rx {

GridTable::GridTable(int width, int rows, int cols) : width_(width), cols_(0) {
  SetCols(cols);
  SetRows(rows);
}

void GridTable::SetRows(int rows) {
  if (rows < 1) throw std::out_of_range("grid rows " + std::to_string(rows) + " below 1");
  if (rows == Rows()) return;
  if (observer_) observer_->GridShapeAboutToChange();
  rows_.resize(rows);
  for (Row& row : rows_) row.cells.resize(cols_);
  if (observer_) observer_->GridShapeChanged();
}

void GridTable::SetCols(int cols) {
  if (cols < 1) throw std::out_of_range("grid columns " + std::to_string(cols) + " below 1");
  if (cols == cols_) return;
  if (observer_) observer_->GridShapeAboutToChange();
  cols_ = cols;
  columns_.resize(cols);
  for (Row& row : rows_) row.cells.resize(cols);
  if (observer_) observer_->GridShapeChanged();
}

const std::string& GridTable::TextMatrix(int row, int col) const {
  CheckRow(row);
  CheckCol(col);
  return rows_[row].cells[col];
}

void GridTable::SetTextMatrix(int row, int col, std::string text) {
  CheckRow(row);
  CheckCol(col);
  rows_[row].cells[col] = std::move(text);
  if (observer_) observer_->GridCellChanged(row, col);
}

int GridTable::ColWidth(int col) const {
  CheckCol(col);
  return columns_[col].width;
}

void GridTable::SetColWidth(int col, int twips) {
  CheckCol(col);
  if (twips < 0) throw std::out_of_range("column width " + std::to_string(twips) + " below 0");
  columns_[col].width = twips;
  if (observer_) observer_->GridColWidthChanged(col);
}

int GridTable::RowHeight(int row) const {
  CheckRow(row);
  return rows_[row].height;
}

void GridTable::SetRowHeight(int row, int twips) {
  CheckRow(row);
  if (twips < 0) throw std::out_of_range("row height " + std::to_string(twips) + " below 0");
  rows_[row].height = twips;
  if (observer_) observer_->GridRowHeightChanged(row);
}

int16_t GridTable::ColAlignment(int col) const {
  CheckCol(col);
  return columns_[col].alignment;
}

void GridTable::SetColAlignment(int col, int16_t code) {
  CheckCol(col);
  if (code < kLeftTop || code > kGeneral) {
    throw std::out_of_range("column alignment code " + std::to_string(code));
  }
  columns_[col].alignment = code;
  if (observer_) observer_->GridColAlignmentChanged(col);
}

void GridTable::Clear() {
  for (Row& row : rows_) {
    for (std::string& cell : row.cells) cell.clear();
  }
  if (observer_) observer_->GridCleared();
}

void GridTable::CheckRow(int row) const {
  if (row < 0 || row >= Rows()) {
    throw std::out_of_range("grid row " + std::to_string(row) + " of " + std::to_string(Rows()));
  }
}

void GridTable::CheckCol(int col) const {
  if (col < 0 || col >= cols_) {
    throw std::out_of_range("grid column " + std::to_string(col) + " of " + std::to_string(cols_));
  }
}

}  // namespace rx
