#include "app/flex_grid_view.h"

#include <QAbstractButton>
#include <QEvent>
#include <QHeaderView>
#include <QStyleOptionHeader>
#include <QStylePainter>
#include <cmath>

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
  ApplyAllSizes();
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

void FlexGridView::ApplyRowHeight(int row) {
  const int px = PixelsY(grid_.RowHeight(row));
  if (row == 0) {
    horizontalHeader()->setFixedHeight(px);
  } else {
    verticalHeader()->resizeSection(row - 1, px);
  }
}

void FlexGridView::ApplyAllSizes() {
  for (int col = 0; col < grid_.Cols(); ++col) ApplyColWidth(col);
  for (int row = 0; row < grid_.Rows(); ++row) ApplyRowHeight(row);
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
  option.position = QStyleOptionHeader::OnlyOneSection;
  option.text = model_.CornerText();
  option.textAlignment = model_.CellAlignment(0, 0);
  painter.drawControl(QStyle::CE_Header, option);
}

}  // namespace rx
