#include "report/readings_report.h"

#include <QDateTime>
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
#include <unordered_set>

#include "chart/chart_data.h"
#include "chart/chart_image.h"
#include "chart/readings_chart.h"
#include "data/readings.h"
#include "data/record_texts.h"
#include "export/export_file.h"
#include "report/table_text.h"
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
// The records in the footer's size, their columns closer, so that three blocks of them fit
// across A4 or Letter.
constexpr double kRecordTextSize = 8;
constexpr double kRecordColumnGap = 6;
constexpr double kRowGap = 3;
constexpr double kBlockGap = 12;  // above each heading
constexpr double kChartHeight = 300;
constexpr double kBlockSpacing = 12;   // the least room between blocks of records side by side
constexpr double kFooterSpacing = 12;  // the least room between the file's name and the page's
// The chart is laid out at this many pixels a point of the page, its texts in pixels too, so
// that no screen's resolution changes them.
constexpr double kChartPixelsPerPoint = 1.35;
constexpr int kChartTextPixels = 12;

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

// `text`, or where it is wider than `width` its start and end with "…" between them, so that a
// file's name keeps its extension.
QString Shortened(const QFontMetricsF& metrics, const QString& text, double width) {
  if (metrics.horizontalAdvance(text) <= width) return text;
  return metrics.elidedText(text, Qt::ElideMiddle, std::max(0.0, width));
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
  const QPaintDevice& Device() const { return *writer_; }
  const QRectF& Content() const { return content_; }
  double Y() const { return y_; }
  void Advance(double height) { y_ += height; }
  void BackTo(double y) { y_ = y; }
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
    const QString page = QStringLiteral("Page %1 of %2").arg(page_).arg(pages_);
    const double page_width = metrics.horizontalAdvance(page);
    painter_->drawText(
        QPointF(content_.left(), baseline),
        Shortened(metrics, file_name_, content_.width() - page_width - kFooterSpacing));
    painter_->drawText(QPointF(content_.right() - page_width, baseline), page);
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
    painter->drawText(QPointF(flow.Content().left(), flow.Y() + metrics.ascent()),
                      Shortened(metrics, text, flow.Content().width()));
  }
  flow.Advance(metrics.height() + kRowGap);
}

// A table's columns, measured on the texts it holds.
struct TableLayout {
  QFont font, header_font;
  std::vector<double> widths;
  std::vector<bool> right_aligned;
  double gap = kColumnGap;
  double row_height = 0;

  double Width() const {
    double total = gap * static_cast<double>(widths.size() - 1);
    for (const double w : widths) total += w;
    return total;
  }
};

// Columns as wide as their widest text, which `measure` gives for the header's and the cells'
// metrics, in a smaller type (down to a legible least) where they would not fit across the
// page's `width`.
TableLayout MeasureTable(
    QPaintDevice& device, std::vector<bool> right_aligned, double width,
    const std::function<std::vector<double>(const TableText&, const TableText&)>& measure,
    double size = kTextSize, double gap = kColumnGap) {
  TableLayout layout;
  layout.right_aligned = std::move(right_aligned);
  layout.gap = gap;
  for (;;) {
    layout.font = Font(size);
    layout.header_font = Font(size, true);
    layout.widths = measure(TableText(layout.header_font, device), TableText(layout.font, device));
    const double total = layout.Width();
    if (total <= width || size <= kSmallestTableText) break;
    size = std::max(kSmallestTableText, size * width / total * 0.98);
  }
  layout.row_height = QFontMetricsF(layout.header_font, &device).height() + kRowGap;
  return layout;
}

// How many blocks of a table side by side fit across `width`; one at least.
int BlocksAcross(const TableLayout& layout, double width) {
  const double across = (width + kBlockSpacing) / (layout.Width() + kBlockSpacing);
  return std::max(1, static_cast<int>(std::floor(across + 1e-9)));
}

// Rows of a table down the pages, in `blocks` side by side across each page: down the first
// block, then the next, then a new page; the header row at the top of each block.
class TableFlow {
 public:
  TableFlow(PageFlow& flow, const TableLayout& layout, std::vector<QString> header, int blocks = 1)
      : flow_(flow),
        layout_(layout),
        header_(std::move(header)),
        text_(layout.font, flow.Device()),
        header_text_(layout.header_font, flow.Device()),
        blocks_(blocks),
        pitch_(blocks > 1 ? (flow.Content().width() - layout.Width()) / (blocks - 1) : 0) {
    flow_.Need(2 * layout_.row_height);
    top_ = flow_.Y();
    Header();
  }

