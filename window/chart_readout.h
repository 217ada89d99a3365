#pragma once

#include <QPointF>
#include <QStringList>
#include <optional>

class QGraphicsLineItem;

namespace rx {

class ReadingsChart;
class ReadoutLabel;

// The readout under the pointer on a chart in a view: a thin vertical line at the record under
// the pointer and, beside it, a label with the record No., the start of its session and each
// series' value there. Its items are the chart's children; they are not drawn while hidden, so
// an image saved then shows none of them.
class ChartReadout {
 public:
  explicit ChartReadout(ReadingsChart& chart);

  // Shows the readout for the pointer at `at`, in the chart's coordinates; hides it while the
  // pointer is outside the plot area.
  void PointAt(QPointF at);
  // Shows it again for the same pointer after a zoom or a move has changed the axes.
  void Refresh();
  void Hide();

  bool IsShown() const;
  // The x of the line in the chart's coordinates, and the label's lines, while shown.
  double LineX() const;
  QStringList Lines() const;

 private:
  ReadingsChart& chart_;
  QGraphicsLineItem* line_ = nullptr;
  ReadoutLabel* label_ = nullptr;
  std::optional<QPointF> pointer_;
};

}  // namespace rx
