#include "window/indicator_shape.h"

#include <QPainter>

namespace rx {

IndicatorShape::IndicatorShape(QWidget* parent) : QWidget(parent) {}

void IndicatorShape::SetFillColor(const QColor& color) {
  if (color == fill_) return;
  fill_ = color;
  update();
}

void IndicatorShape::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const int side = qMin(width(), height()) - 1;
  const QRectF box((width() - 1 - side) / 2.0, (height() - 1 - side) / 2.0, side, side);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(fill_);
  painter.drawEllipse(box.translated(0.5, 0.5));
}

}  // namespace rx
