#pragma once

#include <QWidget>
#include <array>

#include "app/commands.h"
#include "app/form_controls.h"
#include "app/start_up.h"
#include "data/grid_table.h"
#include "download/message_box.h"
#include "download/meter_download.h"
#include "download/serial_control.h"
#include "download/tick_clock.h"
#include "download/unit_names.h"
#include "window/qt_file_dialogs.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace rx {

class FlexGridView;
class IndicatorShape;
class ReadingsMenu;

// The program's one window. It lays out the controls and passes their events on: start-up to
// Form_Load, the buttons and the file name box to Commands, the timer and the serial control to
// the download. Every control's objectName is its name in the program ("Command1_0", "Text1").
class Form2 final : public QWidget, public FormControls {
  Q_OBJECT

 public:
  // Client area in twips.
  static constexpr int kClientWidth = 11520;
  static constexpr int kClientHeight = 8535;

  // Creates the window and runs Form_Load; the window is then ready to be shown.
  Form2(SerialControl& serial, MessageBox& messages, TickClock& clock, ProgramInfo program,
        CalendarDate today, QWidget* parent = nullptr);
  ~Form2() override;

  // Pixels of `twips` across and down at the screen's logical dpi.
  int PixelsX(int twips) const;
  int PixelsY(int twips) const;

  const std::string& df() const { return commands_.df(); }
  const MeterDownload& Download() const { return download_; }
  const UnitNames& Units() const { return unit_names_; }
  const GridTable& Grid() const { return grid_; }
  QTimer& Timer1() { return *timer1_; }
  // The grid's context menu: plot, export, open an earlier data file.
  ReadingsMenu& GridMenu() { return *grid_menu_; }

  // WindowControls
  void SetTransferStatus(const std::string& caption) override;
  void SetRecordCount(const std::string& caption) override;
  void SetStartEnabled(bool enabled) override;
  void SetViewDataEnabled(bool enabled) override;
  void SetTimerEnabled(bool enabled) override;
  void SetIndicatorVisible(bool visible) override;
  void SetIndicatorColor(uint32_t bgr) override;
  void SetReceivingVisible(bool visible) override;

  // FormControls
  void SetCaption(const std::string& caption) override;
  void SetVersionCaption(const std::string& caption) override;
  void SetInstructions(const std::string& caption) override;
  void SetFileNameText(const std::string& text) override;
  void AddPortItem(const std::string& text) override;
  void SetPortListIndex(int index) override;
  void SetGridTextEncoding(TextEncoding encoding) override;
  int PortListIndex() const override;
  void Unload() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void SetTabOrder();
  // `ask_system`: also what the system's list of serial ports says of the device.
  void UpdatePortToolTip(bool ask_system = false);
  // Places `widget` at twips measured from its parent's top-left corner.
  void Place(QWidget* widget, int left, int top, int width, int height) const;

  SerialControl& serial_;
  ProgramInfo program_;
  UnitNames unit_names_;
  GridTable grid_;
  MeterDownload download_;
  Commands commands_;
  QtFileDialogs file_dialogs_;

  QTimer* timer1_ = nullptr;
  QGroupBox* frame1_ = nullptr;
  QGroupBox* frame2_ = nullptr;
  QLabel* label2_ = nullptr;
  FlexGridView* fgrid1_ = nullptr;
  std::array<QPushButton*, 3> command1_{};
  QComboBox* combo1_ = nullptr;
  QLineEdit* text1_ = nullptr;
  QLabel* label3_ = nullptr;
  IndicatorShape* shape1_ = nullptr;
  QLabel* lbl_version_ = nullptr;
  std::array<QLabel*, 5> label1_{};
  ReadingsMenu* grid_menu_ = nullptr;
};

// 0x00BBGGRR as a colour.
QColor ColorFromBgr(uint32_t bgr);

}  // namespace rx
