#pragma once

// A Form2 on Qt's offscreen platform, with a scripted serial control, recorded message boxes
// and a manual clock, running from a temporary program folder.

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <memory>
#include <string>

#include "support/fakes.h"
#include "window/flex_grid_view.h"
#include "window/form2.h"

namespace rx::test {

// Unit code 3, which the test frames carry, is "A".
inline const std::string kUnits = "0,\"V\"\r\n1,\"mV\"\r\n2,\"mA\"\r\n3,\"A\"\r\n";

class FormTest : public testing::Test {
 protected:
  FormTest() { WriteBytes(dir.File("unit2.dat"), kUnits); }

  Form2& Open(const std::string& exe_name = "RX7731") {
    form = std::make_unique<Form2>(serial, boxes, clock, ProgramInfo{Folder(), exe_name},
                                   CalendarDate{2026, 12, 8});
    return *form;
  }

  std::string Folder() const { return dir.Path().string(); }

  template <typename T = QWidget>
  T* Find(const char* name) const {
    T* widget = form->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  QPushButton* Button(int element) const {
    return Find<QPushButton>(("Command1_" + std::to_string(element)).c_str());
  }
  QLabel* Label1(int element) const {
    return Find<QLabel>(("Label1_" + std::to_string(element)).c_str());
  }
  QLineEdit* Text1() const { return Find<QLineEdit>("Text1"); }
  QComboBox* Combo1() const { return Find<QComboBox>("Combo1"); }
  QTableView* Grid() const { return Find<QTableView>("FGrid1"); }

  void Click(int element) const { Button(element)->click(); }

  // The grid as the screen shows it: header row first, then the rows of readings.
  std::vector<std::vector<QString>> Shown() const {
    const QAbstractItemModel* model = Grid()->model();
    std::vector<std::vector<QString>> rows;
    std::vector<QString> header{static_cast<FlexGridView*>(Grid())->Model().CornerText()};
    for (int col = 0; col < model->columnCount(); ++col) {
      header.push_back(model->headerData(col, Qt::Horizontal).toString());
    }
    rows.push_back(header);
    for (int row = 0; row < model->rowCount(); ++row) {
      std::vector<QString> cells{model->headerData(row, Qt::Vertical).toString()};
      for (int col = 0; col < model->columnCount(); ++col) {
        cells.push_back(model->index(row, col).data().toString());
      }
      rows.push_back(cells);
    }
    return rows;
  }

  TempDir dir;
  ScriptedSerialControl serial;
  RecordingMessageBox boxes;
  ManualClock clock;
  std::unique_ptr<Form2> form;
};

}  // namespace rx::test
