#include "window/grid_table_model.h"

#include <algorithm>

namespace rx {
namespace {

bool LooksNumeric(const QString& text) {
  bool ok = false;
  text.trimmed().toDouble(&ok);
  return ok;
}

}  // namespace

GridTableModel::GridTableModel(GridTable& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid) {
  grid_.SetObserver(this);
}

GridTableModel::~GridTableModel() { grid_.SetObserver(nullptr); }

int GridTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : grid_.Rows() - 1;
}

int GridTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : grid_.Cols() - 1;
}

Qt::Alignment GridTableModel::ToQtAlignment(int16_t code, const QString& text) {
  switch (code) {
    case GridTable::kLeftTop:
      return Qt::AlignLeft | Qt::AlignTop;
    case GridTable::kLeftCenter:
      return Qt::AlignLeft | Qt::AlignVCenter;
    case GridTable::kLeftBottom:
      return Qt::AlignLeft | Qt::AlignBottom;
    case GridTable::kCenterTop:
      return Qt::AlignHCenter | Qt::AlignTop;
    case GridTable::kCenterCenter:
      return Qt::AlignCenter;
    case GridTable::kCenterBottom:
      return Qt::AlignHCenter | Qt::AlignBottom;
    case GridTable::kRightTop:
      return Qt::AlignRight | Qt::AlignTop;
    case GridTable::kRightCenter:
      return Qt::AlignRight | Qt::AlignVCenter;
    case GridTable::kRightBottom:
      return Qt::AlignRight | Qt::AlignBottom;
    default:
      return (LooksNumeric(text) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
  }
}

QString GridTableModel::Decode(const std::string& text, TextEncoding encoding) {
  // Most cells are numbers: they need no conversion beyond Latin-1's.
  if (std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; })) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  }
  return QString::fromStdString(ToUtf8(text, encoding));
}

void GridTableModel::SetTextEncoding(TextEncoding encoding) {
  if (encoding == encoding_) return;
  encoding_ = encoding;
  EmitAllTextsChanged();
}

Qt::Alignment GridTableModel::CellAlignment(int row, int col) const {
  const int16_t code = grid_.ColAlignment(col);
  return ToQtAlignment(code, code == GridTable::kGeneral ? Text(row, col) : QString());
}

QString GridTableModel::CornerText() const { return Text(0, 0); }

QVariant GridTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int row = index.row() + 1, col = index.column() + 1;
  if (row >= grid_.Rows() || col >= grid_.Cols()) return {};
  if (role == Qt::DisplayRole) return Text(row, col);
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(CellAlignment(row, col));
  return {};
}

QVariant GridTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  const int row = orientation == Qt::Horizontal ? 0 : section + 1;
  const int col = orientation == Qt::Horizontal ? section + 1 : 0;
  if (section < 0 || row >= grid_.Rows() || col >= grid_.Cols()) return {};
  if (role == Qt::DisplayRole) return Text(row, col);
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(CellAlignment(row, col));
  return {};
}

void GridTableModel::GridShapeAboutToChange() {
  // A reset shows every cell anew; what is still pending refers to the old shape.
  first_row_ = last_row_ = first_col_ = last_col_ = first_header_ = last_header_ = -1;
  beginResetModel();
}

void GridTableModel::GridShapeChanged() {
  endResetModel();
  emit shapeChanged();
}

void GridTableModel::GridCellChanged(int row, int col) {
  if (row == 0 && col == 0) {
    emit cornerChanged();
  } else if (row == 0) {
    emit headerDataChanged(Qt::Horizontal, col - 1, col - 1);
  } else if (col == 0) {
    Extend(first_header_, last_header_, row - 1);
  } else {
    Extend(first_row_, last_row_, row - 1);
    Extend(first_col_, last_col_, col - 1);
  }
}

void GridTableModel::Extend(int& first, int& last, int value) {
  first = first < 0 ? value : std::min(first, value);
  last = std::max(last, value);
  if (changes_due_) return;
  changes_due_ = true;
  QMetaObject::invokeMethod(this, &GridTableModel::EmitPendingChanges, Qt::QueuedConnection);
}

void GridTableModel::EmitPendingChanges() {
  changes_due_ = false;
  const int rows = rowCount(), cols = columnCount();
  if (first_header_ >= 0 && first_header_ < rows) {
    emit headerDataChanged(Qt::Vertical, first_header_, std::min(last_header_, rows - 1));
  }
  if (first_row_ >= 0 && first_row_ < rows && first_col_ < cols) {
    emit dataChanged(index(first_row_, first_col_),
                     index(std::min(last_row_, rows - 1), std::min(last_col_, cols - 1)),
                     {Qt::DisplayRole, Qt::TextAlignmentRole});
  }
  first_row_ = last_row_ = first_col_ = last_col_ = first_header_ = last_header_ = -1;
}

void GridTableModel::GridCleared() { EmitAllTextsChanged(); }

void GridTableModel::EmitAllTextsChanged() {
  emit cornerChanged();
  if (grid_.Cols() > 1) emit headerDataChanged(Qt::Horizontal, 0, grid_.Cols() - 2);
  if (grid_.Rows() > 1) {
    emit headerDataChanged(Qt::Vertical, 0, grid_.Rows() - 2);
    if (grid_.Cols() > 1) {
      emit dataChanged(index(0, 0), index(grid_.Rows() - 2, grid_.Cols() - 2));
    }
  }
}

void GridTableModel::GridColWidthChanged(int col) { emit colWidthChanged(col); }

void GridTableModel::GridRowHeightChanged(int row) { emit rowHeightChanged(row); }

void GridTableModel::GridColAlignmentChanged(int col) {
  if (col == 0) {
    emit cornerChanged();
    if (grid_.Rows() > 1) emit headerDataChanged(Qt::Vertical, 0, grid_.Rows() - 2);
    return;
  }
  emit headerDataChanged(Qt::Horizontal, col - 1, col - 1);
  if (grid_.Rows() > 1) {
    emit dataChanged(index(0, col - 1), index(grid_.Rows() - 2, col - 1), {Qt::TextAlignmentRole});
  }
}

}  // namespace rx
