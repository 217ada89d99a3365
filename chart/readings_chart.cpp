#include "chart/readings_chart.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "chart/chart_image.h"

namespace rx {
namespace {

// A colour for each channel the meter numbers, 1 to 15, that stay apart from each other and from
// the grey of the grid and time markers; [0] is for channel 0 and those beyond 15 (a coded
// reading's channel digit), which repeat the table.
constexpr QRgb kChannelColors[] = {0x505050, 0x1f77b4, 0xd62728, 0x2ca02c, 0xff7f0e, 0x9467bd,
                                   0x8c564b, 0xe377c2, 0x17becf, 0xbcbd22, 0x393b79, 0x008080,
                                   0x800000, 0x556b2f, 0xb8860b, 0x000000};
// The line of a channel's first unit, its second, third ...; the last for any after them.
constexpr Qt::PenStyle kUnitLineStyles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine,
                                            Qt::DashDotLine, Qt::DashDotDotLine};
constexpr qreal kLineWidth = 1.0;
// Above the grid and axes of the chart, below its legend.
constexpr qreal kLinesZ = 5;

// A value range that an axis can show: never empty, with a little room above and below. Its
// span stays far from the largest double, as Qt works out the ticks from it times their count:
// for values near the largest double the axis ends at a sixteenth of it, and the lines leave
// the plot at its edges.
std::pair<double, double> Padded(double low, double high) {
  const double bound = std::numeric_limits<double>::max() / 16;
  const double room = high > low ? (high / 2 - low / 2) * 0.1
                                 : (low == 0 ? 1 : std::min(std::abs(low), bound) * 0.1);
  double from = std::clamp(low - room, -bound, bound);
  double to = std::clamp(high + room, -bound, bound);
  if (!(to > from)) {  // every value beyond the bound on one side
    if (from >= bound) {
      from = bound / 2;
    } else {
      to = -bound / 2;
    }
  }
  return {from, to};
}

// 1, 2 or 5 times a power of ten, the nearest to `step`; 1 for a step that is not positive and
// finite.
double RoundStep(double step) {
  if (!(step > 0) || !std::isfinite(step)) return 1;
  const double power = std::pow(10.0, std::floor(std::log10(step)));
  const double mantissa = step / power;
  return (mantissa < 1.5 ? 1 : mantissa < 3.5 ? 2 : mantissa < 7.5 ? 5 : 10) * power;
}

// About eight ticks across the records and six up the values, whatever part of the file is shown.
constexpr double kRecordSteps = 8;
constexpr double kValueSteps = 6;

// Ticks on `axis` `step` apart, each a whole multiple of the step. The anchor is the multiple
// next to the axis' minimum, as Qt counts the ticks from it in an int.
void PlaceTicks(QValueAxis& axis, double step) {
  axis.setTickInterval(step);
  axis.setTickAnchor(std::floor(axis.min() / step) * step);
}

// Labels for ticks `step` apart that tell each of them from the next: as many decimals as the
// step has, or as many significant digits where the values are too large or too small for
// decimals to read.
QString ValueLabelFormat(double min, double max, double step) {
  const int step_power = static_cast<int>(std::floor(std::log10(step)));
  const double largest = std::max(std::abs(min), std::abs(max));
  if (largest < 1e15 && step_power >= -12) {
    return QStringLiteral("%.%1f").arg(std::max(0, -step_power));
  }
  const int digits = largest > 0 ? static_cast<int>(std::floor(std::log10(largest))) : 0;
  return QStringLiteral("%.%1g").arg(std::clamp(digits - step_power + 1, 1, 17));
}

void PlaceRecordTicks(QValueAxis& axis) {
  PlaceTicks(axis, std::max(1.0, RoundStep((axis.max() - axis.min()) / kRecordSteps)));
}

void PlaceValueTicks(QValueAxis& axis) {
  PlaceTicks(axis, RoundStep((axis.max() - axis.min()) / kValueSteps));
  axis.setLabelFormat(ValueLabelFormat(axis.min(), axis.max(), axis.tickInterval()));
}

// Moves the range [min, max] of `axis` back inside `whole`, and shows `whole` for a range as
// wide or wider.
void KeepWithin(QValueAxis& axis, double min, double max, std::pair<double, double> whole) {
  const auto [whole_min, whole_max] = whole;
  const double span = max - min;
  if (!(span < whole_max - whole_min)) {
    if (min != whole_min || max != whole_max) axis.setRange(whole_min, whole_max);
  } else if (min < whole_min) {
    axis.setRange(whole_min, whole_min + span);
  } else if (max > whole_max) {
    axis.setRange(whole_max - span, whole_max);
  }
}

}  // namespace

