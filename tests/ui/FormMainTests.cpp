// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/CRC32Unit.h"
#include "audio/ID3GenresUnit.h"
#include "audio/TrackInfo.h"
#include "common/AppVersionUnit.h"
#include "common/FileUnit.h"
#include "common/RememberedListsUnit.h"
#include "par2/RecoveryPackets.h"
#include "par2/RecoverySetUnit.h"
#include "platform/WindowPlace.h"
#include "support/Mp3Builder.h"
#include "support/ScriptedHost.h"
#include "ui/AboutUnit.h"
#include "ui/LivePreviewUnit.h"
#include "ui/MainUnit.h"
#include "ui/NewsGroupUnit.h"
#include "ui/VerifyUnit.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDragEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << text.toStdString();
}
QT_END_NAMESPACE

namespace {
struct TTagFields {
  std::string Artist = "";
  std::string Album = "";
  std::string Year = "";
  int BitRateIndex = 9; // 128 kbit/s
};

TBytes TaggedTrack(const TTagFields& s) {
  TBytes frames;
  if (!s.Artist.empty())
    frames += Id3v2Frame(3, "TPE1", TextData(0, s.Artist));
  if (!s.Album.empty())
    frames += Id3v2Frame(3, "TALB", TextData(0, s.Album));
  if (!s.Year.empty())
    frames += Id3v2Frame(3, "TYER", TextData(0, s.Year));
  frames += Id3v2Frame(3, "TIT2", TextData(0, "Title by " + s.Artist));
  return Id3v2Tag(3, frames) + Frames({.BitRateIndex = s.BitRateIndex}, 30);
}

struct FormMain : ::testing::Test {
  TWithScriptedHost Scripted;
  TScriptedHost& Host = Scripted.Host;
  std::unique_ptr<TFormMain> Form;

  std::string Folder() const { return Host.ProgramDir.Path(); }
  void ShipListFiles() {
    for (const char* name : RememberedListFileNames)
      Host.ProgramDir.Write(name, "");
  }
  void Create() {
    Form = std::make_unique<TFormMain>();
    Form->show();
  }
  std::vector<std::string> WriteTracks(const std::vector<TTagFields>& fields) {
    std::vector<std::string> paths;
    std::filesystem::create_directories(Folder() + "album");
    for (std::size_t i = 0; i < fields.size(); ++i)
      paths.push_back(
          Host.ProgramDir.Write("album/" + std::to_string(i + 1) + ".mp3", TaggedTrack(fields[i])));
    return paths;
  }
  void Choose(const std::vector<std::string>& paths) {
    Host.ExpectOpenFilesDialog("Select the Tracks to Add|Select Tracks|" + Form->TrackFolder,
                               paths);
    Form->ButtonChooseTracksClick();
    Host.VerifyAllShown();
  }
  QStringList Lines() const {
    QStringList lines;
    for (int i = 0; i < Form->ListBox1->count(); ++i)
      lines << Form->ListBox1->item(i)->text();
    return lines;
  }
};
} // namespace

TEST_F(FormMain, FirstStartWithoutFiles) {
  std::string lists; // the remembered lists, once, each named
  for (const char* name : RememberedListFileNames)
    lists += (lists.empty() ? "" : "\n") + Folder() + name;
  Host.ExpectError(ecOpenForReading, lists);
  Create();
  EXPECT_EQ(Form->windowTitle(), "Tamberlon - Untitled");
  EXPECT_EQ(Form->LabelTrackCount->text(), "0 Tracks");
  EXPECT_TRUE(Form->HidePathNamesInTrackListing->isChecked());
  EXPECT_FALSE(Form->UseID3TagInfo->isChecked());
  EXPECT_TRUE(Form->SortFilesonSelection1->isChecked());
  EXPECT_FALSE(Form->DocumentItem(TDocumentRole::Sfv)->isChecked());
  EXPECT_EQ(Form->NewsGroupFilter, "mp3");
  for (QComboBox* box : {Form->ComboBoxEncoder, Form->ComboBoxCodec, Form->ComboBoxRippedBy,
                         Form->ComboBoxPostedBy, Form->ComboBoxNewsgroups, Form->ComboBoxArtist})
    EXPECT_EQ(box->currentText(), "") << box->objectName().toStdString();
  EXPECT_EQ(Form->ComboBoxArtist->count(), 0); // the first clearing empties the designed list
  ASSERT_EQ(Form->ComboBoxGenre->count(), 148);
  EXPECT_EQ(Form->ComboBoxGenre->itemText(42), "Soul");
  EXPECT_EQ(Form->ComboBoxBitRate->itemText(8), "298 K/sec");
  // As designed where the screen has room, and wide enough that the boxes' content is
  // whole; a smaller screen scrolls the content (the window may be made smaller).
  EXPECT_GE(Form->width(), 632);
  EXPECT_EQ(Form->height(), 561);
  EXPECT_LT(Form->minimumHeight(), 561);
  EXPECT_GE(Form->ComboBoxRecordLabel->width(),
            Form->ComboBoxRecordLabel->fontMetrics().horizontalAdvance(QString(40, 'M')) / 2);
  EXPECT_EQ(Form->findChild<QPushButton*>("ButtonChooseTracks")->toolTip(),
            "Select the tracks to be included");
  EXPECT_EQ(Form->Open1->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
}

// Every row of the field table and of the document kinds names a control of the kind it
// needs: a wrong name builds cleanly, and only this finds it before a user does.
TEST_F(FormMain, EveryRowNamesAControlOfItsKind) {
  ShipListFiles();
  Create();
  for (const TAlbumField& field : AlbumFields) {
    if (field.Box.empty())
      continue;
    SCOPED_TRACE(std::string(field.Box));
    const bool found = std::visit(
        [&](auto member) {
          using TMember = decltype(member);
          if constexpr (std::is_same_v<TMember, std::string TAlbumFieldTexts::*>)
            return Form->FieldControl<QComboBox>(field) != nullptr;
          else if constexpr (std::is_same_v<TMember, bool TAlbumFieldTexts::*>)
            return Form->FieldControl<QCheckBox>(field) != nullptr;
          else if constexpr (std::is_same_v<TMember, int TAlbumFieldTexts::*>)
            return Form->FieldChoices(field) != nullptr;
          else
            return Form->FieldControl<QDateEdit>(field) != nullptr;
        },
        field.Text);
    EXPECT_TRUE(found);
  }
  for (const TDocumentKind& kind : DocumentKinds) {
    SCOPED_TRACE(std::string(kind.Name));
    QAction* item = Form->DocumentItem(kind.Role);
    if (kind.MenuName.empty()) {
      EXPECT_EQ(item, nullptr);
      continue;
    }
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->objectName().toStdString(), kind.MenuName);
    EXPECT_TRUE(item->isCheckable());
  }
}

