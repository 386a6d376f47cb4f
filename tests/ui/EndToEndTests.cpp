// The whole program on a real album: from a fresh program folder to the saved documents,
// checked by the SFV checker a downloader would use, and back through a second start.
#include "common/TextListUnit.h"
#include "newsgroups/NewsGroupUnit.h"
#include "support/ScriptedHost.h"
#include "ui/MainUnit.h"

#include <QAction>
#include <QComboBox>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/time.h>

namespace fs = std::filesystem;

namespace {
const char* Fixtures[] = {"lame-cbr128-tags.mp3", "lame-mpeg2-id3v1.mp3", "lame-vbr-mono.mp3",
                          "mutagen-v23-utf16.mp3", "mutagen-v24-utf8.mp3"};

void SetModified(const std::string& path, int year, int month, int day) {
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = 12;
  local.tm_isdst = -1;
  const timeval times[2] = {{std::mktime(&local), 0}, {std::mktime(&local), 0}};
  ASSERT_EQ(::utimes(path.c_str(), times), 0);
}

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
  const std::string program = host.ProgramFolder.Path();
  const std::string shipped = std::string(TAMBERLON_TEST_DATA) + "/../../data/";
  for (const char* name :
       {"groups.txt", "labels.txt", "rippedby.txt", "postedby.txt", "encoders.txt", "codecs.txt"})
    fs::copy_file(shipped + name, program + name);
  const std::string album = program + "album/";
  fs::create_directory(album);
  std::vector<std::string> tracks;
  for (const char* name : Fixtures) {
    fs::copy_file(std::string(TAMBERLON_TEST_DATA) + "/" + name, album + name);
    SetModified(album + name, 2026, 12, 1);
    tracks.push_back(album + name);
  }
  std::reverse(tracks.begin(), tracks.end()); // the dialog's own order means nothing

  auto form = std::make_unique<TFormMain>();
  auto groups = std::make_unique<TFormNewsGroups>(form.get());
  form->SetNewsGroupsForm(groups.get());
  form->show();
  form->GenerateSFVfile1->trigger();

  host.ExpectOpenFilesDialog("Select the Tracks to Add|Select Tracks|", tracks);
  form->ButtonChooseTracksClick();
  EXPECT_EQ(form->ComboBoxArtist->currentText(), "Various Artists");
  EXPECT_EQ(form->ComboBoxCodec->currentText(), "LAME 3.100");
  form->ComboBoxRippedBy->setEditText("Ripper");
  form->ComboBoxPostedBy->setEditText("Poster");

  QTimer::singleShot(0, groups.get(), [&] {
    SelectGroup(*groups, "alt.binaries.sounds.mp3.full_albums");
    SelectGroup(*groups, "alt.binaries.sounds.mp3");
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

  const std::string expected = JoinTextLines({
      "Artist     : Various Artists",
      "Album      : Into the Trees",
      "Source     : ",
      "Year       : 2001",
      "Genre      : Rock",
      "",
      "Encoder    : Unknown",
      "Codec      : LAME 3.100",
      "Bitrate    : 96K/s  44100Hz  Joint Stereo",
      "ID3-Tag    : ID3v2.3",
      "",
      "Ripped By  : Ripper on 12/1/2026",
      "Posted By  : Poster on 12/8/2026",
      "",
      "Posted to  :",
      "  alt.binaries.sounds.mp3",
      "  alt.binaries.sounds.mp3.full_albums",
      "",
      "",
      "Track Listing",
      "-------------",
      " 1. Lame Title (Lame Artist)  (0:01)",
      " 2. Low Rate (V1 Artist)      (0:01)",
      " 3. lame-vbr-mono.mp3 ()      (0:02)",
      " 4. Übermorgen (Die Ärzte)    (0:01)",
      " 5. Café Noir (Zoë Keating)   (0:01)",
      "",
      "Total Playing Time: 0:06 (min:sec)",
      "Total Size        : 66.7 KB (68,328 bytes)",
      "",
      "Posting Policy:",
      "",
      std::string(70, '='),
      ".NFO file created with Tamberlon V1.0.469 on 12/8/2026 at 2:05 PM",
      "",
      "For more information on Tamberlon",
      "visit https://tamberlon.example.org/",
  });
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
  EXPECT_TRUE(form->GenerateSFVfile1->isChecked());
  EXPECT_EQ(form->TrackFolder, album);
  EXPECT_EQ(form->ComboBoxRippedBy->currentText(), "Ripper");
  EXPECT_EQ(form->ComboBoxRippedBy->count(), 1);
  EXPECT_EQ(form->ComboBoxNewsgroups->count(), 2);
  EXPECT_EQ(form->ComboBoxNewsgroups->currentText(), "alt.binaries.sounds.mp3");
}