  ~TableFlow() { Flush(); }

  // In the counting pass `cells` may be empty: only the room is taken.
  void Row(std::span<const std::string> cells) {
    if (!flow_.Fits(layout_.row_height)) {
      if (++block_ == blocks_) {
        Flush();
        flow_.NewPage();
        block_ = 0;
        top_ = flow_.Y();
      } else {
        flow_.BackTo(top_);
      }
      Header();
    }
    if (flow_.Painter() != nullptr && !cells.empty()) {
      flow_.Painter()->setFont(layout_.font);
      for (size_t c = 0; c < cells.size() && c < layout_.widths.size(); ++c) {
        Cell(c, Text(cells[c]), text_);
      }
    }
    flow_.Advance(layout_.row_height);
  }

 private:
  double Left() const { return flow_.Content().left() + block_ * pitch_; }

  void Flush() {
    if (QPainter* painter = flow_.Painter()) {
      text_.Flush(*painter);
      header_text_.Flush(*painter);
    }
  }

  void Header() {
    if (QPainter* painter = flow_.Painter()) {
      painter->setFont(layout_.header_font);
      painter->setPen(Qt::black);
      for (size_t c = 0; c < header_.size(); ++c) Cell(c, header_[c], header_text_);
      const double under = flow_.Y() + layout_.row_height - kRowGap / 2;
      painter->setPen(QPen(Qt::gray, 0.5));
      painter->drawLine(QPointF(Left(), under), QPointF(Left() + layout_.Width(), under));
      painter->setPen(Qt::black);
    }
    flow_.Advance(layout_.row_height);
  }

  void Cell(size_t column, const QString& text, TableText& font) {
    QPainter& painter = *flow_.Painter();
    double x = Left();
    for (size_t c = 0; c < column; ++c) x += layout_.widths[c] + layout_.gap;
    const double width = layout_.widths[column];
    // Trailing blanks take no room that shows. Columns are as wide as their widest text; only
    // one wider than the page is shortened.
    QString shown = text;
    while (shown.endsWith(QLatin1Char(' '))) shown.chop(1);
    double advance = font.Advance(shown);
    if (advance > width + 0.01) {
      shown = font.Metrics().elidedText(shown, Qt::ElideRight, width);
      advance = font.Advance(shown);
    }
    font.Draw(painter,
              QPointF(layout_.right_aligned[column] ? x + width - advance : x,
                      flow_.Y() + font.Metrics().ascent()),
              shown);
  }

  PageFlow& flow_;
  const TableLayout& layout_;
  std::vector<QString> header_;
  TableText text_, header_text_;
  int blocks_;
  double pitch_;  // from one block's left edge to the next one's
  int block_ = 0;
  double top_ = 0;  // of the blocks on this page
};

template <typename Columns>
std::vector<QString> Header(const Columns& columns) {
  std::vector<QString> header;
  for (const std::string_view column : columns) header.push_back(Text(column));
  return header;
}

// Widths of the widest of `rows` and the header, per column.
template <typename Rows, typename Columns>
std::vector<double> Widest(const TableText& header, const TableText& cells, const Rows& rows,
                           const Columns& columns, double page_width) {
  std::vector<double> widths;
  for (const std::string_view column : columns) widths.push_back(header.Advance(Text(column)));
  for (const auto& row : rows) {
    for (size_t c = 0; c < widths.size(); ++c) {
      widths[c] = std::max(widths[c], cells.Advance(Text(row[c])));
    }
  }
  for (double& w : widths) w = std::min(w, page_width);
  return widths;
}

// A file's sessions as page 1 lists them: each time record starts one, and the records before
// the first time record, if any, make one without a start.
inline constexpr std::array<std::string_view, 5> kReportSessionColumns = {
    "Session", "Started", "First No.", "Last No.", "Readings"};
using ReportSessionTexts = std::array<std::string, kReportSessionColumns.size()>;

