#pragma once

#include <QTableView>

#include "data/grid_table.h"
#include "window/grid_table_model.h"

class QAbstractButton;

namespace rx {

// The readings grid on the screen: a table view of a GridTable whose row 0 and column 0 stay in
// place as header cells while the rest scrolls. Sizes follow the table's twips at the screen's
// logical dpi; row heights reach the screen when the event loop next runs.
class FlexGridView : public QTableView {
  Q_OBJECT

 public:
  explicit FlexGridView(GridTable& grid, QWidget* parent = nullptr);

  GridTableModel& Model() { return model_; }
  // Pixels of `twips` across and down at this widget's logical dpi.
  int PixelsX(int twips) const;
  int PixelsY(int twips) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ApplyColWidth(int col);
  void ApplyRowHeight(int row);
  void SyncRowHeights();
  void ApplyAllSizes();
  void PaintCorner();

  GridTable& grid_;
  GridTableModel model_;
  QAbstractButton* corner_ = nullptr;
  bool row_heights_due_ = false;
};

}  // namespace rx
