#pragma once

#include <QProxyStyle>

class QPushButton;

namespace rx {

// The look of a graphical command button: its face painted flat in its own colour (the palette's
// Button colour) in every state, where the platform style would shade it. A raised edge frames
// it; pressed, the edge sinks and the caption moves down and to the right by a pixel; with the
// focus, a dark outline surrounds the button and a dotted rectangle runs inside its edge. A
// disabled button keeps its face and greys only its caption. Captions, fonts and sizes are the
// base style's.
class FlatButtonStyle final : public QProxyStyle {
  Q_OBJECT

 public:
  // The one instance, drawing on top of the application's style as it is at the first call.
  static FlatButtonStyle* Instance();

  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget = nullptr) const override;

 private:
  FlatButtonStyle();
};

// Makes `button` a graphical button whose face is `face`.
void MakeGraphical(QPushButton* button, const QColor& face);

}  // namespace rx
