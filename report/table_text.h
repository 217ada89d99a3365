#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QList>
#include <QPaintDevice>
#include <QPainter>
#include <QPointF>
#include <QRawFont>
#include <QString>
#include <array>

namespace rx {

// The texts of a table's cells, measured and drawn from their font's glyphs and advances
// directly where nothing needs shaping: printable ASCII and Latin-1 whose every glyph the font
// has. Shaping each of a report's hundreds of thousands of cells one at a time took most of
// its time. Any other text goes through Qt's text engine; either way a text is drawn as wide as
// it measures.
class TableText {
 public:
  TableText(const QFont& font, const QPaintDevice& device);

  const QFontMetricsF& Metrics() const { return metrics_; }
  double Advance(const QString& text) const;
  // Draws `text` from `origin` on its baseline, in black. The glyphs drawn directly wait for
  // Flush, which draws them all as one run: a PDF then states the font and the colour once a
  // page, not once a cell.
  void Draw(QPainter& painter, const QPointF& origin, const QString& text);
  void Flush(QPainter& painter);

 private:
  // True when every character of `text` has a glyph of its own here.
  bool Direct(const QString& text) const;

  QFont font_;
  QFontMetricsF metrics_;
  QRawFont raw_;
  std::array<quint32, 256> glyph_{};  // of each Latin-1 character; 0 where there is none
  std::array<double, 256> advance_{};
  QList<quint32> pending_glyphs_;
  QList<QPointF> pending_positions_;
};

}  // namespace rx
