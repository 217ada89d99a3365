// The chart drawn by Qt Charts and written as SVG and PNG, on Qt's offscreen platform.
#include "chart/chart_image.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QGraphicsScene>
#include <QImage>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <cmath>
#include <map>
#include <vector>

#include "chart/readings_chart.h"

namespace rx {
namespace {

ChartData TwoChannels() {
  const std::vector<StoredRecord> records = {
      {"231207093015", "Time", 0}, {"1.5", "V         ", 1},    {"20", "A         ", 2},
      {"2.5", "V         ", 1},    {"999999", "V         ", 1}, {"3", "V         ", 1},
      {"21", "A         ", 2},     {"2", "V         ", 1},
  };
  return BuildChartData(ToReadings(records, TextEncoding::kCp1252));
}

// The lines of an SVG's <path> elements drawn with no fill (each move in a path's data starts
// one), counted by stroke colour, which an element takes from its own attributes or from the
// nearest enclosing group's.
std::map<QString, int> LinePathsByColor(const QByteArray& svg, QString* error) {
  std::map<QString, int> paths;
  QXmlStreamReader xml(svg);
  std::vector<std::pair<QString, QString>> inherited = {{"", ""}};  // stroke, fill
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement()) {
      auto [stroke, fill] = inherited.back();
      const QXmlStreamAttributes attributes = xml.attributes();
      if (attributes.hasAttribute("stroke")) stroke = attributes.value("stroke").toString();
      if (attributes.hasAttribute("fill")) fill = attributes.value("fill").toString();
      inherited.emplace_back(stroke, fill);
      if (xml.name() == QLatin1String("path") && fill == "none") {
        paths[stroke] += static_cast<int>(attributes.value("d").count(u'M'));
      }
    } else if (xml.isEndElement()) {
      inherited.pop_back();
    }
  }
  if (xml.hasError()) *error = xml.errorString();
  return paths;
}

TEST(ChartImageTest, SvgIsWellFormedWithOneLinePerRun) {
  QGraphicsScene scene;
  auto* chart = new ReadingsChart(TwoChannels());
  SetChartSize(scene, *chart, kDefaultChartSize);
  const QByteArray svg = ChartSvg(*chart, "two channels");
  QString error;
  const std::map<QString, int> paths = LinePathsByColor(svg, &error);
  EXPECT_EQ(error, "");
  ASSERT_EQ(chart->Data().series.size(), 2u);
  // Channel 1's no-digits reading splits its line in two; channel 2 is one line.
  const int runs[] = {2, 1};
  for (size_t i = 0; i < 2; ++i) {
    ASSERT_EQ(chart->Data().series[i].runs.size(), size_t(runs[i]));
    const auto it = paths.find(chart->SeriesColor(i).name());
    EXPECT_EQ(it == paths.end() ? 0 : it->second, runs[i]) << chart->Data().series[i].name;
  }
}

TEST(ChartImageTest, SavedImageHasTheSizeAsked) {
  QTemporaryDir dir;
  for (const QSize size : {kDefaultChartSize, QSize(333, 222)}) {
    for (const char* name : {"chart.png", "chart.SVG"}) {
      SCOPED_TRACE(testing::Message() << name << " " << size.width() << "x" << size.height());
      QGraphicsScene scene;
      auto* chart = new ReadingsChart(TwoChannels());
      SetChartSize(scene, *chart, size);
      const QString path = dir.filePath(name);
      SaveChartImage(*chart, path);
      QFile file(path);
      ASSERT_TRUE(file.open(QIODevice::ReadOnly));
      const QByteArray bytes = file.readAll();
      if (QString(name).endsWith(".png")) {
        const QImage image = QImage::fromData(bytes, "PNG");
        EXPECT_EQ(image.size(), size);
      } else {
        QXmlStreamReader xml(bytes);
        xml.readNextStartElement();
        EXPECT_EQ(xml.name(), QLatin1String("svg"));
        EXPECT_EQ(xml.attributes().value("viewBox").toString(),
                  QString("0 0 %1 %2").arg(size.width()).arg(size.height()));
      }
    }
  }
}