struct ReportSession {
  std::string started;  // as a person reads it, or the stored text where it is no time
  int32_t first = 0, last = 0;
  int32_t readings = 0;
};

// A time record's text as a person reads it; the stored text, made visible, where it is no
// real date and time.
std::string StartText(const std::string& time_text, TextEncoding encoding) {
  return ReadableTime(time_text).value_or(VisibleText(ToUtf8(time_text, encoding)));
}

// What the report shows, from one pass over the records.
struct Contents {
  std::string path;
  QString file_name;
  int32_t records = 0;
  int32_t time_records = 0;
  std::string first_time, last_time;  // of the file's first and last time record
  FileDigest digest;
  QDateTime made;
  ReadingStats stats;
  std::vector<StatsTexts> stats_rows;
  std::vector<ReportSessionTexts> session_rows;
  std::optional<ChartData> chart;  // none when no reading has a value to draw
  // Each column's texts of the records, each once, to measure the widest; the No. column's are
  // 1 to `records`.
  std::array<std::unordered_set<std::string>, kRecordColumns.size()> record_texts;
  std::vector<int16_t> channels;
};

Contents Gather(ReportRecords& records, const std::string& data_file,
                const ReportOptions& options) {
  Contents contents;
  contents.path = data_file;
  contents.file_name = QFileInfo(QString::fromStdString(data_file)).fileName();
  contents.channels = options.channels;
  contents.made = QDateTime::currentDateTime();
  const TextEncoding encoding = records.Encoding();
  ChartDataBuilder builder(options.channels);
  StatsAccumulator stats({.channels = options.channels});
  std::vector<ReportSession> sessions;
  Reading reading;
  records.ForEach([&](const StoredRecord& record) {
    const int32_t number = ++contents.records;
    ToReading(record, number, encoding, reading);
    builder.Add(reading);
    stats.Add(reading);
    if (reading.kind == RecordKind::kTime) {
      ++contents.time_records;
      contents.last_time = StartText(record.ValueText, encoding);
      if (contents.time_records == 1) contents.first_time = contents.last_time;
      sessions.push_back({contents.last_time, number, number, 0});
    } else {
      if (sessions.empty()) sessions.push_back({{}, number, number, 0});
      ++sessions.back().readings;
    }
    sessions.back().last = number;
    RecordTexts cells = RecordCells(record, number, encoding);
    // A unit name's trailing blanks take no room that shows.
    std::string& unit = cells[3];
    unit.erase(unit.find_last_not_of(' ') + 1);
    for (size_t c = 1; c < cells.size(); ++c) contents.record_texts[c].insert(std::move(cells[c]));
  });
  contents.digest = records.Digest();
  contents.stats = stats.Result();
  contents.stats_rows = StatsRows(contents.stats, FigurePadding::kFigureSpaces);
  for (size_t i = 0; i < sessions.size(); ++i) {
    const ReportSession& s = sessions[i];
    contents.session_rows.push_back({std::to_string(i + 1), s.started, std::to_string(s.first),
                                     std::to_string(s.last), std::to_string(s.readings)});
  }
  ChartData data = builder.Finish();
  if (!data.series.empty()) contents.chart = std::move(data);
  return contents;
}

// When the report was made, with the offset of the local time from UTC.
QString MadeText(const QDateTime& made) {
  const int offset = made.offsetFromUtc() / 60;
  return made.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) +
         QStringLiteral("UTC%1%2:%3")
             .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
             .arg(std::abs(offset) / 60, 2, 10, QLatin1Char('0'))
             .arg(std::abs(offset) % 60, 2, 10, QLatin1Char('0'));
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
  layouts.stats = MeasureTable(
      device, stats_right, width, [&](const TableText& header, const TableText& cells) {
        return Widest(header, cells, contents.stats_rows, kStatsColumns, width);
      });
  layouts.sessions = MeasureTable(device, {true, false, true, true, true}, width,
                                  [&](const TableText& header, const TableText& cells) {
                                    return Widest(header, cells, contents.session_rows,
                                                  kReportSessionColumns, width);
                                  });
  layouts.records = MeasureTable(
      device, {true, true, true, false}, width,
      [&](const TableText& header, const TableText& cells) {
        std::vector<double> widths =
            Widest(header, cells, std::vector<RecordTexts>{}, kRecordColumns, width);
        for (int32_t number = 1; number <= contents.records; ++number) {
          widths[0] = std::max(widths[0], cells.Advance(QString::number(number)));
        }
        for (size_t c = 0; c < widths.size(); ++c) {
          for (const std::string& text : contents.record_texts[c]) {
            widths[c] = std::max(widths[c], cells.Advance(Text(text)));
          }
          widths[c] = std::min(widths[c], width);
        }
        return widths;
      },
      kRecordTextSize, kRecordColumnGap);
  return layouts;
}

