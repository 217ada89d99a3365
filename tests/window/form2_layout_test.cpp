#include <QAbstractItemModel>
#include <QFontInfo>
#include <QHeaderView>
#include <QTest>
#include <QTimer>

#include "form_fixture.h"
#include "window/indicator_shape.h"

namespace rx {
namespace {

using test::FormTest;

QString Caption(QWidget* widget) {
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  if (auto* button = qobject_cast<QPushButton*>(widget)) return button->text();
  if (auto* frame = qobject_cast<QGroupBox*>(widget)) return frame->title();
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
  if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentText();
  return {};
}

struct Placement {
  const char* name;
  int x, y, width, height;  // pixels at 96 dpi
};

class Layout : public FormTest, public testing::WithParamInterface<Placement> {};

TEST_P(Layout, EveryControlSitsWhereItsTwipsPutIt) {
  Open();
  ASSERT_EQ(form->logicalDpiX(), 96);
  ASSERT_EQ(form->logicalDpiY(), 96);
  const Placement& p = GetParam();
  EXPECT_EQ(Find(p.name)->geometry(), QRect(p.x, p.y, p.width, p.height));
}

INSTANTIATE_TEST_SUITE_P(
    Controls, Layout,
    testing::Values(
        Placement{"Frame2", 480, 88, 257, 337}, Placement{"Label2", 8, 24, 233, 305},
        Placement{"FGrid1", 48, 208, 393, 321}, Placement{"Command1_2", 480, 480, 257, 43},
        Placement{"Frame1", 40, 32, 241, 57}, Placement{"Combo1", 96, 19, 121, 27},
        Placement{"Command1_1", 640, 437, 97, 43}, Placement{"Text1", 320, 64, 129, 25},
        Placement{"Command1_0", 480, 437, 161, 43}, Placement{"Label3", 80, 176, 129, 17},
        Placement{"Shape1", 48, 176, 17, 17}, Placement{"lblVersion", 480, 40, 257, 33},
        Placement{"Label1_4", 320, 144, 129, 25}, Placement{"Label1_3", 320, 120, 129, 25},
        Placement{"Label1_2", 40, 144, 241, 25}, Placement{"Label1_1", 40, 120, 241, 25},
        Placement{"Label1_0", 320, 40, 129, 25}),
    [](const auto& info) { return info.param.name; });

TEST_F(FormTest, TheWindowHasItsClientSizeAndKeepsControlsInPlaceWhenResized) {
  Open();
  EXPECT_EQ(form->size(), QSize(768, 569));
  EXPECT_EQ(Find("Frame1")->parentWidget(), form.get());
  EXPECT_EQ(Find("Combo1")->parentWidget(), Find("Frame1"));
  EXPECT_EQ(Find("Label2")->parentWidget(), Find("Frame2"));
  const QRect exit = Button(2)->geometry();
  form->resize(300, 200);
  EXPECT_EQ(Button(2)->geometry(), exit);
}

struct Look {
  const char* name;
  QString caption;
  const char* family;
  double points;
  bool bold;
  bool visible;
  bool enabled;
};

class InitialLook : public FormTest, public testing::WithParamInterface<Look> {};

TEST_P(InitialLook, CaptionFontAndStateAfterStartUp) {
  Open();
  const Look& look = GetParam();
  QWidget* widget = Find(look.name);
  if (look.name != std::string("Label2")) {
    EXPECT_EQ(Caption(widget), look.caption);
  }
  EXPECT_EQ(widget->font().family(), look.family);
  EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), look.points);
  EXPECT_EQ(widget->font().bold(), look.bold);
  EXPECT_FALSE(widget->font().italic() || widget->font().underline() || widget->font().strikeOut());
  EXPECT_EQ(widget->isVisibleTo(form.get()), look.visible);
  EXPECT_EQ(widget->isEnabled(), look.enabled);
}

const char kTimes[] = "Times New Roman";

INSTANTIATE_TEST_SUITE_P(
    Controls, InitialLook,
    testing::Values(Look{"Frame2", "Setup Procedure", kTimes, 12, false, true, true},
                    Look{"Label2", "", kTimes, 12, false, true, true},
                    Look{"FGrid1", "", kTimes, 9, false, true, true},
                    Look{"Command1_2", "Exit", kTimes, 14.25, false, true, true},
                    Look{"Frame1", "Comm. Port", kTimes, 12, false, true, true},
                    Look{"Combo1", "Comm. 1", kTimes, 12, false, true, true},
                    Look{"Command1_1", "View Data", kTimes, 14.25, false, true, false},
                    Look{"Text1", "261208.dat", kTimes, 12, false, true, true},
                    Look{"Command1_0", "Start", kTimes, 14.25, false, true, true},
                    Look{"Label3", "Receiving Data ...", kTimes, 9, true, false, true},
                    Look{"Shape1", "", kTimes, 9, false, false, true},
                    Look{"lblVersion", "Version : 100322", "Arial", 15.75, false, true, true},
                    Look{"Label1_4", "0", kTimes, 12, false, true, true},
                    Look{"Label1_3", " Number of  Data", kTimes, 12, false, true, true},
                    Look{"Label1_2", "", kTimes, 12, false, true, true},
                    Look{"Label1_1", "Data Transfer Status", kTimes, 12, false, true, true},
                    Look{"Label1_0", "Data File Name", kTimes, 12, false, true, true}),
    [](const auto& info) { return info.param.name; });