// Draws the runs of every series, the time markers and the labels of those with room over the
// chart's plot area, from the axes' current ranges.
class ReadingsLinesItem : public QGraphicsItem {
 public:
  explicit ReadingsLinesItem(ReadingsChart* chart) : QGraphicsItem(chart), chart_(chart) {
    setZValue(kLinesZ);
    SetFont(chart->font());
  }

  // The time markers' labels in a smaller size of `font`.
  void SetFont(const QFont& font) {
    label_font_ = font;
    if (font.pixelSize() > 0) {
      label_font_.setPixelSize(std::max(1, static_cast<int>(std::lround(font.pixelSize() * 0.8))));
    } else {
      label_font_.setPointSizeF(font.pointSizeF() * 0.8);
    }
    const QFontMetricsF metrics(label_font_);
    label_width_ = 0;
    for (const TimeMarker& marker : chart_->Data().markers) {
      label_width_ =
          std::max(label_width_, metrics.horizontalAdvance(QString::fromStdString(marker.label)));
    }
    label_height_ = metrics.height();
    update();
  }

  void PlotAreaChanged() {
    prepareGeometryChange();
    update();
  }

  QRectF boundingRect() const override { return chart_->plotArea(); }

  void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
    const QRectF plot = chart_->plotArea();
    if (plot.width() <= 0 || plot.height() <= 0) return;
    painter->save();
    painter->setClipRect(plot);
    const QValueAxis* x_axis = chart_->RecordAxis();
    const double x_min = x_axis->min(), x_max = x_axis->max();
    const double x_scale = plot.width() / (x_max - x_min);
    auto x_at = [&](double x) { return plot.left() + (x - x_min) * x_scale; };

    const std::vector<TimeMarker>& markers = chart_->Data().markers;
    const auto first_marker =
        std::lower_bound(markers.begin(), markers.end(), x_min,
                         [](const TimeMarker& m, double x) { return m.x < x; });
    const auto end_marker = std::upper_bound(first_marker, markers.end(), x_max,
                                             [](double x, const TimeMarker& m) { return x < m.x; });
    // At most one line a pixel column, fainter the closer they stand, so that thousands of
    // time records tint the plot instead of hiding the readings.
    QPainterPath marker_lines;
    std::vector<double> label_at;
    double last_column = -1;
    for (auto m = first_marker; m != end_marker; ++m) {
      const double x = x_at(m->x);
      label_at.push_back(x + 2);
      if (std::round(x) == last_column) continue;
      last_column = std::round(x);
      marker_lines.moveTo(x, plot.top());
      marker_lines.lineTo(x, plot.bottom());
    }
    const double spacing = plot.width() / std::max<double>(1, label_at.size());
    const int alpha = static_cast<int>(std::clamp(spacing * 30, 25.0, 120.0));
    // Dashed while they stand apart, to tell them from the grid.
    painter->setPen(
        QPen(QColor(120, 120, 150, alpha), 0.8, spacing > 6 ? Qt::DashLine : Qt::SolidLine));
    painter->setBrush(Qt::NoBrush);
    // An empty path would still leave a closing operator without a point in a PDF.
    if (!marker_lines.isEmpty()) painter->drawPath(marker_lines);

