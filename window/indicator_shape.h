#pragma once

#include <QColor>
#include <QWidget>

namespace rx {

// The activity indicator: a circle filling its box, solid fill, thin black border.
class IndicatorShape : public QWidget {
  Q_OBJECT

 public:
  explicit IndicatorShape(QWidget* parent = nullptr);

  QColor FillColor() const { return fill_; }
  void SetFillColor(const QColor& color);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor fill_;
};

}  // namespace rx
