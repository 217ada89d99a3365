#pragma once

#include <QByteArray>
#include <QChart>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QSize>
#include <QString>
#include <optional>
#include <stdexcept>

namespace rx {

// A chart image could not be written. what() names the file and the system's reason.
class ChartImageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class ChartImageFormat { kSvg, kPng };

inline constexpr QSize kDefaultChartSize{1200, 700};

// The format a file name asks for by its extension (".svg", ".png", in any case); none for
// any other name.
std::optional<ChartImageFormat> ChartImageFormatFor(const QString& path);

// Adds `chart` to `scene` (which then owns it) unless it is in it already, and lays it out at
// `size`, as a view would before showing it. For rendering without a view.
void SetChartSize(QGraphicsScene& scene, QChart& chart, QSize size);

// The chart as it is laid out now (in a view, or after SetChartSize), at its own size.
QByteArray ChartSvg(const QChart& chart, const QString& title);
QImage ChartImage(const QChart& chart);
// Draws the chart as it is laid out now into `target` of `painter`'s device, scaled to fill it:
// as vectors and text on a vector device (SVG, PDF).
void RenderChart(const QChart& chart, QPainter& painter, const QRectF& target);

// Writes the chart to `path` as SVG or PNG by the name's extension. The file is replaced only
// once the whole image is written. Throws ChartImageError.
void SaveChartImage(const QChart& chart, const QString& path);

}  // namespace rx