    const int columns = static_cast<int>(std::ceil(plot.width()));
    const std::vector<ChartSeries>& series = chart_->Data().series;
    for (size_t i = 0; i < series.size(); ++i) {
      const QValueAxis* y_axis = chart_->ValueAxis(i);
      const double y_min = y_axis->min();
      const double y_scale = plot.height() / (y_axis->max() - y_min);
      QPen pen(chart_->SeriesColor(i), kLineWidth, chart_->SeriesLineStyle(i));
      pen.setCapStyle(Qt::FlatCap);
      pen.setJoinStyle(Qt::BevelJoin);
      painter->setPen(pen);
      // One path of a subpath per run: a run starts with a move, so nothing joins two runs, and
      // an image file holds one element per series however many sessions the file has.
      QPainterPath path;
      for (const ChartRun& run : series[i].runs) {
        if (run.back().x < x_min || run.front().x > x_max) continue;
        const std::vector<ChartPoint> points = DecimateRun(run, x_min, x_max, columns);
        for (size_t p = 0; p < points.size(); ++p) {
          const QPointF at(x_at(points[p].x), plot.bottom() - (points[p].y - y_min) * y_scale);
          if (p == 0) {
            path.moveTo(at);
          } else {
            path.lineTo(at);
          }
        }
        // A reading with gaps on both sides, shown as a short dash so that it is not lost.
        if (points.size() == 1) {
          const QPointF at = path.currentPosition();
          path.moveTo(at.x() - 3, at.y());
          path.lineTo(at.x() + 3, at.y());
        }
      }
      if (!path.isEmpty()) painter->drawPath(path);
    }

    const double width = label_width_ + 4;
    painter->setFont(label_font_);
    for (const size_t i : LabelsWithRoom(label_at, width + 4, plot.right())) {
      const QRectF box(std::min(label_at[i], plot.right() - width), plot.top() + 1, width,
                       label_height_);
      painter->fillRect(box, QColor(255, 255, 255, 210));
      painter->setPen(QColor(90, 90, 90));
      painter->drawText(box, Qt::AlignCenter,
                        QString::fromStdString(first_marker[static_cast<long>(i)].label));
    }
    painter->restore();
  }

 private:
  ReadingsChart* chart_;
  QFont label_font_;
  double label_width_ = 0;
  double label_height_ = 0;
};

