#include "window/form2.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <climits>
#include <cmath>

#include "app/port_list.h"
#include "download/port_device.h"
#include "download/qt/qt_serial_control.h"
#include "window/flat_button.h"
#include "window/flex_grid_view.h"
#include "window/indicator_shape.h"
#include "window/readings_menu.h"

namespace rx {
namespace {

constexpr int kTimerInterval = 500;
constexpr int kGridWidth = 5895;
constexpr uint32_t kBlue = 0x00FF0000;

QFont TimesNewRoman(double points, bool bold = false) {
  QFont font(QStringLiteral("Times New Roman"));
  font.setPointSizeF(points);
  font.setWeight(bold ? QFont::Bold : QFont::Normal);
  return font;
}

QFont Arial(double points) {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(points);
  font.setWeight(QFont::Normal);
  return font;
}

// A label caption's line ends, CR LF or CR alone, as the line breaks a QLabel draws.
QString DisplayedLines(QString caption) {
  caption.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  caption.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return caption;
}

// A frame whose border line runs through the middle of its caption, so that the controls placed
// in its upper part sit inside the border.
QGroupBox* MakeFrame(QWidget* parent, const char* name, const char* caption) {
  auto* frame = new QGroupBox(QString::fromLatin1(caption), parent);
  frame->setObjectName(QString::fromLatin1(name));
  frame->setFont(TimesNewRoman(12));
  const int half = QFontMetrics(frame->font()).height() / 2;
  frame->setStyleSheet(
      QStringLiteral("QGroupBox { border: 1px solid palette(mid); margin-top: %1px; }"
                     "QGroupBox::title { subcontrol-origin: margin; left: 6px;"
                     " padding: 0 2px; }")
          .arg(half));
  return frame;
}

struct LabelLook {
  const char* name;
  const char* caption;
  QFont font;
  bool border;
  Qt::Alignment align;
  int64_t background = -1;  // 0x00BBGGRR, -1 for the default
  int64_t text = -1;
};

}  // namespace

QColor ColorFromBgr(uint32_t bgr) {
  return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

Form2::Form2(SerialControl& serial, MessageBox& messages, TickClock& clock, ProgramInfo program,
             CalendarDate today, QWidget* parent)
    : QWidget(parent),
      serial_(serial),
      program_(std::move(program)),
      grid_(kGridWidth, 2, 4),
      download_(serial, *this, messages, clock, unit_names_),
      commands_(*this, grid_, download_, messages, program_.folder) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("TZ6148 for Windows"));
  setFont(TimesNewRoman(9));
  resize(PixelsX(kClientWidth), PixelsY(kClientHeight));
  CreateControls();
  SetTabOrder();
  command1_[0]->setFocus();
  Form_Load(*this, commands_, unit_names_, messages, program_, today);
  file_dialogs_.SetParent(this);
  grid_menu_ = new ReadingsMenu(*fgrid1_, commands_, messages, file_dialogs_);
}

Form2::~Form2() {
  // The serial control outlives the window; no event may reach a download that is gone.
  serial_.SetOnComm(nullptr);
}

int Form2::PixelsX(int twips) const {
  return static_cast<int>(std::lround(twips * logicalDpiX() / 1440.0));
}

int Form2::PixelsY(int twips) const {
  return static_cast<int>(std::lround(twips * logicalDpiY() / 1440.0));
}

void Form2::Place(QWidget* widget, int left, int top, int width, int height) const {
  // Rounding the edges, not the sizes, keeps controls that touch in twips touching in pixels.
  const int x = PixelsX(left), y = PixelsY(top);
  widget->setGeometry(x, y, PixelsX(left + width) - x, PixelsY(top + height) - y);
}