TEST_F(FormMain, KeyboardFollowsTheScreen) {
  ShipListFiles();
  Create();
  // Tab visits the controls as the screen shows them: group by group, top to bottom,
  // left to right.
  QStringList chain;
  QWidget* widget = Form->ListBox1;
  do {
    if (widget->isEnabled() && widget->isVisibleTo(Form.get()) &&
        (widget->focusPolicy() & Qt::TabFocus) && !widget->objectName().isEmpty() &&
        !widget->objectName().startsWith("qt_")) // a box's own edit is the box
      chain << widget->objectName();
    widget = widget->nextInFocusChain();
  } while (widget != Form->ListBox1 && chain.size() < 100);
  EXPECT_EQ(chain.join(' ').toStdString(),
            "ListBox1 ButtonChooseTracks ButtonMoveUp ButtonMoveDown MediaPlayer1Play "
            "MediaPlayer1Stop ButtonClearTracks ComboBoxArtist ComboBoxAlbumTitle ComboBoxYear "
            "ComboBoxSource ComboBoxGenre ComboBoxRecordLabel ComboBoxEncoder ComboBoxCodec "
            "ComboBoxBitRate CheckBoxVBR ComboBoxSampleRate ComboBoxBitsPerSample ComboBoxID3Tag "
            "RadioGroupStereoMode0 "
            "RadioGroupStereoMode1 RadioGroupStereoMode2 RadioGroupStereoMode3 ComboBoxRippedBy "
            "DateTimePickerRipDate ComboBoxPostedBy DateTimePickerPostDate ComboBoxNewsgroups "
            "ButtonEditNGList ButtonPreviewNFO ButtonMakeNFO");
  // Every label leads to its box, and every menu and button opens, by a mnemonic that
  // nothing else in the window uses (Alt+P once opened a label's box, never Preview).
  std::map<QChar, QStringList> owners;
  const auto take = [&](const QString& text, bool required) {
    const qsizetype at = text.indexOf('&');
    EXPECT_TRUE(at >= 0 || !required) << text.toStdString();
    if (at >= 0 && at + 1 < text.size())
      owners[text.at(at + 1).toUpper()] << text;
  };
  for (QAction* menu : Form->menuBar()->actions())
    take(menu->text(), true);
  for (QLabel* label : Form->findChildren<QLabel*>())
    if (label->buddy() && label->buddy()->isEnabled())
      take(label->text(), false);
  for (QAbstractButton* button : Form->findChildren<QAbstractButton*>())
    if (button->isVisibleTo(Form.get()))
      take(button->text(), false);
  for (const auto& [letter, texts] : owners)
    EXPECT_EQ(texts.size(), 1) << texts.join(", ").toStdString();
}

TEST_F(FormMain, PreferencesRoundTrip) {
  ShipListFiles();
  Host.ProgramDir.Write("tamberlon.INI",
                        "[MenuPrefs]\r\nHidePaths=0\r\nUsedID3Tags=2\r\nSortSelections=yes\r\n"
                        "MakeSFV=1\r\nInitialDir=/music/\r\nNewsGroupFilter=flac\r\n"
                        "Par2Redundancy=25\r\nPar2CoverLargestFile=0\r\n"
                        "[InitPrefs]\r\nEncoder=EAC\r\nRippedBy=me\r\n"
                        "NGPostedTo=b.two,a.one\r\n[Mine]\r\nkept=1\r\n"
                        "[Window]\r\nMainLeft=-5000\r\nMainTop=4000\r\nMainWidth=700\r\n"
                        "MainHeight=500\r\n");
  Create();
  // Left on a screen unplugged since: back on this one.
  EXPECT_TRUE(Form->screen()->availableGeometry().contains(Form->frameGeometry()));
  EXPECT_EQ(Form->size(), QSize(700, 500));
  EXPECT_FALSE(Form->HidePathNamesInTrackListing->isChecked());
  EXPECT_TRUE(Form->UseID3TagInfo->isChecked());
  EXPECT_TRUE(Form->SortFilesonSelection1->isChecked()); // "yes": the default
  EXPECT_TRUE(Form->DocumentItem(TDocumentRole::Sfv)->isChecked());
  EXPECT_FALSE(Form->Par2CoverLargestFile1->isChecked());
  EXPECT_EQ(Form->TrackFolder, "/music/");
  EXPECT_EQ(Form->NewsGroupFilter, "flac");
  EXPECT_EQ(Form->ComboBoxEncoder->currentText(), "EAC");
  EXPECT_EQ(Form->ComboBoxRippedBy->currentText(), "me");
  EXPECT_EQ(Form->ComboBoxNewsgroups->currentText(), "a.one");
  EXPECT_EQ(Form->ComboBoxNewsgroups->count(), 2);

  // A changed option is in the file at once: a kill loses nothing.
  Form->DocumentItem(TDocumentRole::M3u)->setChecked(true);
  EXPECT_NE(ReadWholeFile(Folder() + "tamberlon.INI").find("MakeM3U=1"), std::string::npos);

  Form->ComboBoxPostedBy->setEditText("poster");
  Form->move(10, 20);
  Form->close();
  const std::string ini = ReadWholeFile(Folder() + "tamberlon.INI");
  for (const char* line :
       {"HidePaths=0", "UsedID3Tags=1", "MakeSFV=1", "PostedBy=poster", "Par2Redundancy=25",
        "Par2CoverLargestFile=0", "NGPostedTo=a.one,b.two", "kept=1", "Encoder=EAC", "MainLeft=10",
        "MainTop=20", "MainWidth=700", "MainHeight=500"})
    EXPECT_NE(ini.find(line), std::string::npos) << line << "\n" << ini;
  // The typed poster reaches the preferences, not the remembered list.
  EXPECT_EQ(ReadWholeFile(Folder() + "postedby.txt"), "");
}

TEST_F(FormMain, ChoosingOneTrack) {
  ShipListFiles();
  Create();
  const auto paths = WriteTracks(
      {{.Artist = "Solo", .Album = "One, a title longer than its box is wide", .Year = "2004"}});
  Choose(paths);
  EXPECT_EQ(Form->ComboBoxAlbumTitle->lineEdit()->cursorPosition(), 0); // shows its start
  EXPECT_EQ(Form->LabelTrackCount->text(), "1 Track");
  EXPECT_EQ(Lines(), QStringList({" 1. 1.mp3"}));
  EXPECT_EQ(Form->ComboBoxArtist->currentText(), "Solo");
  EXPECT_FALSE(Form->Album().VariousArtists);
  EXPECT_EQ(Form->ComboBoxAlbumTitle->currentText(), "One, a title longer than its box is wide");
  EXPECT_EQ(Form->ComboBoxYear->currentText(), "2004");
  EXPECT_EQ(Form->ComboBoxEncoder->currentText(), "Unknown");
  EXPECT_EQ(Form->ComboBoxBitRate->currentText(), "128K/s");
  EXPECT_EQ(Form->ComboBoxSampleRate->currentText(), "44100Hz");
  EXPECT_EQ(Form->ComboBoxID3Tag->currentText(), "ID3v2.3");
  EXPECT_EQ(Form->StereoModeButtons->checkedId(), 1);
  EXPECT_EQ(Form->TrackFolder, Folder() + "album/");
  EXPECT_EQ(Host.MediaCalls.back(), "Open " + paths.front());
  EXPECT_TRUE(Form->ButtonChooseTracks->isEnabled());
  EXPECT_EQ(Host.BusyDepth, 0);
}