ReadingsChart::ReadingsChart(ChartData data, QGraphicsItem* parent)
    : QChart(parent), data_(std::move(data)) {
  const size_t count = data_.series.size();

  // A channel keeps its colour in every chart; its units after the first are told apart by
  // their line.
  colors_.resize(count);
  styles_.resize(count);
  for (size_t i = 0; i < count; ++i) {
    colors_[i] = ChannelColor(data_.series[i].channel);
    const auto earlier =
        std::count_if(data_.series.begin(), data_.series.begin() + i,
                      [&](const ChartSeries& s) { return s.channel == data_.series[i].channel; });
    styles_[i] = kUnitLineStyles[std::min<size_t>(earlier, std::size(kUnitLineStyles) - 1)];
  }
  // The series with the most readings get the legend's places.
  std::vector<size_t> by_points(count);
  std::iota(by_points.begin(), by_points.end(), 0);
  std::stable_sort(by_points.begin(), by_points.end(), [&](size_t a, size_t b) {
    return data_.series[a].points > data_.series[b].points;
  });
  std::vector<bool> in_legend(count, false);
  for (size_t rank = 0; rank < count && rank < kMaxLegendEntries; ++rank) {
    in_legend[by_points[rank]] = true;
  }

  record_axis_ = new QValueAxis(this);
  record_axis_->setTitleText(tr("Record No."));
  record_axis_->setLabelFormat("%.0f");
  addAxis(record_axis_, Qt::AlignBottom);
  const auto [x_low, x_high] = data_.last_x > data_.first_x ? std::pair(data_.first_x, data_.last_x)
                                                            : Padded(data_.first_x, data_.last_x);
  // The records fill the axis from the first to the last.
  record_axis_->setTickType(QValueAxis::TicksDynamic);
  connect(record_axis_, &QValueAxis::rangeChanged, record_axis_,
          [axis = record_axis_] { PlaceRecordTicks(*axis); });
  record_axis_->setRange(x_low, x_high);
  PlaceRecordTicks(*record_axis_);
  whole_ranges_.emplace_back(record_axis_->min(), record_axis_->max());

  const bool shared = data_.units.size() > kMaxValueAxes;
  const size_t axes = shared ? 1 : data_.units.size();
  for (size_t a = 0; a < axes; ++a) {
    auto* axis = new QValueAxis(this);
    if (shared) {
      axis->setTitleText(tr("Value (units in the legend)"));
    } else {
      axis->setTitleText(data_.units[a].empty() ? tr("(no unit)")
                                                : QString::fromStdString(data_.units[a]));
    }
    // Round ticks at every zoom, labelled so that no two read the same.
    axis->setTickType(QValueAxis::TicksDynamic);
    connect(axis, &QValueAxis::rangeChanged, axis, [axis] { PlaceValueTicks(*axis); });
    // The first axis' grid lines are the plot's; more would come in near-pairs.
    axis->setGridLineVisible(a == 0);
    axis->setMinorGridLineVisible(false);
    addAxis(axis, a % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight);
    value_axes_.push_back(axis);
  }
  std::vector<std::pair<double, double>> extent(axes, {INFINITY, -INFINITY});
  for (const ChartSeries& s : data_.series) {
    const size_t a =
        shared ? 0
               : std::find(data_.units.begin(), data_.units.end(), s.unit) - data_.units.begin();
    series_axis_.push_back(value_axes_[a]);
    extent[a].first = std::min(extent[a].first, s.min_y);
    extent[a].second = std::max(extent[a].second, s.max_y);
  }
  for (size_t a = 0; a < axes; ++a) {
    const auto [low, high] = Padded(extent[a].first, extent[a].second);
    value_axes_[a]->setRange(low, high);
    value_axes_[a]->applyNiceNumbers();
    if (!std::isfinite(value_axes_[a]->max() - value_axes_[a]->min())) {
      value_axes_[a]->setRange(low, high);  // rounded out past what a double holds
    }
    PlaceValueTicks(*value_axes_[a]);
    whole_ranges_.emplace_back(value_axes_[a]->min(), value_axes_[a]->max());
  }

  // An axis that one series alone is drawn against takes its colour, so that it is plain which
  // line it measures.
  for (QValueAxis* axis : value_axes_) {
    if (std::count(series_axis_.begin(), series_axis_.end(), axis) != 1) continue;
    const QColor color =
        colors_[std::find(series_axis_.begin(), series_axis_.end(), axis) - series_axis_.begin()];
    axis->setLabelsColor(color);
    axis->setTitleBrush(color);
    axis->setLinePenColor(color);
  }

  // The legend's entries: series without points, which give the legend its colour and text
  // while the lines themselves are drawn by the lines item.
  for (size_t i = 0; i < count; ++i) {
    if (!in_legend[i]) continue;
    auto* entry = new QLineSeries(this);
    entry->setName(QString::fromStdString(data_.series[i].name));
    entry->setPen(QPen(colors_[i], 2, styles_[i]));
    addSeries(entry);
    entry->attachAxis(record_axis_);
    entry->attachAxis(series_axis_[i]);
  }
  if (count > kMaxLegendEntries) {
    auto* more = new QLineSeries(this);
    more->setName(tr("and %n more series", nullptr, static_cast<int>(count - kMaxLegendEntries)));
    more->setPen(QPen(Qt::transparent));
    addSeries(more);
    more->attachAxis(record_axis_);
    more->attachAxis(value_axes_.front());
  }
  // QChart zooms only the axes that a series is attached to: an axis whose series all fell
  // out of the legend gets an entry that the legend does not show.
  for (QValueAxis* axis : value_axes_) {
    const QList<QAbstractSeries*> all = series();
    if (std::none_of(all.begin(), all.end(),
                     [axis](QAbstractSeries* s) { return s->attachedAxes().contains(axis); })) {
      auto* anchor = new QLineSeries(this);
      addSeries(anchor);
      anchor->attachAxis(record_axis_);
      anchor->attachAxis(axis);
      for (QLegendMarker* marker : legend()->markers(anchor)) marker->setVisible(false);
    }
  }
  // At the right, one entry a line, the names are never cut short.
  legend()->setAlignment(Qt::AlignRight);
  // A line in the series' colour, and none for the entry that counts the others.
  legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
  setBackgroundRoundness(0);
  legend()->setVisible(count > 0);

  lines_ = new ReadingsLinesItem(this);
  connect(this, &QChart::plotAreaChanged, this, [this] { lines_->PlotAreaChanged(); });
  connect(record_axis_, &QValueAxis::rangeChanged, this, [this] { lines_->update(); });
  for (QValueAxis* axis : value_axes_) {
    connect(axis, &QValueAxis::rangeChanged, this, [this] { lines_->update(); });
  }
  // Zooming out and moving stop at the whole chart: beyond it there is nothing to show.
  for (size_t a = 0; a < whole_ranges_.size(); ++a) {
    QValueAxis* axis = a == 0 ? record_axis_ : value_axes_[a - 1];
    connect(axis, &QValueAxis::rangeChanged, this,
            [axis, whole = whole_ranges_[a]](qreal min, qreal max) {
              KeepWithin(*axis, min, max, whole);
            });
  }
}

