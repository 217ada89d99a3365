#include "window/plot_window.h"

#include <QChartView>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "chart/chart_data.h"
#include "chart/chart_image.h"
#include "chart/readings_chart.h"
#include "data/file_names.h"
#include "data/readings.h"
#include "window/chart_readout.h"
#include "window/statistics_table.h"

namespace rx {

// The chart on the screen: a dragged rectangle zooms into it (Qt's rubber band), the mouse wheel
// zooms around the point under it, + and - zoom, the arrow keys move, Home shows it whole. The
// readout follows the pointer over it.
class ReadingsChartView : public QChartView {
 public:
  ReadingsChartView(ReadingsChart* chart, QWidget* parent)
      : QChartView(chart, parent), chart_(chart), readout_(*chart) {
    setRenderHint(QPainter::Antialiasing);
    setRubberBand(QChartView::RectangleRubberBand);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    connect(chart->RecordAxis(), &QValueAxis::rangeChanged, this, [this] { readout_.Refresh(); });
    connect(chart, &QChart::plotAreaChanged, this, [this] { readout_.Refresh(); });
  }

  ChartReadout& Readout() { return readout_; }

  // Zooms in (`factor` above 1) or out around `at`, in the chart's coordinates, which stays
  // where it is.
  void ZoomAround(QPointF at, double factor) {
    const QRectF plot = chart_->plotArea();
    QRectF shown(0, 0, plot.width() / factor, plot.height() / factor);
    shown.moveCenter(at + (plot.center() - at) / factor);
    chart_->zoomIn(shown);
  }

 protected:
  void mouseMoveEvent(QMouseEvent* event) override {
    readout_.PointAt(chart_->mapFromScene(mapToScene(event->position().toPoint())));
    QChartView::mouseMoveEvent(event);
  }
  bool viewportEvent(QEvent* event) override {
    if (event->type() == QEvent::Leave) readout_.Hide();
    return QChartView::viewportEvent(event);
  }
  void wheelEvent(QWheelEvent* event) override {
    const double steps = event->angleDelta().y() / 120.0;
    if (steps != 0) {
      ZoomAround(chart_->mapFromScene(mapToScene(event->position().toPoint())),
                 std::pow(1.25, steps));
    }
    event->accept();
  }
  void keyPressEvent(QKeyEvent* event) override {
    const QRectF plot = chart_->plotArea();
    switch (event->key()) {
      case Qt::Key_Plus:
      case Qt::Key_Equal:
        ZoomAround(plot.center(), 1.25);
        break;
      case Qt::Key_Minus:
        ZoomAround(plot.center(), 0.8);
        break;
      case Qt::Key_Left:
        chart_->scroll(-plot.width() / 10, 0);
        break;
      case Qt::Key_Right:
        chart_->scroll(plot.width() / 10, 0);
        break;
      case Qt::Key_Up:
        chart_->scroll(0, plot.height() / 10);
        break;
      case Qt::Key_Down:
        chart_->scroll(0, -plot.height() / 10);
        break;
      case Qt::Key_Home:
        chart_->ShowWholeChart();
        break;
      default:
        QChartView::keyPressEvent(event);
        return;
    }
    event->accept();
  }

 private:
  ReadingsChart* chart_;
  ChartReadout readout_;
};

PlotWindow::PlotWindow(const ShownRecords& shown, FileDialogs& dialogs, MessageBox& messages,
                       QWidget* parent)
    : QWidget(parent, Qt::Window), path_(shown.path), dialogs_(dialogs), messages_(messages) {
  setObjectName(QStringLiteral("PlotWindow"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Readings of %1").arg(QString::fromStdString(path_)));
  readings_ = ToReadings(shown.records, shown.encoding);
  chart_ = new ReadingsChart(BuildChartData(readings_));
  chart_->ShowFileName(path_);
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
  statistics_ = new StatisticsTable(this);
  // Worked out again once a zoom or a move has settled, so that the wheel and the keys stay
  // quick however many readings there are.
  statistics_timer_ = new QTimer(this);
  statistics_timer_->setSingleShot(true);
  statistics_timer_->setInterval(kStatisticsDelayMs);
  connect(statistics_timer_, &QTimer::timeout, this, &PlotWindow::UpdateStatistics);
  connect(chart_->RecordAxis(), &QValueAxis::rangeChanged, statistics_timer_,
          qOverload<>(&QTimer::start));
  UpdateStatistics();

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(view_, 1);
  layout->addWidget(statistics_);
  resize(kDefaultChartSize + QSize(0, statistics_->sizeHint().height()));
  view_->setFocus();
}

std::optional<std::pair<int32_t, int32_t>> PlotWindow::RecordsInView() const {
  const ChartData& data = chart_->Data();
  if (readings_.empty()) return std::nullopt;
  const QValueAxis* axis = chart_->RecordAxis();
  const double first = std::max(std::ceil(axis->min()), data.first_x);
  const double last = std::min(std::floor(axis->max()), data.last_x);
  if (first > last) return std::nullopt;
  return std::pair(static_cast<int32_t>(first), static_cast<int32_t>(last));
}

void PlotWindow::UpdateStatistics() {
  statistics_timer_->stop();
  const auto records = RecordsInView();
  ReadingStats stats;
  if (records) {
    StatsOptions range;
    range.first = records->first;
    range.last = records->second;
    stats = ComputeStats(readings_, range);
  }
  statistics_->Show(stats, records, *chart_);
}

QChartView& PlotWindow::View() const { return *view_; }

const ChartReadout& PlotWindow::Readout() const { return view_->Readout(); }

void PlotWindow::ShowWholeChart() { chart_->ShowWholeChart(); }

void PlotWindow::SaveImage() {
  const std::string path = dialogs_.SaveImage(NameBeside(path_, ".png"));
  if (path.empty()) return;
  try {
    SaveReadingsChart(chart_->Data(), path_, kDefaultChartSize, QString::fromStdString(path),
                      chart_);
  } catch (const ChartImageError& e) {
    messages_.Inform(e.what());
  }
}

}  // namespace rx
