#include "window/chart_readout.h"

#include <QFontMetricsF>
#include <QGraphicsLineItem>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>

#include "chart/readings_chart.h"
#include "chart/readout_lookup.h"

namespace rx {

namespace {

// Above the readings, the time markers and the legend.
constexpr qreal kReadoutZ = 20;
constexpr qreal kPadding = 4;
constexpr qreal kGap = 8;  // between the line and the label

}  // namespace

// A box with one line of text each, a series' line in the series' colour.
class ReadoutLabel : public QGraphicsItem {
 public:
  explicit ReadoutLabel(QGraphicsItem* parent) : QGraphicsItem(parent) { setZValue(kReadoutZ); }

  void SetLines(QStringList lines, std::vector<QColor> colors, const QFont& font) {
    if (lines == lines_ && colors == colors_ && font == font_) return;
    prepareGeometryChange();
    lines_ = std::move(lines);
    colors_ = std::move(colors);
    font_ = font;
    const QFontMetricsF metrics(font_);
    qreal width = 0;
    for (const QString& line : lines_) width = std::max(width, metrics.horizontalAdvance(line));
    line_height_ = metrics.height();
    size_ = QSizeF(width + 2 * kPadding, line_height_ * lines_.size() + 2 * kPadding);
    update();
  }
  const QStringList& Lines() const { return lines_; }
  QSizeF Size() const { return size_; }

  QRectF boundingRect() const override { return QRectF(QPointF(0, 0), size_); }
  void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
    painter->setPen(QColor(160, 160, 160));
    painter->setBrush(QColor(255, 255, 255, 235));
    painter->drawRect(boundingRect().adjusted(0.5, 0.5, -0.5, -0.5));
    painter->setFont(font_);
    for (int i = 0; i < lines_.size(); ++i) {
      painter->setPen(i < static_cast<int>(colors_.size()) ? colors_[i] : QColor(Qt::black));
      painter->drawText(QRectF(kPadding, kPadding + i * line_height_, size_.width(), line_height_),
                        Qt::AlignLeft | Qt::AlignVCenter, lines_[i]);
    }
  }

 private:
  QStringList lines_;
  std::vector<QColor> colors_;
  QFont font_;
  qreal line_height_ = 0;
  QSizeF size_;
};

ChartReadout::ChartReadout(ReadingsChart& chart) : chart_(chart) {
  line_ = new QGraphicsLineItem(&chart);
  QPen pen(QColor(60, 60, 60, 180), 1);
  pen.setCosmetic(true);
  line_->setPen(pen);
  line_->setZValue(kReadoutZ);
  label_ = new ReadoutLabel(&chart);
  Hide();
}

void ChartReadout::PointAt(QPointF at) {
  pointer_ = at;
  Refresh();
}

void ChartReadout::Refresh() {
  if (!pointer_) return;
  const QRectF plot = chart_.plotArea();
  const QValueAxis* axis = chart_.RecordAxis();
  const double span = axis->max() - axis->min();
  std::optional<Readout> readout;
  if (plot.contains(*pointer_) && span > 0) {
    double at = axis->min() + (pointer_->x() - plot.left()) / plot.width() * span;
    // The record nearest the pointer is one in view, unless the view lies between two.
    const double first = std::ceil(axis->min()), last = std::floor(axis->max());
    if (first <= last) at = std::clamp(at, first, last);
    readout = ReadoutAt(chart_.Data(), at);
  }
  if (!readout) {
    line_->hide();
    label_->hide();
    return;
  }
  const double x = std::clamp(plot.left() + (readout->record - axis->min()) / span * plot.width(),
                              plot.left(), plot.right());
  line_->setLine(x, plot.top(), x, plot.bottom());

  QStringList lines;
  for (const std::string& line :
       ReadoutLines(chart_.Data(), *readout, ReadingsChart::kMaxLegendEntries)) {
    lines.append(QString::fromStdString(line));
  }
  std::vector<QColor> colors(2, QColor(40, 40, 40));
  for (size_t i = 0; i < readout->series.size() && i < ReadingsChart::kMaxLegendEntries; ++i) {
    colors.push_back(chart_.SeriesColor(i).darker(120));
  }
  label_->SetLines(std::move(lines), std::move(colors), chart_.font());

  // Right of the line where there is room, else left of it; beside the pointer, inside the
  // plot area as far as the label fits in it, and never outside the chart.
  const QSizeF size = label_->Size();
  qreal left = x + kGap;
  if (left + size.width() > plot.right()) left = x - kGap - size.width();
  left = std::max(left, plot.left());
  qreal top = pointer_->y() - size.height() / 2;
  top = std::max(std::min(top, plot.bottom() - size.height()), plot.top());
  const QRectF chart_box = chart_.boundingRect();
  left = std::max(std::min(left, chart_box.right() - size.width()), chart_box.left());
  top = std::max(std::min(top, chart_box.bottom() - size.height()), chart_box.top());
  label_->setPos(left, top);
  line_->show();
  label_->show();
}

void ChartReadout::Hide() {
  pointer_.reset();
  line_->hide();
  label_->hide();
}

bool ChartReadout::IsShown() const { return line_->isVisible(); }

double ChartReadout::LineX() const { return line_->line().x1(); }

QStringList ChartReadout::Lines() const { return IsShown() ? label_->Lines() : QStringList(); }

}  // namespace rx