TEST_F(FormMain, MajoritiesAcrossTracks) {
  ShipListFiles();
  Create();
  Choose(WriteTracks({{.Artist = "A", .Year = "2001", .BitRateIndex = 9},
                      {.Artist = "A", .Year = "1999", .BitRateIndex = 11},
                      {.Artist = "B", .Year = "1999", .BitRateIndex = 11}}));
  EXPECT_EQ(Form->ComboBoxArtist->currentText(), "A");
  EXPECT_EQ(Form->ComboBoxYear->currentText(), "1999");
  EXPECT_EQ(Form->ComboBoxBitRate->currentText(), "192K/s");
  EXPECT_EQ(Form->LabelTrackCount->text(), "3 Tracks");

  Choose(WriteTracks({{.Artist = "A", .BitRateIndex = 9},
                      {.Artist = "B", .BitRateIndex = 11},
                      {.Artist = "C"},
                      {.Artist = "D"}}));
  EXPECT_EQ(Form->ComboBoxArtist->currentText(), "Various Artists");
  EXPECT_TRUE(Form->Album().VariousArtists);
  EXPECT_EQ(Form->ComboBoxBitRate->currentText(), "128K/s");
  EXPECT_EQ(Form->ComboBoxYear->currentText(), "");
}

TEST_F(FormMain, UntaggedAndUnreadableTracksStillGetTheirLines) {
  ShipListFiles();
  Create();
  const std::string untagged = Host.ProgramDir.Write("plain.mp3", Frames({}, 30));
  const std::string empty = Host.ProgramDir.Write("empty.mp3", "");
  Host.ExpectOpenFilesDialog("Select the Tracks to Add|Select Tracks|", {untagged, empty});
  Host.ExpectError(ecTrackFileEmpty, empty); // once, naming the file and why
  Form->ButtonChooseTracksClick();
  EXPECT_EQ(Lines(), QStringList({" 1. empty.mp3", " 2. plain.mp3"}));
  EXPECT_EQ(Form->ComboBoxArtist->currentText(), "");
  EXPECT_EQ(Form->ComboBoxEncoder->currentText(), "Unknown");
  // The unread file, first in the listing, does not outvote the one that was read.
  EXPECT_EQ(Form->ComboBoxBitRate->currentText(), "128K/s");
  EXPECT_EQ(Form->ComboBoxSampleRate->currentText(), "44100Hz");
  EXPECT_EQ(Form->LabelStatus->text(), "2 tracks read, 1 could not be read"); // not a box

  Form->UseID3TagInfo->trigger();
  EXPECT_EQ(Lines(), QStringList({" 1. No ID3 Tag Available", " 2. No ID3 Tag Available"}));

  // Tracks of two kinds: the strip says which the fields follow (it said nothing).
  const std::string flac = Folder() + "lossless.flac";
  std::filesystem::copy_file(std::string(TAMBERLON_TEST_DATA) + "/flac-16bit-tags.flac", flac);
  const std::string other = Host.ProgramDir.Write("other.mp3", Frames({}, 30));
  Host.ExpectOpenFilesDialog("Select the Tracks to Add|Select Tracks|" + Form->TrackFolder,
                             {untagged, other, flac});
  Form->ButtonChooseTracksClick();
  EXPECT_EQ(Form->LabelStatus->text(),
            "3 tracks read; tracks of 2 kinds: the fields follow the MP3 tracks");
}

TEST_F(FormMain, MoveUpAndDownAndCancelledDialog) {
  ShipListFiles();
  Create();
  Choose(WriteTracks({{.Artist = "A"}, {.Artist = "B"}, {.Artist = "C"}}));
  Form->ListBox1->setCurrentRow(0);
  Form->ButtonMoveUpClick();
  EXPECT_EQ(Lines(), QStringList({" 1. 1.mp3", " 2. 2.mp3", " 3. 3.mp3"}));
  Form->ListBox1->setCurrentRow(2);
  Form->ButtonMoveDownClick();
  EXPECT_EQ(Lines().back(), " 3. 3.mp3");
  Form->ButtonMoveUpClick();
  EXPECT_EQ(Lines(), QStringList({" 1. 1.mp3", " 2. 3.mp3", " 3. 2.mp3"}));
  EXPECT_EQ(Form->ListBox1->currentRow(), 1);
  // Focus alone gives the list a current row; without a selected line nothing moves.
  Form->ListBox1->clearSelection();
  Form->ButtonMoveUpClick();
  Form->ButtonMoveDownClick();
  EXPECT_EQ(Lines(), QStringList({" 1. 1.mp3", " 2. 3.mp3", " 3. 2.mp3"}));

  Host.ExpectOpenFilesDialog("Select the Tracks to Add|Select Tracks|" + Form->TrackFolder, {});
  Form->ButtonChooseTracksClick();
  EXPECT_EQ(Lines().size(), 3);

  // Two discs are listed under their headings, the other files below, greyed; a heading
  // moves nothing, and a track moves by its position whatever rows sit between.
  for (const char* disc : {"set/CD1", "set/CD2"})
    std::filesystem::create_directories(Folder() + disc);
  const std::vector<std::string> discs = {Host.ProgramDir.Write("set/CD1/a.mp3", Frames({}, 9)),
                                          Host.ProgramDir.Write("set/CD2/b.mp3", Frames({}, 9)),
                                          Host.ProgramDir.Write("set/CD2/c.mp3", Frames({}, 9))};
  Host.ProgramDir.Write("set/cover.jpg", "not much of a picture");
  Form->IncludeExtras1->trigger();
  Choose(discs);
  EXPECT_EQ(Form->TrackFolder, Folder() + "set/");
  EXPECT_EQ(Lines(), QStringList({"Disc 1", " 1. a.mp3", "Disc 2", " 2. b.mp3", " 3. c.mp3",
                                  "    cover.jpg (21 bytes)"}));
  EXPECT_EQ(Form->ListBox1->item(0)->flags(), Qt::NoItemFlags);
  Form->ListBox1->setCurrentRow(4);
  Form->ButtonMoveUpClick();
  EXPECT_EQ(Lines()[3], " 2. c.mp3");
  EXPECT_EQ(Form->ListBox1->currentRow(), 3);
  // A disc's rip log is scored in the strip (four settings and the track's file unstated).
  Host.ProgramDir.Write("set/CD2/rip.log",
                        "X Lossless Decoder version 20230627\nRipper mode : XLD Secure "
                        "Ripper\nDisable audio cache : OK\nGap status : Analyzed, "
                        "Appended\nTrack 01\n CRC32 hash (test run) : 1\n CRC32 hash : "
                        "1\nEnd of status report\n");
  Choose(discs);
  EXPECT_TRUE(Form->LabelStatus->text().endsWith("; the rip log scores 95/100"))
      << Form->LabelStatus->text().toStdString();
}