QColor ReadingsChart::ChannelColor(int16_t channel) {
  const int colors = static_cast<int>(std::size(kChannelColors));
  const int at = channel % colors;
  return QColor(kChannelColors[at < 0 ? at + colors : at]);
}

void ReadingsChart::ShowFileName(const std::string& data_file) {
  setTitle(QFileInfo(QString::fromStdString(data_file)).fileName());
}

void ReadingsChart::ShowRangesOf(const ReadingsChart& other) {
  record_axis_->setRange(other.record_axis_->min(), other.record_axis_->max());
  for (size_t a = 0; a < value_axes_.size() && a < other.value_axes_.size(); ++a) {
    value_axes_[a]->setRange(other.value_axes_[a]->min(), other.value_axes_[a]->max());
  }
}

void SaveReadingsChart(ChartData data, const std::string& data_file, QSize size,
                       const QString& path, const ReadingsChart* shown) {
  QGraphicsScene scene;
  auto* chart = new ReadingsChart(std::move(data));
  chart->ShowFileName(data_file);
  SetChartSize(scene, *chart, size);
  if (shown != nullptr) chart->ShowRangesOf(*shown);
  SaveChartImage(*chart, path);
}

void ReadingsChart::SetTextFont(const QFont& font) {
  setFont(font);
  legend()->setFont(font);
  // The legend's markers keep the sizes of the font they were made with until their shape is set
  // again.
  legend()->setMarkerShape(QLegend::MarkerShapeRectangle);
  legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
  for (QAbstractAxis* axis : axes()) {
    axis->setLabelsFont(font);
    QFont title = font;
    title.setBold(axis->titleFont().bold());
    axis->setTitleFont(title);
  }
  lines_->SetFont(font);
}

void ReadingsChart::ShowWholeChart() {
  record_axis_->setRange(whole_ranges_[0].first, whole_ranges_[0].second);
  for (size_t a = 0; a < value_axes_.size(); ++a) {
    value_axes_[a]->setRange(whole_ranges_[a + 1].first, whole_ranges_[a + 1].second);
  }
}

}  // namespace rx