// Lays out (and, with a painter, paints) every page: page 1, then the records. `records` is
// null in the counting pass, which needs no record's texts.
void LayOut(PageFlow& flow, const Contents& contents, const Layouts& layouts, ReadingsChart* chart,
            ReportRecords* records) {
  Line(flow, contents.file_name, Font(kTitleSize, true));
  QString summary = Text(RecordCountText(contents.records, contents.time_records));
  if (!contents.channels.empty()) {
    summary +=
        QStringLiteral("; statistics and chart of channel ") + ChannelList(contents.channels);
  }
  const QFont text = Font(kTextSize);
  Line(flow, summary, text);
  Line(flow,
       contents.time_records == 0 ? QStringLiteral("No time record")
                                  : QStringLiteral("Time records from %1 to %2")
                                        .arg(Text(contents.first_time), Text(contents.last_time)),
       text);
  const FileDigest& digest = contents.digest;
  if (digest.problem.empty()) {
    Line(flow,
         QStringLiteral("Data file of %1, SHA-256 %2")
             .arg(Counted(digest.size, "byte", "bytes"), Text(digest.sha256)),
         text);
  } else {
    Line(flow, QStringLiteral("Data file's SHA-256 not known: ") + Text(digest.problem), text);
  }
  Line(flow, QStringLiteral("Report made ") + MadeText(contents.made), text);

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
    TableFlow table(flow, layouts.sessions, Header(kReportSessionColumns));
    for (const ReportSessionTexts& row : contents.session_rows) table.Row(row);
  }

  if (contents.records == 0) return;
  flow.NewPage();
  Line(flow, QStringLiteral("Readings"), Font(kHeadingSize, true));
  TableFlow table(flow, layouts.records, Header(kRecordColumns),
                  BlocksAcross(layouts.records, flow.Content().width()));
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
  // Page 1's size and SHA-256 must be of the records the pages show.
  if (records->Digest() != contents.digest) {
    throw DataFileError("Cannot read data file " + contents.path +
                        ": it changed while the report was made");
  }
}

}  // namespace

QPageSize::PageSizeId DefaultPaper() {
  return QLocale().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                    : QPageSize::A4;
}

void DataFileRecords::ForEach(const std::function<void(const StoredRecord&)>& each) {
  hash_.reset();
  size_ = 0;
  digest_ = {0, {}, "the data file was not read to its end"};
  reader_.Rewind([this](std::string_view bytes) {
    hash_.addData(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    size_ += static_cast<int64_t>(bytes.size());
  });
  StoredRecord record;
  while (reader_.Next(record)) each(record);
  digest_ = {size_, hash_.result().toHex().toStdString(), {}};
}

void RecordsInMemory::ForEach(const std::function<void(const StoredRecord&)>& each) {
  for (const StoredRecord& record : records_) each(record);
}

FileDigest RecordsInMemory::Digest() {
  if (digest_) return *digest_;
  // The file is read again as it is now, and digested only while it holds what is shown.
  try {
    DataFileReader reader(path_);
    DataFileRecords file(reader);
    size_t i = 0;
    bool same = true;
    file.ForEach([&](const StoredRecord& record) {
      same = same && i < records_.size() && record == records_[i];
      ++i;
    });
    digest_ = same && i == records_.size()
                  ? file.Digest()
                  : FileDigest{0, {}, "the file no longer holds the records shown"};
  } catch (const DataFileError& e) {
    digest_ = FileDigest{0, {}, e.what()};
  }
  return *digest_;
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
      QFont chart_font = Font(kTextSize);
      chart_font.setPixelSize(kChartTextPixels);
      chart->SetTextFont(chart_font);
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