// The recovery files are made behind a progress box; Cancel there leaves no file at all.
TEST_F(FormMain, CancellingTheRecoveryFilesSavesNothing) {
  ShipListFiles();
  Create();
  Choose(WriteTracks({{.Artist = "A", .Album = "B"}}));
  Form->DocumentItem(TDocumentRole::Par2)->setChecked(true);
  const std::string nfo = Folder() + "album/A - B.nfo";
  Host.ExpectSaveFileDialog("Save .NFO file|nfo|A - B.nfo|" + Form->TrackFolder, nfo);
  QTimer::singleShot(0, Form.get(), [&] {
    auto* box = Form->findChild<QProgressDialog*>("RecoveryProgress");
    ASSERT_NE(box, nullptr);
    box->cancel();
  });
  Form->ButtonMakeNFOClick();
  EXPECT_EQ(Form->LabelStatus->toolTip(), "Saving cancelled; nothing was saved");
  const auto entries = ReadFolder(Folder() + "album/");
  ASSERT_TRUE(entries);
  for (const TFolderEntry& entry : *entries)
    EXPECT_TRUE(entry.Name.ends_with(".mp3")) << entry.Name;
}

TEST_F(FormMain, SaveWritesTheDocumentsAndRemembersTheTexts) {
  ShipListFiles();
  Create();
  Choose(WriteTracks({{.Artist = "AC/DC", .Album = "Live: 1991?"}}));
  Form->DocumentItem(TDocumentRole::Sfv)->setChecked(true);
  Form->ComboBoxRippedBy->setEditText("ripper");
  const std::string nfo = Folder() + "album/ACDC - Live 1991.nfo";
  Host.ExpectSaveFileDialog("Save .NFO file|nfo|ACDC - Live 1991.nfo|" + Form->TrackFolder, nfo);
  Form->ButtonMakeNFOClick();
  EXPECT_EQ(Form->LabelStatus->text(), "Saved ACDC - Live 1991.nfo and .sfv");
  EXPECT_NE(ReadWholeFile(nfo).find("Artist     : AC/DC\r\n"), std::string::npos);
  // Chosen while the option was off: the save computes the checksum it lacks.
  const std::string sfv = ReadWholeFile(Folder() + "album/ACDC - Live 1991.sfv");
  EXPECT_EQ(sfv.find("Chksum N/A"), std::string::npos) << sfv;
  EXPECT_EQ(sfv.substr(0, 15), "1.mp3 " + *FileChecksumText(Folder() + "album/1.mp3") + "\r");
  EXPECT_EQ(Form->windowTitle(), "Tamberlon - ACDC - Live 1991.nfo");
  EXPECT_EQ(ReadWholeFile(Folder() + "rippedby.txt"), "ripper\r\n");
  EXPECT_EQ(ReadWholeFile(Folder() + "encoders.txt"), "Unknown\r\n");

  // The .sfv and .m3u beside it are replaced only when the user agrees, asked once for
  // both; No still saves the .nfo.
  const std::string sfvPath = Folder() + "album/ACDC - Live 1991.sfv";
  Form->DocumentItem(TDocumentRole::M3u)->setChecked(true);
  for (const TMessageResult answer : {TMessageResult::No, TMessageResult::Yes}) {
    Host.ProgramDir.Write("album/ACDC - Live 1991.sfv", "old\r\n");
    Host.ProgramDir.Write("album/ACDC - Live 1991.m3u", "old\r\n");
    Host.ProgramDir.Write("album/ACDC - Live 1991.nfo", "old\r\n");
    Host.ExpectSaveFileDialog("Save .NFO file|nfo|ACDC - Live 1991.nfo|" + Form->TrackFolder, nfo);
    Host.ExpectMessage(TMessageKind::Confirmation,
                       "ACDC - Live 1991.sfv and ACDC - Live 1991.m3u already exist.\nDo you "
                       "want to replace them?",
                       answer);
    if (answer == TMessageResult::No)
      Host.ExpectMessage(TMessageKind::Information,
                         "The .NFO file was saved; the existing ACDC - Live 1991.sfv and ACDC - "
                         "Live 1991.m3u were kept.");
    Form->ButtonMakeNFOClick();
    Host.VerifyAllShown();
    EXPECT_NE(ReadWholeFile(nfo), "old\r\n");
    EXPECT_EQ(ReadWholeFile(sfvPath) == sfv, answer == TMessageResult::Yes);
    EXPECT_EQ(Form->LabelStatus->toolTip().endsWith(".m3u was kept"), answer == TMessageResult::No);
  }
  Form->DocumentItem(TDocumentRole::M3u)->setChecked(false);

  // A kept recovery set that lists the .nfo would no longer match the new one: asked
  // before anything is written (it was kept, and par2 verify called the .nfo damaged).
  Form->DocumentItem(TDocumentRole::Par2)->setChecked(true);
  const std::string question = " already exist.\nDo you want to replace them?";
  Host.ExpectSaveFileDialog("Save .NFO file|nfo|ACDC - Live 1991.nfo|" + Form->TrackFolder, nfo);
  Host.ExpectMessage(TMessageKind::Confirmation,
                     "ACDC - Live 1991.sfv already exists.\nDo you want to replace it?",
                     TMessageResult::Yes);
  Form->ButtonMakeNFOClick();
  Host.ExpectSaveFileDialog("Save .NFO file|nfo|ACDC - Live 1991.nfo|" + Form->TrackFolder, nfo);
  Host.ExpectMessage(TMessageKind::Confirmation,
                     "ACDC - Live 1991.sfv and ACDC - Live 1991.par2" + question,
                     TMessageResult::No);
  Host.ExpectMessage(TMessageKind::Confirmation,
                     "ACDC - Live 1991.par2 lists ACDC - Live 1991.nfo, which this save "
                     "changes, and will no longer match it.\nSave anyway?",
                     TMessageResult::No);
  Host.ProgramDir.Write("album/ACDC - Live 1991.nfo", "edited\r\n");
  Form->ButtonMakeNFOClick();
  Host.VerifyAllShown();
  EXPECT_EQ(Form->LabelStatus->text(), "Nothing saved");
  EXPECT_EQ(ReadWholeFile(nfo), "edited\r\n");
  Form->DocumentItem(TDocumentRole::Par2)->setChecked(false);

  Host.ExpectSaveFileDialog("Save .NFO file|nfo|ACDC - Live 1991.nfo|" + Form->TrackFolder,
                            std::nullopt);
  Form->ButtonMakeNFOClick();
  EXPECT_EQ(Form->LabelStatus->text(), "Nothing saved"); // in the strip, not a box

  std::filesystem::create_directory(Folder() + "album/blocked.nfo");
  Host.ExpectSaveFileDialog("Save .NFO file|nfo|ACDC - Live 1991.nfo|" + Form->TrackFolder,
                            Folder() + "album/blocked.nfo");
  Host.ExpectError(ecOpenForWriting, Folder() + "album/blocked.nfo");
  Form->ButtonMakeNFOClick();
  EXPECT_EQ(Form->windowTitle(), "Tamberlon - ACDC - Live 1991.nfo");

  // A save named like its own .sfv would put two documents into one file: refused.
  const std::string clash = Folder() + "album/x.sfv";
  Host.ExpectSaveFileDialog("Save .NFO file|nfo|ACDC - Live 1991.nfo|" + Form->TrackFolder, clash);
  Host.ExpectMessage(TMessageKind::Error,
                     "The .nfo and the .sfv would be the same file; nothing was saved\n" + clash);
  Form->ButtonMakeNFOClick();
  EXPECT_FALSE(std::filesystem::exists(clash));

  // A name longer than a file system takes is proposed cut, and saved with its .sfv.
  Form->ComboBoxArtist->setEditText(QString(300, QChar(0x0416)));
  std::string cut;
  for (int i = 0; i < 125; ++i)
    cut += "\u0416";
  Host.ExpectSaveFileDialog("Save .NFO file|nfo|" + cut + ".nfo|" + Form->TrackFolder,
                            Folder() + "album/" + cut + ".nfo");
  Form->ButtonMakeNFOClick();
  EXPECT_TRUE(std::filesystem::exists(Folder() + "album/" + cut + ".sfv"));
}