void Form2::CreateControls() {
  auto make_label = [this](QWidget* parent, const LabelLook& look) {
    auto* label = new QLabel(QString::fromLatin1(look.caption), parent);
    label->setObjectName(QString::fromLatin1(look.name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(look.font);
    label->setWordWrap(true);
    label->setAlignment(look.align);
    if (look.border) {
      label->setFrameShape(QFrame::Box);
      label->setLineWidth(1);
    }
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText,
                     look.text >= 0 ? ColorFromBgr(look.text) : QColor(Qt::black));
    if (look.background >= 0) {
      palette.setColor(QPalette::Window, ColorFromBgr(look.background));
      label->setAutoFillBackground(true);
    }
    label->setPalette(palette);
    return label;
  };
  auto make_button = [this](int element, const char* caption, uint32_t face) {
    auto* button = new QPushButton(QString::fromLatin1(caption), this);
    button->setObjectName(QStringLiteral("Command1_%1").arg(element));
    button->setFont(TimesNewRoman(14.25));
    MakeGraphical(button, ColorFromBgr(face));
    button->setAutoFillBackground(true);
    button->setAutoDefault(true);  // Enter presses the button that has the focus
    connect(button, &QPushButton::clicked, this,
            [this, element] { commands_.Command1_Click(static_cast<int16_t>(element)); });
    return button;
  };
  const Qt::Alignment centred = Qt::AlignHCenter | Qt::AlignTop;
  const Qt::Alignment left = Qt::AlignLeft | Qt::AlignTop;

  timer1_ = new QTimer(this);
  timer1_->setObjectName(QStringLiteral("Timer1"));
  timer1_->setInterval(kTimerInterval);
  connect(timer1_, &QTimer::timeout, this, [this] { download_.Timer1_Timer(); });

  frame2_ = MakeFrame(this, "Frame2", "Setup Procedure");
  {
    QPalette palette = frame2_->palette();
    palette.setColor(QPalette::WindowText, ColorFromBgr(kBlue));
    palette.setColor(QPalette::Text, ColorFromBgr(kBlue));
    frame2_->setPalette(palette);
  }
  Place(frame2_, 7200, 1320, 3855, 5055);

  label2_ = make_label(frame2_, {"Label2", "label2", TimesNewRoman(12), false, left});
  Place(label2_, 120, 360, 3495, 4575);

  fgrid1_ = new FlexGridView(grid_, this);
  fgrid1_->setObjectName(QStringLiteral("FGrid1"));
  fgrid1_->setFont(TimesNewRoman(9));
  // Tab leaves the grid for the next control instead of walking its cells.
  fgrid1_->setTabKeyNavigation(false);
  Place(fgrid1_, 720, 3120, kGridWidth, 4815);

  command1_[2] = make_button(2, "Exit", 0x008080FF);
  Place(command1_[2], 7200, 7200, 3855, 650);

  frame1_ = MakeFrame(this, "Frame1", "Comm. Port");
  Place(frame1_, 600, 480, 3615, 855);

  combo1_ = new QComboBox(frame1_);
  combo1_->setObjectName(QStringLiteral("Combo1"));
  combo1_->setFont(TimesNewRoman(12));
  combo1_->setEditable(true);
  // The frame's style sheet stops fonts from passing down to the combo box's own parts.
  combo1_->lineEdit()->setFont(combo1_->font());
  combo1_->view()->setFont(combo1_->font());
  combo1_->setInsertPolicy(QComboBox::NoInsert);
  combo1_->setEditText(QStringLiteral("Combo1"));
  Place(combo1_, 1440, 280, 1815, 405);
  connect(combo1_, &QComboBox::currentIndexChanged, this, [this] { UpdatePortToolTip(); });
  connect(combo1_, &QComboBox::editTextChanged, this, [this] { UpdatePortToolTip(); });
  combo1_->installEventFilter(this);  // the tooltip says whether the device is there when shown

  command1_[1] = make_button(1, "View Data", 0x0080FFFF);
  command1_[1]->setEnabled(false);
  Place(command1_[1], 9600, 6550, 1455, 650);

  text1_ = new QLineEdit(QStringLiteral("Text1"), this);
  text1_->setObjectName(QStringLiteral("Text1"));
  text1_->setFont(TimesNewRoman(12));
  text1_->setMaxLength(INT_MAX);
  Place(text1_, 4800, 960, 1935, 375);
  connect(text1_, &QLineEdit::textChanged, this, [this](const QString& text) {
    commands_.Text1_Change(text.toStdString());
    // The full path shows which folder the data file lands in.
    text1_->setToolTip(QString::fromStdString(commands_.df()));
  });

  command1_[0] = make_button(0, "Start", 0x0080FF80);
  Place(command1_[0], 7200, 6550, 2415, 650);

  label3_ = make_label(this, {"Label3", "Receiving Data ...", TimesNewRoman(9, true), false, left});
  label3_->hide();
  Place(label3_, 1200, 2640, 1935, 255);

  shape1_ = new IndicatorShape(this);
  shape1_->setObjectName(QStringLiteral("Shape1"));
  shape1_->SetFillColor(ColorFromBgr(0x0080FF80));
  shape1_->hide();
  Place(shape1_, 720, 2640, 255, 255);

  lbl_version_ = make_label(
      this, {"lblVersion", "version : 040928", Arial(15.75), true, centred, 0x00C0FFFF, kBlue});
  Place(lbl_version_, 7200, 600, 3855, 495);

  label1_[4] =
      make_label(this, {"Label1_4", "0", TimesNewRoman(12), true, centred, 0x00FFFFFF, kBlue});
  Place(label1_[4], 4800, 2160, 1935, 375);
  label1_[3] = make_label(this, {"Label1_3", " Number of  Data", TimesNewRoman(12), true, centred});
  Place(label1_[3], 4800, 1800, 1935, 375);
  label1_[2] =
      make_label(this, {"Label1_2", "", TimesNewRoman(12), true, centred, 0x00C0FFC0, kBlue});
  Place(label1_[2], 600, 2160, 3615, 375);
  label1_[1] = make_label(
      this, {"Label1_1", "Data Transfer Status", TimesNewRoman(12), true, centred, -1, kBlue});
  Place(label1_[1], 600, 1800, 3615, 375);
  label1_[0] = make_label(this, {"Label1_0", "Data File Name", TimesNewRoman(12), true, centred});
  Place(label1_[0], 4800, 600, 1935, 375);
}

void Form2::SetTabOrder() {
  // Start, Text1, View Data, Exit, grid, port list; Qt skips the ones that are disabled.
  QWidget::setTabOrder(command1_[0], text1_);
  QWidget::setTabOrder(text1_, command1_[1]);
  QWidget::setTabOrder(command1_[1], command1_[2]);
  QWidget::setTabOrder(command1_[2], fgrid1_);
  QWidget::setTabOrder(fgrid1_, combo1_);
}

void Form2::UpdatePortToolTip(bool ask_system) {
  const int port = PortListIndex() + 1;
  // The system's list of serial ports takes tens of milliseconds to read, too long for every
  // keystroke in the port list and for start-up: it is read when the tooltip is shown.
  const SerialDeviceFacts facts =
      ask_system ? FactsOf(PortDevice(program_.folder, port), ListedSerialPorts())
                 : SerialDeviceFacts{};
  combo1_->setToolTip(QString::fromStdString(PortToolTip(program_.folder, port, facts)));
}

void Form2::SetTransferStatus(const std::string& caption) {
  label1_[2]->setText(QString::fromStdString(caption));
}

void Form2::SetRecordCount(const std::string& caption) {
  label1_[4]->setText(QString::fromStdString(caption));
}

void Form2::SetStartEnabled(bool enabled) { command1_[0]->setEnabled(enabled); }

void Form2::SetViewDataEnabled(bool enabled) { command1_[1]->setEnabled(enabled); }

void Form2::SetTimerEnabled(bool enabled) {
  if (enabled) {
    timer1_->start();
  } else {
    timer1_->stop();
  }
}

void Form2::SetIndicatorVisible(bool visible) { shape1_->setVisible(visible); }

void Form2::SetIndicatorColor(uint32_t bgr) { shape1_->SetFillColor(ColorFromBgr(bgr)); }

void Form2::SetReceivingVisible(bool visible) { label3_->setVisible(visible); }

void Form2::SetGridTextEncoding(TextEncoding encoding) {
  fgrid1_->Model().SetTextEncoding(encoding);
}

void Form2::SetCaption(const std::string& caption) {
  setWindowTitle(QString::fromStdString(caption));
}

void Form2::SetVersionCaption(const std::string& caption) {
  lbl_version_->setText(QString::fromStdString(caption));
}

void Form2::SetInstructions(const std::string& caption) {
  // The caption keeps its CR and CR LF line ends; the label draws each as a line break.
  const QString text = QString::fromLatin1(caption);
  label2_->setProperty("Caption", text);
  label2_->setText(DisplayedLines(text));
}

void Form2::SetFileNameText(const std::string& text) {
  text1_->setText(QString::fromStdString(text));
}

void Form2::AddPortItem(const std::string& text) { combo1_->addItem(QString::fromStdString(text)); }

void Form2::SetPortListIndex(int index) { combo1_->setCurrentIndex(index); }

int Form2::PortListIndex() const {
  const int index = combo1_->currentIndex();
  const QString text = combo1_->currentText();
  if (index >= 0 && combo1_->itemText(index) == text) return index;
  return combo1_->findText(text, Qt::MatchExactly);
}

void Form2::Unload() { close(); }

bool Form2::eventFilter(QObject* watched, QEvent* event) {
  if (watched == combo1_ && event->type() == QEvent::ToolTip) UpdatePortToolTip(true);
  return QWidget::eventFilter(watched, event);
}

void Form2::closeEvent(QCloseEvent* event) {
  commands_.Closing();
  event->accept();
}

}  // namespace rx
