#include "window/qt_message_box.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QPushButton>

namespace rx {
namespace {

TEST(QtMessageBoxTest, TheOverwriteQuestionIsYesNoWithAStopIconAndNoAsDefault) {
  auto box = QtMessageBox::MakeYesNoBox("The Data file exist . Do you want to continue ?",
                                        "Data File Check", nullptr);
  EXPECT_EQ(box->windowTitle(), "Data File Check");
  EXPECT_EQ(box->text(), "The Data file exist . Do you want to continue ?");
  EXPECT_EQ(box->icon(), QMessageBox::Critical);
  EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
  EXPECT_EQ(box->escapeButton(), box->button(QMessageBox::No));
  EXPECT_EQ(box->buttons().size(), 2);  // no help button
}

TEST(QtMessageBoxTest, AnOkBoxShowsItsLinesAsPlainTextUnderTheProgramTitle) {
  auto box = QtMessageBox::MakeInformBox("Data Received O.K!\r\nTotal Time ( ms ) =  5000",
                                         kAppTitle, nullptr);
  EXPECT_EQ(box->windowTitle(), "RX7731");
  EXPECT_EQ(box->text(), "Data Received O.K!\nTotal Time ( ms ) =  5000");
  EXPECT_EQ(box->textFormat(), Qt::PlainText);
  EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
  EXPECT_EQ(box->icon(), QMessageBox::NoIcon);

  auto markup =
      QtMessageBox::MakeInformBox("Cannot open data file /tmp/<b>x</b>.dat", kAppTitle, nullptr);
  EXPECT_EQ(markup->textFormat(), Qt::PlainText);
  EXPECT_EQ(markup->text(), "Cannot open data file /tmp/<b>x</b>.dat");
}

}  // namespace
}  // namespace rx