TEST_F(FormMain, PreviewShowsTheDocument) {
  ShipListFiles();
  Create();
  Choose(WriteTracks({{.Artist = "Band"}}));
  Host.ExpectPreview();
  Form->ButtonPreviewNFOClick();
  EXPECT_NE(Host.LastPreview.find("Artist     : Band"), std::string::npos);
  EXPECT_NE(Host.LastPreview.find(" 1. Title by Band"), std::string::npos);
  // A template that shows a measurement: the tracks measured behind a progress box made on
  // the window's thread (a worker's made it, which Qt warned of, and the test's handler
  // fails on).
  Host.ProgramDir.Write("template-lossless.txt", "DR $DR");
  const std::string flac = Folder() + "lossless.flac";
  std::filesystem::copy_file(std::string(TAMBERLON_TEST_DATA) + "/flac-16bit-tags.flac", flac);
  Choose({flac});
  Host.ExpectPreview();
  Form->ButtonPreviewNFOClick();
  EXPECT_TRUE(Host.LastPreview.starts_with("DR DR")) << Host.LastPreview;
}

TEST_F(FormMain, SelectNewsgroupsTakesTheChoiceOnlyOnOkay) {
  ShipListFiles();
  Host.ProgramDir.Write("groups.txt", "alt.binaries.sounds.mp3\r\nalt.binaries.flac\r\n");
  Create();
  TFormNewsGroups groups(Form.get());
  Form->SetNewsGroupsForm(&groups);

  QTimer::singleShot(0, &groups, [&] {
    groups.Selection().SelectAvailable(0);
    groups.SetFilterText("changed");
    groups.reject();
  });
  Form->ButtonEditNGListClick();
  EXPECT_EQ(Form->ComboBoxNewsgroups->count(), 0);
  EXPECT_EQ(Form->NewsGroupFilter, "mp3");

  QTimer::singleShot(0, &groups, [&] {
    EXPECT_EQ(groups.FilterText(), "mp3");
    groups.Selection().SelectAvailable(0);
    groups.accept();
  });
  Form->ButtonEditNGListClick();
  EXPECT_EQ(Form->ComboBoxNewsgroups->currentText(), "alt.binaries.sounds.mp3");
  Form->ComboBoxNewsgroups->setEditText("typed");
  EXPECT_EQ(Form->ComboBoxNewsgroups->currentText(), "alt.binaries.sounds.mp3");

  // A FLAC album's filter is its kind's (the remembered "mp3" was the program's own word);
  // a filter the user typed stays.
  Choose({std::string(TAMBERLON_TEST_DATA) + "/flac-16bit-tags.flac"});
  for (const char* shown : {"flac", "jazz"}) {
    QTimer::singleShot(0, &groups, [&groups, shown] {
      EXPECT_EQ(groups.FilterText(), shown);
      groups.SetFilterText("jazz");
      groups.accept();
    });
    Form->ButtonEditNGListClick();
  }
  EXPECT_EQ(Form->NewsGroupFilter, "jazz");
}

TEST_F(FormMain, PlaybackHelpAndAddNewsgroup) {
  ShipListFiles();
  Create();
  const auto paths = WriteTracks({{.Artist = "A"}, {.Artist = "B"}});
  Choose(paths);
  Host.MediaCalls.clear();
  Form->ListBox1->setCurrentRow(1, QItemSelectionModel::NoUpdate); // current, not selected
  Form->MediaPlayer1Click(true);
  Form->ListBox1DblClick();
  EXPECT_TRUE(Host.MediaCalls.empty());
  Form->ListBox1->setCurrentRow(1);
  Form->MediaPlayer1Click(true);
  EXPECT_EQ(Host.MediaCalls, (std::vector<std::string>{"Close", "Open " + paths[1], "Play"}));
  Host.MediaOpens = false;
  Host.ExpectError(ecOpenMedia, paths[1]);
  Form->ListBox1DblClick();
  EXPECT_EQ(Form->LabelStatus->text(), "Can't play the track: no decoder");

  Host.ExpectHelp(100, false);
  Host.ExpectError(ecHelpFile, Folder() + "ZERUvez.hlp");
  Form->Contents2->trigger();
  // Without a browser the web site's button says where the site is (it did nothing); a
  // build that names no site offers no button, and opens nothing.
  TAboutBox about(Form.get());
  EXPECT_EQ(about.ButtonWebpage->isVisibleTo(&about), !GetProductURL().empty());
  if (!GetProductURL().empty()) {
    Host.ExpectShellOpen(GetProductURL(), TShellResult::Failed);
    Host.ExpectMessage(TMessageKind::Information,
                       "No web browser opened the site; its address is " + GetProductURL());
  }
  about.ButtonWebpageClick();

  Host.ProgramDir.Write("groups.txt", "");
  TFormNewsGroups groups(Form.get());
  Form->SetNewsGroupsForm(&groups);
  Form->LastGroupAdded = "alt.last";
  Host.ExpectInputBox("Enter Newsgroup to Add", "Newsgroup name (ie. alt.binaries.sounds.mp3",
                      "alt.last", "alt.new");
  Form->AddaNewsgroup1Click();
  EXPECT_EQ(Form->LastGroupAdded, "alt.new");
}

