// The window's graphical buttons and grid on the screen, as grabbed pixels.

#include <QApplication>
#include <QImage>
#include <QTest>

#include "form_fixture.h"

namespace rx {
namespace {

using test::FormTest;

enum class State { kNormal, kHovered, kPressed, kFocused, kDisabled };

const char* Name(State state) {
  switch (state) {
    case State::kNormal:
      return "normal";
    case State::kHovered:
      return "hovered";
    case State::kPressed:
      return "pressed";
    case State::kFocused:
      return "focused";
    case State::kDisabled:
      return "disabled";
  }
  return "";
}

// Within a few units in each of red, green and blue.
bool Near(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) <= 4 && std::abs(a.green() - b.green()) <= 4 &&
         std::abs(a.blue() - b.blue()) <= 4;
}

std::string Describe(QColor c) {
  return "(" + std::to_string(c.red()) + ", " + std::to_string(c.green()) + ", " +
         std::to_string(c.blue()) + ")";
}

class GraphicalButtons : public FormTest {
 protected:
  void SetUp() override {
    Open();
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }

  // `button` as it looks in `state`; the other states are undone afterwards.
  QImage Grab(QPushButton* button, State state) {
    const bool enabled = button->isEnabled();
    Text1()->setFocus();
    button->setEnabled(state != State::kDisabled);
    if (state == State::kFocused) button->setFocus();
    button->setAttribute(Qt::WA_UnderMouse, state == State::kHovered);
    button->setDown(state == State::kPressed);
    const QImage image = button->grab().toImage();
    button->setDown(false);
    button->setAttribute(Qt::WA_UnderMouse, false);
    button->setEnabled(enabled);
    return image;
  }

  // The pixels halfway down the face, a few pixels left and right of the caption.
  static std::vector<QColor> BesideCaption(QPushButton* button, const QImage& image) {
    const int width = QFontMetrics(button->font()).horizontalAdvance(button->text());
    const int middle = image.height() / 2;
    const int left = (image.width() - width) / 2 - 3;
    const int right = (image.width() + width) / 2 + 3;
    return {image.pixelColor(left, middle), image.pixelColor(right, middle)};
  }

  // The darkest pixel of the caption's box.
  static int DarkestCaptionPixel(QPushButton* button, const QImage& image) {
    const QFontMetrics metrics(button->font());
    const QRect box(QPoint((image.width() - metrics.horizontalAdvance(button->text())) / 2,
                           (image.height() - metrics.height()) / 2),
                    QSize(metrics.horizontalAdvance(button->text()), metrics.height()));
    int darkest = 255;
    for (int y = box.top(); y <= box.bottom(); ++y) {
      for (int x = box.left(); x <= box.right(); ++x) {
        darkest = std::min(darkest, qGray(image.pixel(x, y)));
      }
    }
    return darkest;
  }
};

TEST_F(GraphicalButtons, EachFaceIsFlatInItsOwnColourInEveryState) {
  struct Face {
    int element;
    QColor colour;
  };
  const Face faces[] = {
      {0, QColor(128, 255, 128)}, {1, QColor(255, 255, 128)}, {2, QColor(255, 128, 128)}};
  for (const Face& face : faces) {
    QPushButton* button = Button(face.element);
    for (State state :
         {State::kNormal, State::kHovered, State::kPressed, State::kFocused, State::kDisabled}) {
      const QImage image = Grab(button, state);
      for (const QColor& pixel : BesideCaption(button, image)) {
        EXPECT_TRUE(Near(pixel, face.colour))
            << button->text().toStdString() << ", " << Name(state) << ": " << Describe(pixel)
            << " instead of " << Describe(face.colour);
      }
    }
  }
}

TEST_F(GraphicalButtons, FocusAndPressingShowAndADisabledButtonGreysOnlyItsCaption) {
  for (int element : {0, 1, 2}) {
    QPushButton* button = Button(element);
    SCOPED_TRACE(button->text().toStdString());
    const QImage normal = Grab(button, State::kNormal);
    EXPECT_NE(Grab(button, State::kFocused), normal);
    EXPECT_NE(Grab(button, State::kPressed), normal);
    EXPECT_NE(Grab(button, State::kPressed), Grab(button, State::kFocused));
    EXPECT_LT(DarkestCaptionPixel(button, normal), 60);                          // black
    EXPECT_GT(DarkestCaptionPixel(button, Grab(button, State::kDisabled)), 90);  // grey
  }
}

}  // namespace
}  // namespace rx