// What the window's plot window relies on: QChart's zoom moves every axis the lines are drawn
// against, even one whose series is not in the legend, and ShowWholeChart undoes it.
TEST(ReadingsChartTest, ZoomsEveryAxisAndGoesBackToTheWholeChart) {
  std::vector<StoredRecord> records;
  for (int16_t channel = 1; channel <= 20; ++channel) {
    records.push_back({"1", "V         ", channel});
    records.push_back({"3", "V         ", channel});
  }
  records.push_back({"100", "A         ", 21});  // too few readings for the legend
  QGraphicsScene scene;
  auto* chart = new ReadingsChart(BuildChartData(ToReadings(records, TextEncoding::kCp1252)));
  SetChartSize(scene, *chart, kDefaultChartSize);
  std::vector<QValueAxis*> axes = {chart->RecordAxis()};
  for (size_t i = 0; i < chart->Data().series.size(); ++i) {
    if (std::find(axes.begin(), axes.end(), chart->ValueAxis(i)) == axes.end()) {
      axes.push_back(chart->ValueAxis(i));
    }
  }
  ASSERT_EQ(axes.size(), 3u);
  std::vector<std::pair<double, double>> whole;
  for (const QValueAxis* axis : axes) whole.emplace_back(axis->min(), axis->max());

  // Only the first value axis draws grid lines.
  EXPECT_TRUE(axes[1]->isGridLineVisible());
  EXPECT_FALSE(axes[2]->isGridLineVisible());

  const QRectF plot = chart->plotArea();
  chart->zoomIn(QRectF(plot.center() + QPointF(3.7, 1.3), plot.size() / 4.3));
  for (size_t a = 0; a < axes.size(); ++a) {
    EXPECT_LT(axes[a]->max() - axes[a]->min(), (whole[a].second - whole[a].first) / 2) << a;
    // Ticks on whole multiples of a round step, each label telling its tick from the next.
    const double step = axes[a]->tickInterval(), first = std::ceil(axes[a]->min() / step) * step;
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
    EXPECT_TRUE(std::abs(mantissa - std::round(mantissa)) < 1e-9 &&
                QList<double>({1, 2, 5}).contains(std::round(mantissa)))
        << a << ": " << step;
    EXPECT_NEAR(std::remainder(axes[a]->tickAnchor(), step), 0, step * 1e-9) << a;
    const QByteArray format = axes[a]->labelFormat().toLatin1();
    EXPECT_NE(QString::asprintf(format, first), QString::asprintf(format, first + step)) << a;
  }
  chart->ShowWholeChart();
  for (size_t a = 0; a < axes.size(); ++a) {
    EXPECT_EQ(std::pair(axes[a]->min(), axes[a]->max()), whole[a]) << a;
  }

  // Zooming out and moving stop at the whole chart.
  for (const bool zoom_out : {true, false}) {
    chart->ShowWholeChart();
    if (zoom_out) {
      chart->zoomOut();
    } else {
      chart->zoomIn(QRectF(plot.topLeft(), plot.size() / 2));
      chart->scroll(-10 * plot.width(), -10 * plot.height());
    }
    for (size_t a = 0; a < axes.size(); ++a) {
      EXPECT_EQ(axes[a]->min(), whole[a].first) << zoom_out << ", axis " << a;
      EXPECT_LE(axes[a]->max(), whole[a].second) << zoom_out << ", axis " << a;
    }
  }
}

// A channel keeps its colour whichever series come first or have the most readings; its second
// unit is a dashed line of that colour.
TEST(ReadingsChartTest, AChannelHasTheSameColourInEveryChart) {
  const std::vector<StoredRecord> records = {{"2", "A         ", 2},
                                             {"3", "A         ", 2},
                                             {"1", "V         ", 1},
                                             {"5", "mV        ", 1}};
  ReadingsChart two(TwoChannels());  // ch 1 V, ch 2 A
  ReadingsChart other(BuildChartData(ToReadings(records, TextEncoding::kCp1252)));
  ASSERT_EQ(other.Data().series[1].name, "ch 1 mV");
  EXPECT_EQ(std::vector({other.SeriesColor(0), other.SeriesColor(1), other.SeriesColor(2)}),
            std::vector({two.SeriesColor(0), two.SeriesColor(0), two.SeriesColor(1)}));
  EXPECT_EQ(std::vector({other.SeriesLineStyle(0), other.SeriesLineStyle(1)}),
            std::vector({Qt::SolidLine, Qt::DashLine}));
}

}  // namespace
}  // namespace rx