TEST_F(FormMain, DroppedFilesAndFoldersAreChosenTracks) {
  ShipListFiles();
  Create();
  const auto paths = WriteTracks({{.Artist = "B"}, {.Artist = "A"}});
  Host.ProgramDir.Write("album/notes.txt", "not audio");
  const std::string single = Host.ProgramDir.Write("single.mp3", TaggedTrack({.Artist = "C"}));
  const std::string cover = Host.ProgramDir.Write("folder.jpg", "not audio");
  QMimeData data;
  // A cover, a file twice and a track with its own folder: each track once, the cover left out.
  data.setUrls({QUrl::fromLocalFile(ToQt(Folder() + "album")), QUrl::fromLocalFile(ToQt(single)),
                QUrl::fromLocalFile(ToQt(cover)), QUrl::fromLocalFile(ToQt(single)),
                QUrl::fromLocalFile(ToQt(paths.front()))});
  QWidget* target = Form->ListBox1->viewport();
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(target, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(target, &drop);
  QTest::qWait(20); // the tracks are read after the drop has finished
  EXPECT_EQ(Lines(), QStringList({" 1. 1.mp3", " 2. 2.mp3", " 3. single.mp3"}));
  EXPECT_EQ(Form->LabelTrackCount->text(), "3 Tracks");
  EXPECT_EQ(Form->LabelStatus->toolTip(),
            "3 tracks read; 3 files left out: 1 not an audio file, 2 dropped twice");
}

TEST_F(FormMain, CancellingKeepsTheTracksReadSoFar) {
  ShipListFiles();
  Create();
  std::vector<TTagFields> fields(40, TTagFields{.Artist = "A"});
  const auto paths = WriteTracks(fields);
  // The first time the window handles events while reading, the user cancels.
  QTimer::singleShot(0, Form.get(), [&] {
    EXPECT_TRUE(Form->ButtonCancelReading->isVisible());
    EXPECT_FALSE(Form->ButtonChooseTracks->isEnabled());
    Form->ButtonCancelReadingClick();
  });
  Choose(paths);
  EXPECT_LE(Lines().size(), 1);
  EXPECT_EQ(Form->LabelTrackCount->text(), Lines().size() == 1 ? "1 Track" : "0 Tracks");
  EXPECT_FALSE(Form->ButtonCancelReading->isVisible());
  EXPECT_TRUE(Form->ButtonChooseTracks->isEnabled());
  EXPECT_EQ(Host.BusyDepth, 0);

  // Cancelled before the first track arrives (its checksum reads 2 GB of a sparse file):
  // the fields stay as clearing left them, with no made-up date, rate or codec.
  const QDate ripDate = Form->DateTimePickerRipDate->date();
  std::filesystem::resize_file(paths.front(), std::uintmax_t{2} << 30);
  Form->DocumentItem(TDocumentRole::Sfv)->setChecked(true);
  QTimer::singleShot(0, Form.get(), [&] { Form->ButtonCancelReadingClick(); });
  Choose(paths);
  EXPECT_TRUE(Lines().empty());
  EXPECT_EQ(Form->LabelStatus->text(), "Reading cancelled: 0 of 40 tracks read");
  EXPECT_EQ(Form->DateTimePickerRipDate->date(), ripDate);
  for (QComboBox* box : {Form->ComboBoxBitRate, Form->ComboBoxSampleRate, Form->ComboBoxID3Tag})
    EXPECT_EQ(box->currentText(), "") << box->objectName().toStdString();
}

// The live preview follows typing, a moved track and a template edited on disk (waited
// for, however busy the machine), keeps quiet while closed, and shows exactly what Save
// then writes.
TEST_F(FormMain, LivePreviewFollowsTheAlbum) {
  ShipListFiles();
  Host.ProgramDir.Write("template.txt",
                        "$ARTIST|$RIPPED_BY\r\n@FOR_EACH_TRACK\r\n$TRACK_FILENAME\r\n@END_TRACK");
  Create();
  Choose(WriteTracks({{.Artist = "A"}, {.Artist = "A"}}));
  Form->LivePreview1->trigger();
  const auto* memo = Form->findChild<QPlainTextEdit*>("MemoLivePreview");
  ASSERT_NE(memo, nullptr);
  // What the preview shows once it has caught up with the change (or after 10 s).
  const auto shown = [&](const std::string& expected) {
    (void)QTest::qWaitFor([&] { return memo->toPlainText().toStdString() == expected; }, 10000);
    return memo->toPlainText().toStdString();
  };
  EXPECT_EQ(shown("A|\n1.mp3\n2.mp3\n"), "A|\n1.mp3\n2.mp3\n");
  QTest::keyClicks(Form->ComboBoxRippedBy, "me");
  EXPECT_EQ(shown("A|me\n1.mp3\n2.mp3\n"), "A|me\n1.mp3\n2.mp3\n");
  Form->ListBox1->setCurrentRow(0);
  Form->ButtonMoveDownClick();
  EXPECT_EQ(shown("A|me\n2.mp3\n1.mp3\n"), "A|me\n2.mp3\n1.mp3\n");
  Host.ProgramDir.Write("template.txt", "edited: $ARTIST|$RIPPED_BY");
  EXPECT_EQ(shown("edited: A|me"), "edited: A|me");

  const std::string nfo = Folder() + "album/A.nfo";
  Host.ExpectSaveFileDialog("Save .NFO file|nfo|A.nfo|" + Form->TrackFolder, nfo);
  Form->ButtonMakeNFOClick();
  EXPECT_EQ(ReadWholeFile(nfo), memo->toPlainText().toStdString() + "\r\n");

  Form->findChild<QWidget*>("FormLivePreview")->close();
  EXPECT_FALSE(Form->LivePreview1->isChecked());
  // Open when the program ends (File > Exit closes it with the main window): remembered.
  Form->LivePreview1->trigger();
  Form->Exit1->trigger();
  EXPECT_NE(ReadWholeFile(Folder() + "tamberlon.INI").find("LivePreview=1"), std::string::npos);
}

// The live preview opens beside the main window, never over it, on a 1366x768 screen: on
// the right where it fits, else on the left, else the main window moves over, else the
// preview narrows (and the main window too where even that is not enough).
TEST(WindowPlace, SideBySideNeverOverlapping) {
  const QRect area(0, 0, 1366, 768);
  struct TCase {
    const char* Name;
    QRect Main;
    QSize Side;
    QRect ExpectedMain, ExpectedSide;
  };
  const std::vector<TCase> cases = {
      {"room on the right", {0, 0, 600, 700}, {696, 561}, {0, 0, 600, 700}, {608, 0, 696, 561}},
      {"room on the left only",
       {766, 0, 600, 700},
       {696, 561},
       {766, 0, 600, 700},
       {62, 0, 696, 561}},
      {"centred: the main window moves over",
       {363, 40, 640, 700},
       {696, 561},
       {22, 40, 640, 700},
       {670, 40, 696, 561}},
      {"leaning right: moved over the other way",
       {700, 0, 640, 700},
       {696, 561},
       {704, 0, 640, 700},
       {0, 0, 696, 561}},
      {"both too wide: the preview narrows",
       {233, 0, 900, 700},
       {696, 561},
       {0, 0, 900, 700},
       {908, 0, 458, 561}},
      {"main as wide as the screen: both narrow",
       {0, 0, 1366, 700},
       {696, 561},
       {0, 0, 998, 700},
       {1006, 0, 360, 561}},
      {"main low, preview tall: the preview kept on the screen",
       {0, 300, 600, 460},
       {696, 900},
       {0, 300, 600, 460},
       {608, 0, 696, 768}},
      {"main's bottom off the screen: brought back",
       {0, 200, 600, 700},
       {696, 561},
       {0, 68, 600, 700},
       {608, 68, 696, 561}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TSideBySide placed = PlaceSideBySide(c.Main, QRect({5000, 5000}, c.Side), area);
    EXPECT_EQ(placed.Main, c.ExpectedMain);
    EXPECT_EQ(placed.Side, c.ExpectedSide);
    EXPECT_FALSE(placed.Main.intersects(placed.Side));
    EXPECT_TRUE(area.contains(placed.Main) && area.contains(placed.Side));
  }
}

// A window is kept where the user can see it: a place remembered on a screen since
// unplugged, or larger than the screen now, comes back onto one.
TEST(WindowPlace, KeptOnAScreen) {
  const QList<QRect> screens = {{0, 0, 1366, 768}, {1366, 0, 1920, 1080}};
  struct TCase {
    const char* Name;
    QRect Frame, Expected;
  };
  const std::vector<TCase> cases = {
      {"on the screen: kept", {100, 50, 656, 609}, {100, 50, 656, 609}},
      {"on the second screen: kept there", {2000, 100, 800, 900}, {2000, 100, 800, 900}},
      {"bottom off the first screen", {100, 400, 656, 609}, {100, 159, 656, 609}},
      {"across both, more on the second: onto it", {1000, 0, 800, 600}, {1366, 0, 800, 600}},
      {"taller than the first screen: shrunk", {0, 0, 656, 900}, {0, 0, 656, 768}},
      {"off every screen: centred on the first", {-5000, 4000, 656, 609}, {355, 79, 656, 609}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(KeptOnAreas(c.Frame, screens), c.Expected);
  }
}

// A character the chosen encoding lacks is never replaced without asking: No saves
// nothing, Yes writes "?" in its place; the playlist goes beside the .nfo.
TEST_F(FormMain, EncodingQuestionAndPlaylist) {
  ShipListFiles();
  Host.ProgramDir.Write("template.txt", "$ARTIST ☃ ═");
  Create();
  Choose(WriteTracks({{.Artist = "A"}}));
  Form->NfoEncodingItems[1]->trigger(); // DOS (CP437)
  Form->DocumentItem(TDocumentRole::M3u)->setChecked(true);
  const std::string nfo = Folder() + "album/A.nfo";
  for (const TMessageResult answer : {TMessageResult::No, TMessageResult::Yes}) {
    Host.ExpectSaveFileDialog("Save .NFO file|nfo|A.nfo|" + Form->TrackFolder, nfo);
    Host.ExpectMessage(TMessageKind::Confirmation,
                       "The encoding DOS (CP437) has no place for these characters: ☃\n"
                       "Save the .NFO file with \"?\" in their place?",
                       answer);
    Form->ButtonMakeNFOClick();
    Host.VerifyAllShown();
    EXPECT_EQ(std::filesystem::exists(nfo), answer == TMessageResult::Yes);
  }
  EXPECT_EQ(ReadWholeFile(nfo), "A ? \xCD\r\n");
  EXPECT_EQ(ReadWholeFile(Folder() + "album/A.m3u"),
            "#EXTM3U\r\n#EXTINF:0,A - Title by A\r\n1.mp3\r\n");
  EXPECT_EQ(Form->LabelStatus->text(), "Saved A.nfo and .m3u");
}

// The verify window judges as the command-line check does, row by row as the worker
// threads finish, and closes with the totals.
TEST_F(FormMain, VerifyWindowJudgesEachEntry) {
  ShipListFiles();
  Create();
  std::filesystem::create_directories(Folder() + "album");
  const std::string good = Host.ProgramDir.Write("album/good.mp3", "good bytes");
  const std::string damaged = Host.ProgramDir.Write("album/damaged.mp3", "damaged bytes");
  const std::string goodCrc = CRC32Text(*FileCRC32(good));
  const std::string sfv = Host.ProgramDir.Write(
      "album/album.sfv", "; made elsewhere\r\ngood.mp3 " + goodCrc + "\r\ndamaged.mp3 " + goodCrc +
                             "\r\nmissing.mp3 " + goodCrc + "\r\n../good.mp3 " + goodCrc + "\r\n");
  TFormVerify* window = Form->VerifySfvFile(sfv);
  ASSERT_NE(window, nullptr);
  // The end is handed to the window after the last result: when it is done, all are in.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window->Running(); }, 30000));
  QStringList rows;
  for (int row = 0; row < window->TableFiles->rowCount(); ++row) {
    QStringList cells;
    for (int column = 0; column < 4; ++column)
      cells << (window->TableFiles->item(row, column)
                    ? window->TableFiles->item(row, column)->text()
                    : QString());
    rows << cells.join('|');
  }
  const QString expected = QString::fromStdString(goodCrc);
  EXPECT_EQ(
      rows,
      QStringList({"damaged.mp3|" + expected + "|" +
                       QString::fromStdString(CRC32Text(*FileCRC32(damaged))) + "|FAILED",
                   "missing.mp3|" + expected + "||MISSING", "../good.mp3|" + expected + "||UNSAFE",
                   "good.mp3|" + expected + "|" + expected + "|OK"}));
  // Worded as check words it; once done, the one button closes.
  EXPECT_EQ(window->LabelTotals->text(), "1 OK, 3 bad (1 failed, 1 missing, 1 unsafe)");
  EXPECT_EQ(window->ButtonCancel->text(), "Close");
  EXPECT_TRUE(window->ButtonCancel->isEnabled());
  EXPECT_EQ(window->windowTitle(), "Verify - album.sfv");
  window->close();

  Host.ExpectError(ecOpenForReading, Folder() + "none.sfv");
  EXPECT_EQ(Form->VerifySfvFile(Folder() + "none.sfv"), nullptr);
}

// A repairable set offers Repair: the files are rebuilt and checked again, the repair's
// words before the new totals; a set too short for its damage offers nothing.
TEST_F(FormMain, VerifyWindowRepairsARepairableSet) {
  ShipListFiles();
  Create();
  std::filesystem::create_directories(Folder() + "album");
  std::vector<TRecoveryInput> inputs;
  std::string second;
  for (int i = 1; i <= 3; ++i) {
    const std::string bytes = Frames({}, 100 * i);
    const std::string name = "0" + std::to_string(i) + ".mp3";
    inputs.push_back({name, Host.ProgramDir.Write("album/" + name, bytes), {}});
    second = i == 2 ? bytes : second;
  }
  for (const unsigned redundancy : {60u, 5u}) {
    SCOPED_TRACE(redundancy);
    for (const std::string& old : RecoverySetFiles(Folder() + "album/album.par2"))
      std::filesystem::remove(old);
    TFileSet staged;
    TRecoverySettings settings;
    settings.Redundancy = redundancy;
    settings.SliceSize = 4096;
    ASSERT_EQ(StageRecoverySet(inputs, Folder() + "album/album.par2", settings, staged,
                               TWriteMode::Replace)
                  .Outcome,
              TRecoveryOutcome::Staged);
    ASSERT_EQ(staged.Commit(), TWriteResult::Written);
    std::filesystem::remove(Folder() + "album/02.mp3");
    TFormVerify* window = Form->VerifySfvFile(Folder() + "album/album.par2");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Running(); }, 30000));
    if (redundancy == 5) {
      EXPECT_TRUE(window->ButtonRepair->isHidden());
      window->close();
      continue;
    }
    ASSERT_FALSE(window->ButtonRepair->isHidden()) << window->LabelTotals->text().toStdString();
    window->ButtonRepair->click();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window->LabelTotals->text().startsWith("Repaired: 1 file"); }, 30000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Running(); }, 30000));
    EXPECT_TRUE(window->LabelTotals->text().contains(" blocks rebuilt. 3 OK, 0 bad; "))
        << window->LabelTotals->text().toStdString();
    EXPECT_TRUE(window->ButtonRepair->isHidden());
    EXPECT_EQ(ReadWholeFile(Folder() + "album/02.mp3"), second);
    window->close();
  }
}

