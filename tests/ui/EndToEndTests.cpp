// SPDX-License-Identifier: GPL-3.0-or-later
// The whole program on a real album: from a fresh program folder to the saved documents,
// checked by the SFV checker a downloader would use, and back through a second start.
#include "common/TextListUnit.h"
#include "support/AlbumScenario.h"
#include "support/ScriptedHost.h"
#include "ui/MainUnit.h"
#include "ui/NewsGroupUnit.h"

#include <QAction>
#include <QComboBox>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {
void SelectGroup(TFormNewsGroups& window, const std::string& name) {
  auto& rows = window.Selection().AvailableItems;
  for (std::size_t row = 0; row < rows.size(); ++row)
    if (rows[row].Name == name) {
      window.Selection().SelectAvailable(row);
      return;
    }
  ADD_FAILURE() << name << " is not available";
}
} // namespace

TEST(EndToEnd, FromAFreshInstallToVerifiedDocuments) {
  TWithScriptedHost scripted;
  TScriptedHost& host = scripted.Host;
  const std::string program = host.ProgramDir.Path();
  const std::string shipped = std::string(TAMBERLON_TEST_DATA) + "/../../data/";
  for (const char* name :
       {"groups.txt", "labels.txt", "rippedby.txt", "postedby.txt", "encoders.txt", "codecs.txt"})
    fs::copy_file(shipped + name, program + name);
  const std::string album = program + "album/";
  const std::vector<std::string> tracks = PrepareFixtureAlbum(album);

  auto form = std::make_unique<TFormMain>();
  auto groups = std::make_unique<TFormNewsGroups>(form.get());
  form->SetNewsGroupsForm(groups.get());
  form->show();
  form->DocumentItem(TDocumentRole::Sfv)->trigger();

  host.ExpectOpenFilesDialog("Select the Tracks to Add|Select Tracks|", tracks);
  form->ButtonChooseTracksClick();
  EXPECT_EQ(form->ComboBoxArtist->currentText(), "Various Artists");
  EXPECT_EQ(form->ComboBoxCodec->currentText(), "LAME 3.100");
  form->ComboBoxRippedBy->setEditText("Ripper");
  form->ComboBoxPostedBy->setEditText("Poster");

  QTimer::singleShot(0, groups.get(), [&] {
    for (const std::string& group : FixtureAlbumGroups)
      SelectGroup(*groups, group);
    groups->accept();
  });
  form->ButtonEditNGListClick();
  EXPECT_EQ(form->ComboBoxNewsgroups->count(), 2);

  const std::string question = "This seems to be a compilation album with various artists.\n\r"
                               "Do you want to use the Various Artists Template?";
  host.ExpectMessage(TMessageKind::Confirmation, question, TMessageResult::Yes);
  host.ExpectPreview();
  form->ButtonPreviewNFOClick();

  const std::string nfo = album + "Various Artists - Into the Trees.nfo";
  host.ExpectSaveFileDialog("Save .NFO file|nfo|Various Artists - Into the Trees.nfo|" + album,
                            nfo);
  host.ExpectMessage(TMessageKind::Confirmation, question, TMessageResult::Yes);
  form->ButtonMakeNFOClick();

  const std::string expected = JoinTextLines(ExpectedFixtureAlbumNfo());
  EXPECT_EQ(host.LastPreview, expected);
  EXPECT_EQ(ReadWholeFile(nfo), expected + "\r\n");

  const std::string sfv = album + "Various Artists - Into the Trees.sfv";
  const std::string quiet = " > /dev/null 2>&1";
  EXPECT_EQ(
      std::system(("cd '" + album + "' && rhash --check --skip-ok '" + sfv + "'" + quiet).c_str()),
      0)
      << ReadWholeFile(sfv);
  EXPECT_EQ(std::system(("cd '" + album + "' && cksfv -q -g '" + sfv + "'" + quiet).c_str()), 0);

  EXPECT_EQ(form->windowTitle(), "Tamberlon - Various Artists - Into the Trees.nfo");
  EXPECT_EQ(ReadWholeFile(program + "rippedby.txt"), "Ripper\r\n");
  EXPECT_EQ(ReadWholeFile(program + "codecs.txt"), "LAME 3.100\r\n");
  form->close();
  groups.reset();
  form.reset();

  // A second start reads the choices back.
  form = std::make_unique<TFormMain>();
  form->show();
  EXPECT_TRUE(form->DocumentItem(TDocumentRole::Sfv)->isChecked());
  EXPECT_EQ(form->TrackFolder, album);
  EXPECT_EQ(form->ComboBoxRippedBy->currentText(), "Ripper");
  EXPECT_EQ(form->ComboBoxRippedBy->count(), 1);
  EXPECT_EQ(form->ComboBoxNewsgroups->count(), 2);
  EXPECT_EQ(form->ComboBoxNewsgroups->currentText(), "alt.binaries.sounds.mp3");
}
