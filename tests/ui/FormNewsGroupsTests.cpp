// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ScriptedHost.h"
#include "ui/NewsGroupUnit.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

QT_BEGIN_NAMESPACE
// Readable failures.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << text.toStdString();
}
QT_END_NAMESPACE

namespace {
struct FormNewsGroups : ::testing::Test {
  TWithScriptedHost Scripted;
  TScriptedHost& Host = Scripted.Host;
  std::unique_ptr<TFormNewsGroups> Form;

  void Create(std::string_view groups) {
    Host.ProgramDir.Write("groups.txt", groups);
    Form = std::make_unique<TFormNewsGroups>();
    Form->show();
    Available()->grab(); // lays the rows out so that they can be clicked
  }
  template <typename T> T* Find(const char* name) const {
    T* widget = Form->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QListView* Available() const { return Find<QListView>("ListViewAvailableGroups"); }
  QListWidget* Selected() const { return Find<QListWidget>("ListBoxSelectedGroups"); }
  QLineEdit* Filter() const { return Find<QLineEdit>("EditGroupFilter"); }
  QStringList Rows() const {
    QStringList rows;
    for (int row = 0; row < Available()->model()->rowCount(); ++row)
      rows << Available()->model()->index(row, 0).data().toString();
    return rows;
  }
  QStringList SelectedRows() const {
    QStringList rows;
    for (int row = 0; row < Selected()->count(); ++row)
      rows << Selected()->item(row)->text();
    return rows;
  }
  void DoubleClickAvailable(int row) {
    const QModelIndex index = Available()->model()->index(row, 0);
    const QPoint at = Available()->visualRect(index).center();
    // A view takes a double click only after the press that selects the row.
    QTest::mouseClick(Available()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(Available()->viewport(), Qt::LeftButton, {}, at);
  }
  void DoubleClickSelected(int row) {
    const QPoint at = Selected()->visualItemRect(Selected()->item(row)).center();
    QTest::mouseClick(Selected()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(Selected()->viewport(), Qt::LeftButton, {}, at);
  }
};

const char* ExampleGroups = "alt.binaries.sounds.mp3\r\nALT.BINARIES.SOUNDS.MP3.COMPLETE_CD\r\nalt."
                            "binaries.sounds.flac\r\n";
} // namespace

TEST_F(FormNewsGroups, ControlsAsDesigned) {
  Create(ExampleGroups);
  EXPECT_EQ(Form->windowTitle(), "Select Newsgroups");
  EXPECT_EQ(Form->minimumSize(), QSize(400, 240));
  EXPECT_EQ(Find<QGroupBox>("GroupBox1")->title(), "Available Newsgroups");
  EXPECT_EQ(Find<QGroupBox>("GroupBox2")->title(), "Selected Newsgroups");
  EXPECT_EQ(Find<QLabel>("Label2")->text(), "&FILTER:");
  EXPECT_EQ(Find<QLabel>("Label1")->text(), "Newsgroup must contain ...");
  EXPECT_EQ(Filter()->toolTip(), "Enter words to search for");
  EXPECT_EQ(Find<QPushButton>("ButtonClear")->text(), "C&lear Selections");
  EXPECT_EQ(Find<QPushButton>("ButtonHelp")->text(), "&Help");
  EXPECT_EQ(Find<QPushButton>("Button2")->text(), "&Okay");
  EXPECT_TRUE(Find<QPushButton>("Button2")->isDefault());
  EXPECT_EQ(Find<QPushButton>("Button1")->text(), "&Cancel");
  EXPECT_EQ(Find<QTimer>("Timer1")->interval(), 1000);
  EXPECT_TRUE(Find<QTimer>("Timer1")->isActive());
  EXPECT_EQ(Find<QGroupBox>("GroupBox1")->property("helpContext").toInt(), 2090);
  EXPECT_EQ(Find<QLabel>("Label2")->property("helpContext").toInt(), 2091);
  EXPECT_EQ(Rows().size(), 3);
}

TEST_F(FormNewsGroups, FilterAppliesOnTheTimerTickOnly) {
  Create(ExampleGroups);
  QTest::keyClicks(Filter(), "mp3");
  EXPECT_EQ(Rows().size(), 3); // not per keystroke
  Form->Timer1Timer();
  EXPECT_EQ(Rows(),
            QStringList({"alt.binaries.sounds.mp3", "ALT.BINARIES.SOUNDS.MP3.COMPLETE_CD"}));
  Form->SetFilterText("sounds mp3");
  Form->Timer1Timer();
  EXPECT_TRUE(Rows().isEmpty());
}

TEST_F(FormNewsGroups, DoubleClicksMoveGroupsBothWays) {
  Create(ExampleGroups);
  Form->FilterSelected({"ALT.binaries.sounds.FLAC"});
  EXPECT_EQ(Rows(),
            QStringList({"alt.binaries.sounds.mp3", "ALT.BINARIES.SOUNDS.MP3.COMPLETE_CD"}));
  DoubleClickAvailable(0);
  EXPECT_EQ(Rows(), QStringList({"ALT.BINARIES.SOUNDS.MP3.COMPLETE_CD"}));
  EXPECT_EQ(SelectedRows(), QStringList({"ALT.binaries.sounds.FLAC", "alt.binaries.sounds.mp3"}));
  DoubleClickAvailable(0);
  EXPECT_TRUE(Rows().isEmpty()); // the last row moved: the view is empty

  DoubleClickSelected(0);
  EXPECT_EQ(Rows(), QStringList({"alt.binaries.sounds.flac"}));
  EXPECT_EQ(Selected()->currentRow(), 0);
  QTest::mouseClick(Find<QPushButton>("ButtonClear"), Qt::LeftButton);
  EXPECT_EQ(Rows().size(), 3);
  EXPECT_TRUE(SelectedRows().isEmpty());
}

TEST_F(FormNewsGroups, KeysMoveGroupsWithoutTheMouse) {
  Create(ExampleGroups);
  Available()->setFocus();
  QTest::keyClick(Available(), Qt::Key_Down); // to the first row
  QTest::keyClick(Available(), Qt::Key_Space);
  QTest::keyClick(Available(), Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(SelectedRows().size(), 2);
  EXPECT_EQ(Rows().size(), 1);
  Selected()->setCurrentRow(0);
  QTest::keyClick(Selected(), Qt::Key_Left, Qt::ControlModifier);
  QTest::keyClick(Selected(), Qt::Key_Space);
  EXPECT_TRUE(SelectedRows().isEmpty());
  EXPECT_EQ(Rows().size(), 3);
  EXPECT_TRUE(Form->isVisible()); // neither key closed the window
}

TEST_F(FormNewsGroups, EnterClosesAsOkayAndEscapeAsCancel) {
  Create(ExampleGroups);
  Filter()->setFocus();
  QTest::keyClick(Filter(), Qt::Key_Return);
  EXPECT_EQ(Form->result(), QDialog::Accepted);
  EXPECT_FALSE(Form->isVisible());

  Form->show();
  Filter()->setFocus();
  QTest::keyClick(Filter(), Qt::Key_Escape);
  EXPECT_EQ(Form->result(), QDialog::Rejected);
}

TEST_F(FormNewsGroups, HelpShowsTopic2000) {
  Create(ExampleGroups);
  Host.ExpectHelp(2000, false); // a failure is not reported
  QTest::mouseClick(Find<QPushButton>("ButtonHelp"), Qt::LeftButton);
}

TEST_F(FormNewsGroups, ChangedListIsSavedWhenTheWindowGoes) {
  Create(ExampleGroups);
  Form->AddGroup("alt.new");
  Form.reset();
  EXPECT_EQ(ReadWholeFile(Host.ProgramDir.Path() + "groups.txt"),
            "alt.binaries.sounds.flac\r\nalt.binaries.sounds.mp3\r\n"
            "ALT.BINARIES.SOUNDS.MP3.COMPLETE_CD\r\nalt.new\r\n");
}