// The analysis window: a row a track as it is measured, a track it does not decode or a lossy
// one made from a lower-rate file told in its row (first), the album's line and its bit rates
// in the totals; without tracks the menu says what to do. An album read is measured behind
// the window's back and a doubted rate said in the strip.
TEST_F(FormMain, AnalysisWindowMeasuresEachTrack) {
  ShipListFiles();
  Create();
  Form->AnalyzeAudio1->trigger();
  EXPECT_EQ(Form->LabelStatus->text(),
            "Choose the album's tracks first: the analysis measures them");
  const std::string flac = std::string(TAMBERLON_TEST_DATA) + "/flac-16bit-tags.flac";
  const std::string mp3 = Host.ProgramDir.Write("other.mp3", "no MPEG frame here");
  const std::string again = Folder() + "again.mp3";
  ASSERT_EQ(std::system(("cd '" + Folder() +
                         "' && sox -R -n -r 44100 -c 2 -b 16 n.wav synth 4 pinknoise vol 0.4 && "
                         "lame --quiet -b 128 n.wav s.mp3 && lame --quiet --decode s.mp3 s.wav && "
                         "lame --quiet -b 320 s.wav again.mp3")
                            .c_str()),
            0);
  Choose({again});
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return Form->LabelStatus->text() ==
               "Warning: the track probably encoded from a lower-rate source (Tools, Analyze "
               "the Album's Audio shows which)";
      },
      30000))
      << Form->LabelStatus->text().toStdString();
  auto* window = new TFormVerify(Form.get());
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->Analyze({flac, mp3, again});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Running(); }, 30000));
  EXPECT_EQ(window->windowTitle(), "Analysis");
  EXPECT_EQ(window->TableFiles->item(0, 0)->text(), "other.mp3");
  EXPECT_EQ(window->TableFiles->item(0, 8)->text(), "no MPEG audio frame was found");
  EXPECT_EQ(window->TableFiles->item(1, 0)->text(), "again.mp3");
  EXPECT_TRUE(window->TableFiles->item(1, 8)->text().contains(
      " kHz: probably encoded from a lower-rate source (about 128 kbps)"))
      << window->TableFiles->item(1, 8)->text().toStdString();
  EXPECT_EQ(window->TableFiles->item(2, 0)->text(), "flac-16bit-tags.flac");
  EXPECT_TRUE(window->TableFiles->item(2, 1)->text().startsWith("DR"));
  EXPECT_EQ(window->TableFiles->item(2, 8)->text(), "OK");
  EXPECT_TRUE(window->LabelTotals->text().startsWith("Album: DR"))
      << window->LabelTotals->text().toStdString();
  EXPECT_TRUE(window->LabelTotals->text().contains(
      "\nBit rates: 1 of 1 tracks: probably encoded from a lower-rate source (about 128 kbps)"))
      << window->LabelTotals->text().toStdString();
  // A track's picture on request, found by its row wherever the finish sorted it.
  window->TableFiles->setCurrentCell(0, 0);
  EXPECT_FALSE(window->ButtonSonogram->isEnabled());
  window->TableFiles->setCurrentCell(2, 0);
  ASSERT_TRUE(window->ButtonSonogram->isEnabled());
  window->ButtonSonogram->click();
  auto* picture = window->findChild<QDialog*>("FormSonogram");
  ASSERT_NE(picture, nullptr);
  EXPECT_TRUE(picture->windowTitle().startsWith("flac-16bit-tags.flac - FLAC, 44.1 kHz"))
      << picture->windowTitle().toStdString();
  EXPECT_EQ(picture->findChild<QLabel*>()->pixmap().width(), 948);
  // Saved as a PNG file where the poster says, named after the track.
  const std::string png = Folder() + "picture.png";
  Host.ExpectSaveFileDialog(
      "Save the Picture|png|flac-16bit-tags.png|" + std::string(TAMBERLON_TEST_DATA) + "/", png);
  picture->findChild<QPushButton*>("ButtonSaveSonogram")->click();
  EXPECT_TRUE(ReadWholeFile(png).starts_with("\x89PNG"));
  window->close();
}

