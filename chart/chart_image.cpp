#include "chart/chart_image.h"

#include <QBuffer>
#include <QFileInfo>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QPainter>
#include <QSvgGenerator>
#include <cerrno>
#include <cstdio>

#include "data/file_replacement.h"

namespace rx {
namespace {

void Render(const QChart& chart, QPainter& painter) {
  RenderChart(chart, painter, QRectF(QPointF(0, 0), chart.sceneBoundingRect().size()));
}

[[noreturn]] void Fail(const QString& path, const QString& reason) {
  throw ChartImageError(
      QStringLiteral("Cannot write chart file %1: %2").arg(path, reason).toStdString());
}

}  // namespace

void RenderChart(const QChart& chart, QPainter& painter, const QRectF& target) {
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  chart.scene()->render(&painter, target, chart.sceneBoundingRect());
}

std::optional<ChartImageFormat> ChartImageFormatFor(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == QLatin1String("svg")) return ChartImageFormat::kSvg;
  if (suffix == QLatin1String("png")) return ChartImageFormat::kPng;
  return std::nullopt;
}

void SetChartSize(QGraphicsScene& scene, QChart& chart, QSize size) {
  if (chart.scene() != &scene) scene.addItem(&chart);
  chart.setGeometry(QRectF(QPointF(0, 0), size));
  if (chart.layout() != nullptr) chart.layout()->activate();
}

QByteArray ChartSvg(const QChart& chart, const QString& title) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  QSvgGenerator generator;
  generator.setOutputDevice(&buffer);
  const QSize size = chart.size().toSize();
  generator.setSize(size);
  // One pixel of the chart is one CSS pixel, so viewers show the SVG at the size asked.
  generator.setResolution(96);
  generator.setViewBox(QRect(QPoint(0, 0), size));
  generator.setTitle(title);
  QPainter painter(&generator);
  Render(chart, painter);
  painter.end();
  return bytes;
}

QImage ChartImage(const QChart& chart) {
  QImage image(chart.size().toSize(), QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) return image;
  image.fill(Qt::white);
  QPainter painter(&image);
  Render(chart, painter);
  painter.end();
  return image;
}

void SaveChartImage(const QChart& chart, const QString& path) {
  const std::optional<ChartImageFormat> format = ChartImageFormatFor(path);
  if (!format) Fail(path, QStringLiteral("the name must end in .svg or .png"));
  QByteArray bytes;
  if (*format == ChartImageFormat::kSvg) {
    bytes = ChartSvg(chart, QFileInfo(path).completeBaseName());
  } else {
    const QImage image = ChartImage(chart);
    if (image.isNull()) Fail(path, QStringLiteral("not enough memory for the image"));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) Fail(path, QStringLiteral("the PNG encoder failed"));
  }
  const auto reason = [](const std::error_code& error) {
    return QString::fromStdString(error.message());
  };
  FileReplacement file(path.toStdString());
  if (const std::error_code error = file.Create()) Fail(path, reason(error));
  errno = 0;
  const auto size = static_cast<size_t>(bytes.size());
  std::error_code error;
  if (std::fwrite(bytes.constData(), 1, size, file.File()) != size) {
    error = std::error_code(errno ? errno : EIO, std::generic_category());
  }
  if (const std::error_code closed = file.CloseFile(); !error) error = closed;
  if (!error) error = file.Commit();
  if (error) Fail(path, reason(error));
}

}  // namespace rx
