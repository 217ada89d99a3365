#include "report/readings_report.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QGraphicsScene>
#include <QIODevice>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <optional>
#include <span>

#include "chart/chart_data.h"
#include "chart/chart_image.h"
#include "chart/readings_chart.h"
#include "data/record_texts.h"
#include "export/export_file.h"
#include "stats/reading_stats.h"
#include "stats/stats_table.h"

namespace rx {
namespace {

// Sizes in points: the writer's resolution is 72 dots an inch.
constexpr int kResolution = 72;
constexpr double kMargin = 42;
constexpr double kFooterHeight = 20;  // below the content, above the bottom margin
constexpr double kTextSize = 9;
constexpr double kSmallestTableText = 5;
constexpr double kHeadingSize = 11;
constexpr double kTitleSize = 15;
constexpr double kFooterSize = 8;
constexpr double kColumnGap = 10;
constexpr double kRowGap = 3;
constexpr double kBlockGap = 12;  // above each heading
constexpr double kChartHeight = 300;
// The chart is laid out at this many pixels a point of the page, so that its own texts (sized
// for a screen) come out at about the size of the report's.
constexpr double kChartPixelsPerPoint = 1.35;

const QString kFont = QStringLiteral("Liberation Sans");

QString Text(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QFont Font(double points, bool bold = false) {
  QFont font(kFont);
  font.setPointSizeF(points);
  font.setBold(bold);
  // The font's own advances, not ones fitted to a pixel grid: every system's font engine then
  // lays the report out alike.
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

// A QIODevice on the stream WriteExportFile gives, so that the PDF goes to its temporary file.
class StreamDevice : public QIODevice {
 public:
  explicit StreamDevice(std::ostream& out) : out_(out) { open(QIODevice::WriteOnly); }
  bool isSequential() const override { return true; }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 size) override {
    out_.write(data, static_cast<std::streamsize>(size));
    return out_ ? size : -1;
  }

 private:
  std::ostream& out_;
};

// The pages, top to bottom. Without a painter it only counts them, so that the painting pass,
// run through the same steps, knows "of m" from its first page.
class PageFlow {
 public:
  // `device` measures the texts; `painter`, when there is one, paints on it.
  PageFlow(QPdfWriter* device, QPainter* painter, QSizeF page, QString file_name, int pages)
      : writer_(device),
        painter_(painter),
        content_(kMargin, kMargin, page.width() - 2 * kMargin,
                 page.height() - 2 * kMargin - kFooterHeight),
        file_name_(std::move(file_name)),
        pages_(pages) {
    y_ = content_.top();
    Footer();
  }

  QPainter* Painter() const { return painter_; }
  QFontMetricsF Metrics(const QFont& font) const { return QFontMetricsF(font, writer_); }
  const QRectF& Content() const { return content_; }
  double Y() const { return y_; }
  void Advance(double height) { y_ += height; }
  int Page() const { return page_; }
  bool Fits(double height) const { return y_ + height <= content_.bottom() + 0.01; }
  // A new page unless `height` fits on this one below what is there.
  void Need(double height) {
    if (!Fits(height) && y_ > content_.top()) NewPage();
  }
  void NewPage() {
    if (painter_ != nullptr) writer_->newPage();
    ++page_;
    y_ = content_.top();
    Footer();
  }

 private:
  void Footer() {
    if (painter_ == nullptr) return;
    const QFont font = Font(kFooterSize);
    painter_->setFont(font);
    painter_->setPen(Qt::black);
    const QFontMetricsF metrics = Metrics(font);
    const double baseline = content_.bottom() + kFooterHeight + metrics.ascent();
    painter_->drawText(QPointF(content_.left(), baseline), file_name_);
    const QString page = QStringLiteral("Page %1 of %2").arg(page_).arg(pages_);
    painter_->drawText(QPointF(content_.right() - metrics.horizontalAdvance(page), baseline), page);
  }

  QPdfWriter* writer_;
  QPainter* painter_;
  QRectF content_;
  QString file_name_;
  int pages_;
  int page_ = 1;
  double y_ = 0;
};

// One line of text at the flow's position, starting a new page when it does not fit.
void Line(PageFlow& flow, const QString& text, const QFont& font, double gap_above = 0) {
  const QFontMetricsF metrics = flow.Metrics(font);
  flow.Need(gap_above + metrics.height());
  if (flow.Y() > flow.Content().top()) flow.Advance(gap_above);
  if (QPainter* painter = flow.Painter()) {
    painter->setFont(font);
    painter->setPen(Qt::black);
    painter->drawText(QPointF(flow.Content().left(), flow.Y() + metrics.ascent()), text);
  }
  flow.Advance(metrics.height() + kRowGap);
}

// A table's columns, measured on the texts it holds.
struct TableLayout {
  QFont font, header_font;
  std::vector<double> widths;
  std::vector<bool> right_aligned;
  double row_height = 0;
};

// Columns as wide as their widest text, which `measure` gives for a font's metrics, in a smaller
// type (down to a legible least) where they would not fit across the page's `width`.
TableLayout MeasureTable(QPaintDevice& device, std::vector<bool> right_aligned, double width,
                         const std::function<std::vector<double>(const QFontMetricsF&)>& measure) {
  TableLayout layout;
  layout.right_aligned = std::move(right_aligned);
  double size = kTextSize;
  for (;;) {
    layout.font = Font(size);
    layout.header_font = Font(size, true);
    const QFontMetricsF bold(layout.header_font, &device);
    layout.widths = measure(bold);  // bold is the wider of the two
    double total = kColumnGap * static_cast<double>(layout.widths.size() - 1);
    for (const double w : layout.widths) total += w;
    if (total <= width || size <= kSmallestTableText) break;
    size = std::max(kSmallestTableText, size * width / total * 0.98);
  }
  layout.row_height = QFontMetricsF(layout.header_font, &device).height() + kRowGap;
  return layout;
}

// Rows of a table down the pages, its header row again at the top of each page.
class TableFlow {
 public:
  TableFlow(PageFlow& flow, const TableLayout& layout, std::vector<QString> header)
      : flow_(flow),
        layout_(layout),
        header_(std::move(header)),
        metrics_(flow.Metrics(layout.font)),
        header_metrics_(flow.Metrics(layout.header_font)) {
    flow_.Need(2 * layout_.row_height);
    Header();
  }

  // In the counting pass `cells` may be empty: only the room is taken.
  void Row(std::span<const std::string> cells) {
    if (!flow_.Fits(layout_.row_height)) {
      flow_.NewPage();
      Header();
    }
    if (flow_.Painter() != nullptr && !cells.empty()) {
      flow_.Painter()->setFont(layout_.font);
      for (size_t c = 0; c < cells.size() && c < layout_.widths.size(); ++c) {
        Cell(c, Text(cells[c]), metrics_);
      }
    }
    flow_.Advance(layout_.row_height);
  }

 private:
  void Header() {
    if (QPainter* painter = flow_.Painter()) {
      painter->setFont(layout_.header_font);
      painter->setPen(Qt::black);
      for (size_t c = 0; c < header_.size(); ++c) Cell(c, header_[c], header_metrics_);
      const double under = flow_.Y() + layout_.row_height - kRowGap / 2;
      double right = flow_.Content().left() - kColumnGap;
      for (const double w : layout_.widths) right += w + kColumnGap;
      painter->setPen(QPen(Qt::gray, 0.5));
      painter->drawLine(QPointF(flow_.Content().left(), under), QPointF(right, under));
      painter->setPen(Qt::black);
    }
    flow_.Advance(layout_.row_height);
  }

  void Cell(size_t column, const QString& text, const QFontMetricsF& metrics) {
    QPainter& painter = *flow_.Painter();
    double x = flow_.Content().left();
    for (size_t c = 0; c < column; ++c) x += layout_.widths[c] + kColumnGap;
    const double width = layout_.widths[column];
    const double advance = metrics.horizontalAdvance(text);
    const double baseline = flow_.Y() + metrics.ascent();
    if (advance <= width + 0.01) {
      painter.drawText(QPointF(layout_.right_aligned[column] ? x + width - advance : x, baseline),
                       text);
    } else {  // wider than the page allows: cut at the column's edge
      painter.drawText(QRectF(x, flow_.Y(), width, layout_.row_height),
                       Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    }
  }

  PageFlow& flow_;
  const TableLayout& layout_;
  std::vector<QString> header_;
  QFontMetricsF metrics_, header_metrics_;
};

template <typename Columns>
std::vector<QString> Header(const Columns& columns) {
  std::vector<QString> header;
  for (const std::string_view column : columns) header.push_back(Text(column));
  return header;
}

// Widths of the widest of `rows` and the header, per column.
template <typename Rows, typename Columns>
std::vector<double> Widest(const QFontMetricsF& metrics, const Rows& rows, const Columns& columns,
                           double page_width) {
  std::vector<double> widths;
  for (const std::string_view column : columns) {
    widths.push_back(metrics.horizontalAdvance(Text(column)));
  }
  for (const auto& row : rows) {
    for (size_t c = 0; c < widths.size(); ++c) {
      widths[c] = std::max(widths[c], metrics.horizontalAdvance(Text(row[c])));
    }
  }
  for (double& w : widths) w = std::min(w, page_width);
  return widths;
}

// What the report shows, from one pass over the records.
struct Contents {
  std::string path;
  QString file_name;
  int32_t records = 0;
  ReadingStats stats;
  std::vector<StatsTexts> stats_rows;
  std::vector<SessionTexts> session_rows;
  std::optional<ChartData> chart;  // none when no reading has a value to draw
  RecordTexts longest;             // of each column of the records, the most characters
  std::vector<int16_t> channels;
};

Contents Gather(ReportRecords& records, const std::string& data_file,
                const ReportOptions& options) {
  Contents contents;
  contents.path = data_file;
  contents.file_name = QFileInfo(QString::fromStdString(data_file)).fileName();
  contents.channels = options.channels;
  const TextEncoding encoding = records.Encoding();
  ChartDataBuilder builder(options.channels);
  StatsAccumulator stats({.channels = options.channels});
  Reading reading;
  records.ForEach([&](const StoredRecord& record) {
    ++contents.records;
    ToReading(record, contents.records, encoding, reading);
    builder.Add(reading);
    stats.Add(reading);
    const RecordTexts cells = RecordCells(record, contents.records, encoding);
    for (size_t c = 0; c < cells.size(); ++c) {
      if (CharacterCount(cells[c]) > CharacterCount(contents.longest[c])) {
        contents.longest[c] = cells[c];
      }
    }
  });
  contents.stats = stats.Result();
  contents.stats_rows = StatsRows(contents.stats, FigurePadding::kFigureSpaces);
  for (const SessionStats& s : contents.stats.sessions) {
    contents.session_rows.push_back(SessionCells(s));
  }
  ChartData data = builder.Finish();
  if (!data.series.empty()) contents.chart = std::move(data);
  return contents;
}

QString Counted(int64_t count, const char* one, const char* many) {
  return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

QString ChannelList(const std::vector<int16_t>& channels) {
  QStringList list;
  for (const int16_t channel : channels) list.append(QString::number(channel));
  return list.join(QStringLiteral(", "));
}

// The layouts of the three tables, measured once for both passes.
struct Layouts {
  TableLayout stats, sessions, records;
};

Layouts Measure(QPaintDevice& device, const Contents& contents, double width) {
  Layouts layouts;
  std::vector<bool> stats_right(kStatsColumns.size(), true);
  stats_right[0] = false;
  layouts.stats = MeasureTable(device, stats_right, width, [&](const QFontMetricsF& metrics) {
    return Widest(metrics, contents.stats_rows, kStatsColumns, width);
  });
  layouts.sessions =
      MeasureTable(device, {true, false, true}, width, [&](const QFontMetricsF& metrics) {
        return Widest(metrics, contents.session_rows, kSessionColumns, width);
      });
  // The record's texts differ in width by their characters a little: a tenth more room.
  layouts.records =
      MeasureTable(device, {true, true, true, false}, width, [&](const QFontMetricsF& m) {
        std::vector<double> widths =
            Widest(m, std::vector<RecordTexts>{contents.longest}, kRecordColumns, width);
        for (double& w : widths) w = std::min(w * 1.1 + 2, width);
        return widths;
      });
  return layouts;
}

// Lays out (and, with a painter, paints) every page: page 1, then the records. `records` is
// null in the counting pass, which needs no record's texts.
void LayOut(PageFlow& flow, const Contents& contents, const Layouts& layouts, ReadingsChart* chart,
            ReportRecords* records) {
  Line(flow, contents.file_name, Font(kTitleSize, true));
  QString summary =
      Counted(contents.records, "record", "records") + QStringLiteral(", ") +
      Counted(static_cast<int64_t>(contents.stats.sessions.size()), "session", "sessions");
  if (!contents.channels.empty()) {
    summary +=
        QStringLiteral("; statistics and chart of channel ") + ChannelList(contents.channels);
  }
  Line(flow, summary, Font(kTextSize));

  Line(flow, QStringLiteral("Statistics"), Font(kHeadingSize, true), kBlockGap);
  {
    TableFlow table(flow, layouts.stats, Header(kStatsColumns));
    for (const StatsTexts& row : contents.stats_rows) table.Row(row);
  }

  if (chart != nullptr) {
    flow.Need(kBlockGap + kChartHeight);
    flow.Advance(kBlockGap);
    if (QPainter* painter = flow.Painter()) {
      painter->save();
      RenderChart(*chart, *painter,
                  QRectF(flow.Content().left(), flow.Y(), flow.Content().width(), kChartHeight));
      painter->restore();
    }
    flow.Advance(kChartHeight);
  } else {
    Line(flow, QStringLiteral("No readings with a value to plot"), Font(kTextSize), kBlockGap);
  }

  Line(flow, QStringLiteral("Sessions"), Font(kHeadingSize, true), kBlockGap);
  {
    TableFlow table(flow, layouts.sessions, Header(kSessionColumns));
    for (const SessionTexts& row : contents.session_rows) table.Row(row);
  }

  if (contents.records == 0) return;
  flow.NewPage();
  Line(flow, QStringLiteral("Readings"), Font(kHeadingSize, true));
  TableFlow table(flow, layouts.records, Header(kRecordColumns));
  if (records == nullptr) {
    for (int32_t i = 0; i < contents.records; ++i) table.Row({});
    return;
  }
  const TextEncoding encoding = records->Encoding();
  int32_t number = 0;
  // The file is read again: a record that is not one now (the file changed) ends the report
  // with the reader's message, and no file.
  records->ForEach([&](const StoredRecord& record) {
    if (++number > contents.records) return;  // grown since: the report is of what was counted
    table.Row(RecordCells(record, number, encoding));
  });
  if (number < contents.records) {
    throw DataFileError("Cannot read data file " + contents.path +
                        ": it lost records while the "
                        "report was made");
  }
}

}  // namespace

QPageSize::PageSizeId DefaultPaper() {
  return QLocale().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                    : QPageSize::A4;
}

void DataFileRecords::ForEach(const std::function<void(const StoredRecord&)>& each) {
  reader_.Rewind();
  StoredRecord record;
  while (reader_.Next(record)) each(record);
}

void RecordsInMemory::ForEach(const std::function<void(const StoredRecord&)>& each) {
  for (const StoredRecord& record : records_) each(record);
}

ReportOutcome WriteReport(ReportRecords& records, const std::string& data_file,
                          const std::string& output, const ReportOptions& options) {
  try {
    const Contents contents = Gather(records, data_file, options);
    const QPageSize paper(options.paper);
    const QSizeF page = paper.size(QPageSize::Point);

    QGraphicsScene scene;
    ReadingsChart* chart = nullptr;
    if (contents.chart) {
      chart = new ReadingsChart(*contents.chart);
      const double width = page.width() - 2 * kMargin;
      SetChartSize(scene, *chart,
                   QSize(static_cast<int>(width * kChartPixelsPerPoint),
                         static_cast<int>(kChartHeight * kChartPixelsPerPoint)));
    }

    ReportOutcome outcome;
    outcome.records = contents.records;
    outcome.problem = WriteExportFile(output, [&](std::ostream& out) {
      StreamDevice device(out);
      QPdfWriter writer(&device);
      writer.setResolution(kResolution);
      writer.setPageSize(paper);
      writer.setPageMargins(QMarginsF(0, 0, 0, 0));
      writer.setTitle(contents.file_name);
      writer.setCreator(QStringLiteral("RX7731"));
      const Layouts layouts = Measure(writer, contents, page.width() - 2 * kMargin);

      PageFlow counting(&writer, nullptr, page, contents.file_name, 0);
      LayOut(counting, contents, layouts, chart, nullptr);

      QPainter painter(&writer);
      PageFlow flow(&writer, &painter, page, contents.file_name, counting.Page());
      LayOut(flow, contents, layouts, chart, &records);
      painter.end();
      outcome.pages = flow.Page();
    });
    return outcome;
  } catch (const DataFileError& e) {
    return {e.what()};
  }
}

}  // namespace rx