TEST_F(FormTest, FontsResolveToMetricCompatibleFaces) {
  Open();
  EXPECT_EQ(Combo1()->lineEdit()->font().pointSizeF(), 12);  // the text the user sees
  EXPECT_EQ(QFontInfo(Button(0)->font()).family(), "Liberation Serif");
  EXPECT_EQ(QFontInfo(Find("lblVersion")->font()).family(), "Liberation Sans");
}

struct Colour {
  const char* name;
  QPalette::ColorRole role;
  QColor color;
};

class Colours : public FormTest, public testing::WithParamInterface<Colour> {};

TEST_P(Colours, ComeFromTheirBgrValues) {
  Open();
  EXPECT_EQ(Find(GetParam().name)->palette().color(GetParam().role), GetParam().color);
}

const QColor kBlue(0, 0, 255);

INSTANTIATE_TEST_SUITE_P(
    Controls, Colours,
    testing::Values(Colour{"Command1_0", QPalette::Button, QColor(128, 255, 128)},
                    Colour{"Command1_1", QPalette::Button, QColor(255, 255, 128)},
                    Colour{"Command1_2", QPalette::Button, QColor(255, 128, 128)},
                    Colour{"Frame2", QPalette::WindowText, kBlue},
                    Colour{"Label2", QPalette::WindowText, Qt::black},
                    Colour{"lblVersion", QPalette::Window, QColor(255, 255, 192)},
                    Colour{"lblVersion", QPalette::WindowText, kBlue},
                    Colour{"Label1_4", QPalette::Window, Qt::white},
                    Colour{"Label1_4", QPalette::WindowText, kBlue},
                    Colour{"Label1_2", QPalette::Window, QColor(192, 255, 192)},
                    Colour{"Label1_2", QPalette::WindowText, kBlue},
                    Colour{"Label1_1", QPalette::WindowText, kBlue},
                    Colour{"Label1_0", QPalette::WindowText, Qt::black}));

TEST_F(FormTest, LabelsHaveTheirBordersAndAlignment) {
  Open();
  for (const char* name :
       {"lblVersion", "Label1_0", "Label1_1", "Label1_2", "Label1_3", "Label1_4"}) {
    auto* label = Find<QLabel>(name);
    EXPECT_EQ(label->frameShape(), QFrame::Box) << name;
    EXPECT_TRUE(label->alignment() & Qt::AlignHCenter) << name;
    EXPECT_EQ(label->textFormat(), Qt::PlainText) << name;
  }
  for (const char* name : {"Label2", "Label3"}) {
    EXPECT_EQ(Find<QLabel>(name)->frameShape(), QFrame::NoFrame) << name;
    EXPECT_TRUE(Find<QLabel>(name)->alignment() & Qt::AlignLeft) << name;
  }
  EXPECT_EQ(form->findChild<IndicatorShape*>("Shape1")->FillColor(), QColor(128, 255, 128));
}

TEST_F(FormTest, TheOtherControlsStartInTheirDesignState) {
  Open();
  EXPECT_EQ(form->Timer1().interval(), 500);
  EXPECT_FALSE(form->Timer1().isActive());
  EXPECT_TRUE(Combo1()->isEditable());
  EXPECT_GE(Text1()->maxLength(), 1 << 30);
  EXPECT_EQ(Grid()->model()->rowCount(), 1);  // 2 rows, one of them the header row
  EXPECT_EQ(Grid()->model()->columnCount(), 3);
  EXPECT_TRUE(serial.log.empty());
}

TEST_F(FormTest, TabWalksStartText1ExitGridPortListAndTakesViewDataOnceEnabled) {
  Open();
  form->show();
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  auto walk = [this] {
    std::vector<std::string> names;
    for (int i = 0; i < 6; ++i) {
      QWidget* focus = QApplication::focusWidget();
      // The port list's text field stands for the port list.
      if (focus != nullptr && qobject_cast<QComboBox*>(focus->parentWidget())) {
        focus = focus->parentWidget();
      }
      names.push_back(focus ? focus->objectName().toStdString() : "(none)");
      QTest::keyClick(focus, Qt::Key_Tab);
    }
    return names;
  };
  EXPECT_EQ(walk(), (std::vector<std::string>{"Command1_0", "Text1", "Command1_2", "FGrid1",
                                              "Combo1", "Command1_0"}));
  form->SetViewDataEnabled(true);
  Button(0)->setFocus();
  EXPECT_EQ(walk(), (std::vector<std::string>{"Command1_0", "Text1", "Command1_1", "Command1_2",
                                              "FGrid1", "Combo1"}));
}

}  // namespace
}  // namespace rx
