// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ScriptedHost.h"
#include "ui/NewsGroupCommands.h"
#include "ui/NewsGroupUnit.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
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

// The Tools menu's newsgroup commands, as the window asks them.
namespace {
using TLines = std::vector<std::string>;
struct NewsGroups : ::testing::Test {
  TWithScriptedHost Scripted;
  TScriptedHost& Host = Scripted.Host;
  TNewsGroupSelection Selection;
  std::string Path(const std::string& name) const { return Host.ProgramDir.Path() + name; }
  std::string Write(const std::string& name, std::string_view bytes) const {
    return Host.ProgramDir.Write(name, bytes);
  }
  TLines Known() const { return Selection.KnownGroups.Groups(); }
};
} // namespace

TEST_F(NewsGroups, AddCommand) {
  Selection.KnownGroups.Add("alt.binaries.sounds.mp3");
  const std::string prompt = "Newsgroup name (ie. alt.binaries.sounds.mp3";
  Host.ExpectInputBox("Enter Newsgroup to Add", prompt, "alt.binaries.", std::nullopt);
  AddNewsGroup(Selection);
  EXPECT_EQ(Host.InputMaxLength, 255);

  Host.ExpectInputBox("Enter Newsgroup to Add", prompt, "alt.binaries.",
                      " Alt.Binaries.Sounds.Mp3 ");
  Host.ExpectMessage(TMessageKind::Information,
                     "Alt.Binaries.Sounds.Mp3 is already in the listing");
  AddNewsGroup(Selection);
  Host.ExpectInputBox("Enter Newsgroup to Add", prompt, "alt.binaries.", "nodot");
  Host.ExpectMessage(TMessageKind::Information, "nodot is not a valid news group name");
  AddNewsGroup(Selection);
  EXPECT_EQ(Selection.LastGroupAdded, "");

  Host.ExpectInputBox("Enter Newsgroup to Add", prompt, "alt.binaries.", "\t alt.new.group \r\n");
  AddNewsGroup(Selection);
  EXPECT_EQ(Selection.LastGroupAdded, "alt.new.group");
  EXPECT_TRUE(Selection.KnownGroups.Contains("alt.new.group"));
  Host.ExpectInputBox("Enter Newsgroup to Add", prompt, "alt.new.group", std::nullopt);
  AddNewsGroup(Selection);
}

TEST_F(NewsGroups, ImportCommands) {
  // A list takes the place of the whole list: asked when that holds groups, told after.
  const std::string list = Write("mine.txt", "x.y\n");
  const auto replacing = [&](const std::string& name, TMessageResult answer) {
    Host.ExpectMessage(TMessageKind::Confirmation,
                       "Your list of 1 newsgroup will be replaced by " + name + ".\nReplace it?",
                       answer);
    if (answer == TMessageResult::Yes)
      Host.ExpectMessage(TMessageKind::Information, "1 newsgroup loaded from " + name);
  };
  Host.ExpectOpenFileDialog("Import NewsGroups|0|", list);
  Host.ExpectMessage(TMessageKind::Information, "1 newsgroup loaded from mine.txt");
  ImportNewsGroups(Selection, false);
  EXPECT_EQ(Known(), TLines{"x.y"});
  Host.ExpectOpenFileDialog("Import NewsGroups|0|", Write("other.txt", "o.t\n"));
  replacing("other.txt", TMessageResult::No);
  ImportNewsGroups(Selection, false);
  EXPECT_EQ(Known(), TLines{"x.y"});
  const auto& filters = Host.LastOpenDialog.Filters;
  ASSERT_EQ(filters.size(), 3u);
  EXPECT_EQ(filters[0].Name, "Text File (*.txt)");
  EXPECT_EQ(filters[1].Name, "Forte Agent (*.dat) ");
  EXPECT_EQ(filters[2].Name, "All files (*.*)");

  Host.ExpectOpenFileDialog("Import NewsGroups|0|", std::nullopt);
  ImportNewsGroups(Selection, false);
  EXPECT_EQ(Known(), TLines{"x.y"});

  // ProgramFiles set: its Agent folder, else an error box and no dialog.
  Host.Environment = {{"ProgramFiles", Host.ProgramDir.Path() + "pf"}};
  Host.ExpectMessage(TMessageKind::Error, "Cannot find the Agent Newsgroup list");
  ImportNewsGroups(Selection, true);
  std::filesystem::create_directories(Path("pf/Agent/Data"));
  Write("pf/Agent/Data/groups.dat", "agent.group\n");
  replacing("groups.dat", TMessageResult::Yes);
  ImportNewsGroups(Selection, true);
  EXPECT_EQ(Known(), TLines{"agent.group"});

  // No ProgramFiles: the default Wine prefix, else the question and the dialog.
  Host.Environment = {{"HOME", Host.ProgramDir.Path() + "home"}};
  Host.ExpectMessage(TMessageKind::Confirmation,
                     "Cannot locate your Agent GROUPS.DAT file.\n\rDo you want to try to locate "
                     "this file yourself?",
                     TMessageResult::Yes);
  Host.ExpectOpenFileDialog("Import NewsGroups|1|groups.dat", list);
  replacing("mine.txt", TMessageResult::Yes);
  ImportNewsGroups(Selection, true);
  EXPECT_EQ(Known(), TLines{"x.y"});
  Host.ExpectMessage(TMessageKind::Confirmation, AgentListQuestion, TMessageResult::No);
  ImportNewsGroups(Selection, true);
  std::filesystem::create_directories(Path("home/.wine/drive_c/Program Files (x86)/Agent/Data"));
  Write("home/.wine/drive_c/Program Files (x86)/Agent/Data/groups.dat", "wine.group\n");
  replacing("groups.dat", TMessageResult::Yes);
  ImportNewsGroups(Selection, true);
  EXPECT_EQ(Known(), TLines{"wine.group"});

  Host.ExpectShellOpen("groups.txt", TShellResult::FileNotFound);
  Host.ExpectError(ecGeneral, Path("groups.txt")); // the file to edit by hand
  EditNewsGroupList();
}
