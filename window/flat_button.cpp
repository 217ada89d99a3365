#include "window/flat_button.h"

#include <QApplication>
#include <QPainter>
#include <QPushButton>
#include <QStyleFactory>
#include <QStyleOptionButton>

namespace rx {
namespace {

bool Pressed(const QStyleOption* option) {
  return option->state & (QStyle::State_Sunken | QStyle::State_On);
}

// One-pixel edges along the top and left (`light`) and the bottom and right (`dark`) of `rect`.
void DrawEdge(QPainter* painter, const QRect& rect, const QColor& light, const QColor& dark) {
  painter->setPen(light);
  painter->drawLine(rect.topLeft(), rect.topRight() - QPoint(1, 0));
  painter->drawLine(rect.topLeft(), rect.bottomLeft() - QPoint(0, 1));
  painter->setPen(dark);
  painter->drawLine(rect.bottomLeft(), rect.bottomRight());
  painter->drawLine(rect.topRight(), rect.bottomRight());
}

}  // namespace

FlatButtonStyle::FlatButtonStyle()
    : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

FlatButtonStyle* FlatButtonStyle::Instance() {
  // Owned by the application, so that it outlives every button that uses it.
  static FlatButtonStyle* const style = [] {
    auto* made = new FlatButtonStyle;
    made->setParent(qApp);
    return made;
  }();
  return style;
}

void FlatButtonStyle::drawControl(ControlElement element, const QStyleOption* option,
                                  QPainter* painter, const QWidget* widget) const {
  switch (element) {
    case CE_PushButtonBevel: {
      const QPalette& palette = option->palette;
      QRect rect = option->rect;
      painter->save();
      painter->fillRect(rect, palette.color(QPalette::Button));
      if (option->state & State_HasFocus) {  // the button Enter presses has a dark outline
        painter->setPen(palette.color(QPalette::Shadow));
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
        rect.adjust(1, 1, -1, -1);
      }
      if (Pressed(option)) {
        painter->setPen(palette.color(QPalette::Dark));
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
      } else {
        DrawEdge(painter, rect, palette.color(QPalette::Light), palette.color(QPalette::Shadow));
        DrawEdge(painter, rect.adjusted(1, 1, -1, -1), palette.color(QPalette::Midlight),
                 palette.color(QPalette::Dark));
      }
      if (option->state & State_HasFocus) {
        // Drawn here, inside the edge, whatever the base style does with its focus frame.
        QPen dots(palette.color(QPalette::Active, QPalette::ButtonText));
        dots.setStyle(Qt::DotLine);
        painter->setPen(dots);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option->rect.adjusted(3, 3, -4, -4));
      }
      painter->restore();
      return;
    }
    case CE_PushButtonLabel:
      if (Pressed(option)) {
        if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option)) {
          QStyleOptionButton moved(*button);
          moved.rect.translate(1, 1);
          QProxyStyle::drawControl(element, &moved, painter, widget);
          return;
        }
      }
      break;
    default:
      break;
  }
  QProxyStyle::drawControl(element, option, painter, widget);
}

void MakeGraphical(QPushButton* button, const QColor& face) {
  QPalette palette = button->palette();
  palette.setColor(QPalette::Button, face);
  button->setPalette(palette);
  button->setStyle(FlatButtonStyle::Instance());
}

}  // namespace rx
