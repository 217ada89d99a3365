#pragma once

#include <QAbstractTableModel>

#include "data/grid_table.h"
#include "data/text_encoding.h"

namespace rx {

// Shows a GridTable to a QTableView: the table's row 0 and column 0 become the view's header
// row and header column, and the header corner text comes from cell (0, 0). Cell texts are in
// the unit table's encoding, since unit names come from it; the rest is ASCII.
class GridTableModel : public QAbstractTableModel, private GridObserver {
  Q_OBJECT

 public:
  explicit GridTableModel(GridTable& grid, QObject* parent = nullptr);
  ~GridTableModel() override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  const GridTable& Grid() const { return grid_; }
  // The encoding of the cell texts: code page 1252 until set.
  void SetTextEncoding(TextEncoding encoding);
  QString CornerText() const;
  Qt::Alignment CellAlignment(int row, int col) const;

  static Qt::Alignment ToQtAlignment(int16_t code, const QString& text);
  // A cell text as shown: `text` in `encoding`.
  static QString Decode(const std::string& text, TextEncoding encoding);

 signals:
  // Sizes in twips, by the table's own row and column numbers.
  void colWidthChanged(int col);
  void rowHeightChanged(int row);
  void cornerChanged();
  // Rows or columns were added or removed: every size may have moved.
  void shapeChanged();

 private:
  void GridShapeAboutToChange() override;
  void GridShapeChanged() override;
  void GridCellChanged(int row, int col) override;
  void GridCleared() override;
  void GridColWidthChanged(int col) override;
  void GridRowHeightChanged(int row) override;
  void GridColAlignmentChanged(int col) override;
  // Cell and row-header changes reach the views as one range each when the event loop next
  // runs: filling 100,000 rows one signal a cell took longer than the filling itself.
  QString Text(int row, int col) const { return Decode(grid_.TextMatrix(row, col), encoding_); }
  // Every text may look different now.
  void EmitAllTextsChanged();
  void Extend(int& first, int& last, int value);
  void EmitPendingChanges();

  GridTable& grid_;
  TextEncoding encoding_ = TextEncoding::kCp1252;
  bool changes_due_ = false;
  int first_row_ = -1, last_row_ = -1, first_col_ = -1, last_col_ = -1;  // cells, model indices
  int first_header_ = -1, last_header_ = -1;                             // vertical header
};

}  // namespace rx
