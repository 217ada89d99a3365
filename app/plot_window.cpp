#include "app/plot_window.h"

#include <QChartView>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QRubberBand>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>

#include "chart/chart_data.h"
#include "chart/chart_image.h"
#include "chart/readings_chart.h"
#include "data/readings.h"

namespace rx {

// The chart on the screen, zoomed by a dragged rectangle, the mouse wheel or the keyboard. The
// chart's lines follow its axes, so zooming sets the axes' ranges.
class ReadingsChartView : public QChartView {
 public:
  explicit ReadingsChartView(ReadingsChart* chart, QWidget* parent)
      : QChartView(chart, parent), chart_(chart), band_(QRubberBand::Rectangle, this) {
    setRenderHint(QPainter::Antialiasing);
    setFocusPolicy(Qt::StrongFocus);
  }

  // Shows the part of the plot area between the fractions `from` and `to` of its width and
  // height (0 to 1, from the top-left corner).
  void ZoomTo(QPointF from, QPointF to) {
    auto set = [](QValueAxis* axis, double low, double high) {
      const double min = axis->min(), span = axis->max() - axis->min();
      if (high - low <= 0) return;
      axis->setRange(min + low * span, min + high * span);
    };
    set(chart_->RecordAxis(), from.x(), to.x());
    std::set<QValueAxis*> value_axes;
    for (size_t i = 0; i < chart_->Data().series.size(); ++i) {
      value_axes.insert(chart_->ValueAxis(i));
    }
    // The vertical fractions count from the top, the values from the bottom.
    for (QValueAxis* axis : value_axes) set(axis, 1 - to.y(), 1 - from.y());
  }

  // Zooms in (`factor` above 1) or out around the point `at` of the plot area, which stays where
  // it is.
  void ZoomAround(QPointF at, double factor) {
    const QRectF plot = chart_->plotArea();
    const double fx = std::clamp((at.x() - plot.left()) / plot.width(), 0.0, 1.0);
    const double fy = std::clamp((at.y() - plot.top()) / plot.height(), 0.0, 1.0);
    ZoomTo({fx - fx / factor, fy - fy / factor},
           {fx + (1 - fx) / factor, fy + (1 - fy) / factor});
  }

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && chart_->plotArea().contains(event->position())) {
      origin_ = event->position().toPoint();
      band_.setGeometry(QRect(origin_, QSize()));
      band_.show();
    }
    event->accept();
  }
  void mouseMoveEvent(QMouseEvent* event) override {
    if (band_.isVisible()) {
      band_.setGeometry(QRect(origin_, event->position().toPoint()).normalized());
    }
    event->accept();
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (!band_.isVisible()) return;
    band_.hide();
    const QRectF plot = chart_->plotArea();
    const QRectF chosen = QRectF(band_.geometry()).intersected(plot);
    if (chosen.width() < 4 || chosen.height() < 4) return;  // a click, not a rectangle
    ZoomTo(QPointF((chosen.left() - plot.left()) / plot.width(),
                   (chosen.top() - plot.top()) / plot.height()),
           QPointF((chosen.right() - plot.left()) / plot.width(),
                   (chosen.bottom() - plot.top()) / plot.height()));
    event->accept();
  }
  void wheelEvent(QWheelEvent* event) override {
    const double steps = event->angleDelta().y() / 120.0;
    if (steps != 0) ZoomAround(event->position(), std::pow(1.25, steps));
    event->accept();
  }
  void keyPressEvent(QKeyEvent* event) override {
    const QPointF centre = chart_->plotArea().center();
    switch (event->key()) {
      case Qt::Key_Plus:
      case Qt::Key_Equal:
        ZoomAround(centre, 1.25);
        break;
      case Qt::Key_Minus:
        ZoomAround(centre, 0.8);
        break;
      case Qt::Key_Left:
        ZoomTo({-0.1, 0}, {0.9, 1});
        break;
      case Qt::Key_Right:
        ZoomTo({0.1, 0}, {1.1, 1});
        break;
      case Qt::Key_Up:
        ZoomTo({0, -0.1}, {1, 0.9});
        break;
      case Qt::Key_Down:
        ZoomTo({0, 0.1}, {1, 1.1});
        break;
      default:
        QChartView::keyPressEvent(event);
        return;
    }
    event->accept();
  }

 private:
  ReadingsChart* chart_;
  QRubberBand band_;
  QPoint origin_;
};

namespace {

QString Decoded(const std::string& path) { return QFile::decodeName(path.c_str()); }

}  // namespace

PlotWindow::PlotWindow(const ShownRecords& shown, FileDialogs& dialogs, MessageBox& messages,
                       QWidget* parent)
    : QWidget(parent, Qt::Window), path_(shown.path), dialogs_(dialogs), messages_(messages) {
  setObjectName(QStringLiteral("PlotWindow"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Readings of %1").arg(Decoded(path_)));
  chart_ = new ReadingsChart(BuildChartData(ToReadings(shown.records, shown.encoding)));
  view_ = new ReadingsChartView(chart_, this);
  view_->setObjectName(QStringLiteral("ChartView"));

  whole_ = new QPushButton(QStringLiteral("Whole Chart"), this);
  whole_->setObjectName(QStringLiteral("WholeChart"));
  connect(whole_, &QPushButton::clicked, this, &PlotWindow::ShowWholeChart);
  save_ = new QPushButton(QStringLiteral("Save Image..."), this);
  save_->setObjectName(QStringLiteral("SaveImage"));
  connect(save_, &QPushButton::clicked, this, &PlotWindow::SaveImage);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(whole_);
  buttons->addWidget(save_);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(view_, 1);
  resize(kDefaultChartSize);
  view_->setFocus();
}

void PlotWindow::ShowWholeChart() { chart_->ShowWholeChart(); }

void PlotWindow::SaveImage() {
  const std::string proposed =
      std::filesystem::path(path_).replace_extension(".png").string();
  const std::string path = dialogs_.SaveImage(proposed);
  if (path.empty()) return;
  try {
    SaveChartImage(*chart_, Decoded(path));
  } catch (const ChartImageError& e) {
    messages_.Inform(e.what());
  }
}

}  // namespace rx
