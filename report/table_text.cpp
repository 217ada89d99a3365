#include "report/table_text.h"

#include <QGlyphRun>
#include <QList>

namespace rx {

TableText::TableText(const QFont& font, const QPaintDevice& device)
    : font_(font), metrics_(font, &device), raw_(QRawFont::fromFont(font)) {
  // The font's size on the device, which QRawFont takes in the device's units.
  raw_.setPixelSize(font.pointSizeF() * device.logicalDpiY() / 72.0);
  if (!raw_.isValid()) return;
  for (int c = 0x20; c < 0x100; ++c) {
    if (c >= 0x7F && c < 0xA0) continue;  // control characters, which are never drawn as such
    const QList<quint32> glyphs = raw_.glyphIndexesForString(QString(QChar(c)));
    if (glyphs.size() != 1 || glyphs[0] == 0) continue;
    glyph_[c] = glyphs[0];
    // The advance the text engine gives it, which every system's engine gives alike.
    advance_[c] = metrics_.horizontalAdvance(QChar(c));
  }
}

bool TableText::Direct(const QString& text) const {
  for (const QChar c : text) {
    if (c.unicode() > 0xFF || glyph_[c.unicode()] == 0) return false;
  }
  return true;
}

double TableText::Advance(const QString& text) const {
  if (!Direct(text)) return metrics_.horizontalAdvance(text);
  double advance = 0;
  for (const QChar c : text) advance += advance_[c.unicode()];
  return advance;
}

void TableText::Draw(QPainter& painter, const QPointF& origin, const QString& text) {
  if (!Direct(text)) {
    painter.setFont(font_);
    painter.setPen(Qt::black);
    painter.drawText(origin, text);
    return;
  }
  double x = origin.x();
  for (const QChar c : text) {
    pending_glyphs_.append(glyph_[c.unicode()]);
    pending_positions_.append(QPointF(x, origin.y()));
    x += advance_[c.unicode()];
  }
}

void TableText::Flush(QPainter& painter) {
  if (pending_glyphs_.isEmpty()) return;
  QGlyphRun run;
  run.setRawFont(raw_);
  run.setGlyphIndexes(pending_glyphs_);
  run.setPositions(pending_positions_);
  painter.setPen(Qt::black);
  painter.drawGlyphRun(QPointF(0, 0), run);
  pending_glyphs_.clear();
  pending_positions_.clear();
}

}  // namespace rx
