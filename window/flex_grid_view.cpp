#include "window/flex_grid_view.h"

#include <QAbstractButton>
#include <QEvent>
#include <QHeaderView>
#include <QStyleOptionHeader>
#include <QStylePainter>
#include <cmath>
#include <unordered_map>

namespace rx {

FlexGridView::FlexGridView(GridTable& grid, QWidget* parent)
    : QTableView(parent), grid_(grid), model_(grid) {
  setModel(&model_);
  for (QHeaderView* header : {horizontalHeader(), verticalHeader()}) {
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setHighlightSections(false);
    header->setSectionsClickable(false);
    header->setMinimumSectionSize(0);
  }
  horizontalHeader()->setStretchLastSection(false);
  setCornerButtonEnabled(false);
  // The corner cell shows the text of cell (0, 0), which a plain corner button cannot.
  corner_ = findChild<QAbstractButton*>();
  if (corner_ != nullptr) corner_->installEventFilter(this);

  connect(&model_, &GridTableModel::colWidthChanged, this, &FlexGridView::ApplyColWidth);
  connect(&model_, &GridTableModel::rowHeightChanged, this, &FlexGridView::ApplyRowHeight);
  connect(&model_, &GridTableModel::shapeChanged, this, &FlexGridView::ApplyAllSizes);
  connect(&model_, &GridTableModel::cornerChanged, this, [this] {
    if (corner_ != nullptr) corner_->update();
  });
  for (int col = 0; col < grid_.Cols(); ++col) ApplyColWidth(col);
  SyncRowHeights();
}

int FlexGridView::PixelsX(int twips) const {
  return static_cast<int>(std::lround(twips * logicalDpiX() / 1440.0));
}

int FlexGridView::PixelsY(int twips) const {
  return static_cast<int>(std::lround(twips * logicalDpiY() / 1440.0));
}

void FlexGridView::ApplyColWidth(int col) {
  const int px = PixelsX(grid_.ColWidth(col));
  if (col == 0) {
    verticalHeader()->setFixedWidth(px);
  } else {
    horizontalHeader()->resizeSection(col - 1, px);
  }
}

void FlexGridView::ApplyRowHeight(int) {
  // Each resized section makes the header recount every section's position, so heights set
  // row by row are taken together once the handler that set them has returned.
  if (row_heights_due_) return;
  row_heights_due_ = true;
  QMetaObject::invokeMethod(this, &FlexGridView::SyncRowHeights, Qt::QueuedConnection);
}

void FlexGridView::SyncRowHeights() {
  row_heights_due_ = false;
  horizontalHeader()->setFixedHeight(PixelsY(grid_.RowHeight(0)));
  if (grid_.Rows() < 2) return;
  // All rows take the commonest height at once; the few others are then resized one by one.
  std::unordered_map<int, int> rows_of_height;
  int common = grid_.RowHeight(1);
  for (int row = 1; row < grid_.Rows(); ++row) {
    const int n = ++rows_of_height[grid_.RowHeight(row)];
    if (n > rows_of_height[common]) common = grid_.RowHeight(row);
  }
  QHeaderView* rows = verticalHeader();
  rows->setDefaultSectionSize(PixelsY(common));
  for (int row = 1; row < grid_.Rows(); ++row) {
    if (grid_.RowHeight(row) != common) rows->resizeSection(row - 1, PixelsY(grid_.RowHeight(row)));
  }
}

void FlexGridView::ApplyAllSizes() {
  for (int col = 0; col < grid_.Cols(); ++col) ApplyColWidth(col);
  ApplyRowHeight(0);
}

bool FlexGridView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == corner_ && event->type() == QEvent::Paint) {
    PaintCorner();
    return true;
  }
  return QTableView::eventFilter(watched, event);
}

void FlexGridView::PaintCorner() {
  QStylePainter painter(corner_);
  QStyleOptionHeader option;
  option.initFrom(corner_);
  option.state |= QStyle::State_Enabled;
  option.palette.setCurrentColorGroup(QPalette::Active);
  option.rect = corner_->rect();
  // The first cell of the header row: the style draws its right-hand line as it does between the
  // header cells beside it.
  option.orientation = Qt::Horizontal;
  option.position = QStyleOptionHeader::Beginning;
  option.text = model_.CornerText();
  option.textAlignment = model_.CellAlignment(0, 0);
  painter.drawControl(QStyle::CE_Header, option);
}

}  // namespace rx