// Cancel leaves what was not read "not checked": uncoloured, counted neither good nor bad,
// no verdict on repair, and the bar where the reading stopped.
TEST_F(FormMain, VerifyWindowAfterCancelSaysNotChecked) {
  ShipListFiles();
  Create();
  std::filesystem::create_directories(Folder() + "album");
  const std::string big = Host.ProgramDir.Write("album/big.bin", "");
  std::filesystem::resize_file(big, std::uint64_t{1} << 30); // sparse: read as zeros
  // A set that describes a gigabyte and a byte, with no slice checksums.
  std::vector<TFileDescription> files = {{{}, {}, {}, std::uint64_t{1} << 30, "big.bin"},
                                         {{}, {}, {}, 1, "small.bin"}};
  std::vector<TMd5Hash> ids;
  for (TFileDescription& file : files)
    ids.push_back(file.FileId = FileIdOf(file.Md5Of16k, file.Length, file.Name));
  const std::string main = MainPacketBody(1 << 20, ids);
  std::string set = Packet(Md5Of(main), par2::MainType, main);
  for (const TFileDescription& file : files)
    set += Packet(Md5Of(main), par2::FileDescriptionType, FileDescriptionBody(file));
  TFormVerify* window = Form->VerifySfvFile(Host.ProgramDir.Write("album/album.par2", set));
  ASSERT_NE(window, nullptr);
  window->ButtonCancel->click(); // the worker stops at once; its last reports follow
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window->LabelTotals->text().isEmpty(); }, 30000));
  ASSERT_EQ(window->TableFiles->rowCount(), 2);
  for (int row = 0; row < 2; ++row) {
    EXPECT_EQ(window->TableFiles->item(row, 3)->text(), "not checked");
    EXPECT_NE(window->TableFiles->item(row, 3)->background().color(), QColor(0xF8, 0xD0, 0xD0));
  }
  EXPECT_EQ(window->LabelTotals->text(),
            "0 OK, 0 bad, 2 not checked; 0 recovery blocks (cancelled)");
  EXPECT_LT(window->ProgressBytes->value(), window->ProgressBytes->maximum());
  window->close();
}
