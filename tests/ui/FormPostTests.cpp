// SPDX-License-Identifier: GPL-3.0-or-later
// Posting from the window: the saved album posted to a scripted news server on the posting
// core's threads, paused by Cancel and continued by Post, with the settings kept in
// [Server] and the password nowhere on disk.
#include "../posting/ScriptedNewsServer.h"
#include "generate/NzbDocument.h"
#include "posting/PostSetup.h"
#include "support/AlbumScenario.h"
#include "support/ScriptedHost.h"
#include "ui/MainUnit.h"
#include "ui/PostUnit.h"
#include "ui/QueueUnit.h"
#include "ui/ServerUnit.h"
#include "ui/VerifyUnit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <filesystem>
#include <gtest/gtest.h>
#include <iostream>
#include <thread>

namespace {
// The fixture album chosen and saved in a fresh window, its program folder the shipped
// lists: what Post to Usenet posts.
struct TSavedAlbum {
  TWithScriptedHost Scripted;
  TScriptedHost& Host = Scripted.Host;
  std::string Album;
  std::vector<std::string> Tracks;
  std::unique_ptr<TFormMain> Form;

  TSavedAlbum() {
    const std::string program = Host.ProgramDir.Path();
    for (const char* name :
         {"groups.txt", "labels.txt", "rippedby.txt", "postedby.txt", "encoders.txt", "codecs.txt"})
      std::filesystem::copy_file(std::string(TAMBERLON_TEST_DATA) + "/../../data/" + name,
                                 program + name);
    Album = program + "album/";
    Tracks = PrepareFixtureAlbum(Album);
    Form = std::make_unique<TFormMain>();
    Form->show();
    EXPECT_FALSE(Form->ButtonPostToUsenet->isEnabled());
    Host.ExpectOpenFilesDialog("Select the Tracks to Add|Select Tracks|", Tracks);
    Form->ButtonChooseTracksClick();
    Form->ComboBoxPostedBy->setEditText("Poster");
    Form->AlbumSession().SetNewsGroups({"alt.binaries.test"});
    Host.ExpectSaveFileDialog("Save .NFO file|nfo|Various Artists - Into the Trees.nfo|" + Album,
                              Album + "Various Artists - Into the Trees.nfo");
    Host.ExpectMessage(TMessageKind::Confirmation,
                       "This seems to be a compilation album with various artists.\n\r"
                       "Do you want to use the Various Artists Template?",
                       TMessageResult::Yes);
    Form->ButtonMakeNFOClick();
    EXPECT_TRUE(Form->ButtonPostToUsenet->isEnabled());
  }
  std::string Nzb() const { return Album + "Various Artists - Into the Trees.nzb"; }
};
} // namespace

TEST(FormPost, PostsPausesAndContinuesTheSavedAlbum) {
  std::atomic<int> taken{0};
  TScriptedNewsServer server([&](TServerConnection& connection, int index) {
    server.Serve(connection, index, [&](int, const std::string&) -> std::optional<std::string> {
      ++taken;
      std::this_thread::sleep_for(std::chrono::milliseconds(5)); // time for Cancel to land
      return std::nullopt;
    });
  });
  TSavedAlbum saved;
  TScriptedHost& host = saved.Host;
  auto& form = saved.Form;
  const std::vector<std::string>& tracks = saved.Tracks;
  ASSERT_TRUE(form->ButtonPostToUsenet->isEnabled());

  TPostSetup setup = form->PostSetupNow();
  setup.Settings.Server.Endpoint = {"127.0.0.1", server.Port(), TTlsMode::None, "", false};
  setup.Settings.Server.User = "poster";
  setup.Settings.Connections = 2;
  setup.ArticleSize = 1024; // many articles: Cancel lands mid-way
  form->KeepServer(setup, "not on disk");
  EXPECT_EQ(host.Secrets[PasswordName(setup.Settings.Server)], "not on disk");

  TFormServer settings(setup, "not on disk", true);
  QSignalSpy tested(&settings, &TFormServer::Tested);
  settings.ButtonTestConnectionClick();
  ASSERT_TRUE(tested.wait(30000));
  EXPECT_TRUE(settings.LabelTestResult->text().startsWith(
      "Connected and signed in; posting is allowed. The server said: 200 "))
      << settings.LabelTestResult->text().toStdString();

  form->PostToUsenet1Click();
  TFormPost* post = form->findChild<TFormPost*>();
  ASSERT_NE(post, nullptr);
  ASSERT_TRUE(post->ButtonPost->isEnabled()) << post->LabelServer->text().toStdString();
  EXPECT_EQ(post->TableFiles->rowCount(), static_cast<int>(tracks.size()) + 1);

  QSignalSpy finished(post, &TFormPost::Finished);
  post->CheckBoxCheckBodies->setChecked(true);
  post->ButtonPostClick();
  while (taken < 5)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  // Closed mid-post, the window goes and the post goes on, its progress in the main
  // window's strip; Post to Usenet... brings the window back.
  EXPECT_TRUE(post->close());
  EXPECT_FALSE(post->isVisible());
  const QString closedAt = form->StatusText;
  EXPECT_TRUE(closedAt.startsWith("Posting ")) << closedAt.toStdString();
  for (QDeadlineTimer wait(30000); !wait.hasExpired() && form->StatusText == closedAt;)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_TRUE(form->StatusText.startsWith("Posting ")) << form->StatusText.toStdString();
  ASSERT_TRUE(post->Posting());
  form->PostToUsenet1Click();
  EXPECT_TRUE(post->isVisible());
  host.ExpectMessage(TMessageKind::Confirmation,
                     "Posting is not finished. Pause it and close? Posting the album again "
                     "continues where it stopped.",
                     TMessageResult::No);
  EXPECT_FALSE(form->close()); // asked, and the answer was to go on
  EXPECT_TRUE(post->Posting());
  post->ButtonCancelClick();
  ASSERT_TRUE(finished.wait(30000));
  EXPECT_TRUE(post->Summary().Cancelled);
  const TPostSummary paused = post->Summary();
  EXPECT_GT(paused.Accepted, 0u);
  EXPECT_LT(paused.Accepted, paused.Articles);
  EXPECT_TRUE(post->LabelResult->text().startsWith(
      QString::fromStdString("Posting paused: " + std::to_string(paused.Accepted) + " of " +
                             std::to_string(paused.Articles) + " articles posted")));
  EXPECT_TRUE(std::filesystem::exists(JournalPathFor(saved.Nzb())));
  // Each file's articles posted, and the sum of them is the post's.
  const auto doneOf = [&](int row) {
    const QStringList done = post->TableFiles->item(row, 3)->text().split(" of ");
    EXPECT_EQ(done.value(1), post->TableFiles->item(row, 2)->text()) << row;
    return done.value(0).toULongLong();
  };
  std::size_t posted = 0;
  for (int row = 0; row < post->TableFiles->rowCount(); ++row)
    posted += doneOf(row);
  EXPECT_EQ(posted, paused.Accepted);

  post->ButtonPostClick();
  ASSERT_TRUE(finished.wait(60000));
  const TPostSummary& summary = post->Summary();
  EXPECT_TRUE(summary.Complete()) << post->LabelResult->text().toStdString();
  EXPECT_TRUE(summary.Resumed);
  EXPECT_EQ(summary.NzbPath, saved.Nzb());
  EXPECT_EQ(server.Articles.size(), summary.Articles); // none posted twice
  EXPECT_FALSE(std::filesystem::exists(JournalPathFor(summary.NzbPath)));
  for (int row = 0; row < post->TableFiles->rowCount(); ++row) // each checked whole
    EXPECT_EQ(doneOf(row), post->TableFiles->item(row, 2)->text().toULongLong()) << row;

  // Verify takes the .nzb: every article on the server, then one lost by the server.
  const auto verify = [&](const std::string& totals, const std::string& missing) {
    TFormVerify* window = form->VerifySfvFile(summary.NzbPath);
    ASSERT_NE(window, nullptr);
    QSignalSpy checked(window, &TFormVerify::Finished);
    ASSERT_TRUE(checked.wait(30000));
    EXPECT_EQ(window->LabelTotals->text().toStdString(), totals);
    EXPECT_EQ(window->TableFiles->item(0, 2)->toolTip().toStdString(), missing); // bad first
    window->close();
  };
  const std::string all = std::to_string(summary.Articles);
  verify(std::to_string(tracks.size() + 1) + " files, " + all + " articles: " + all +
             " on the server",
         "");
  const std::string lost = server.Articles.begin()->first;
  server.Articles.erase(server.Articles.begin());
  verify(std::to_string(tracks.size() + 1) + " files, " + all +
             " articles: " + std::to_string(summary.Articles - 1) + " on the server, 1 missing",
         lost);

  // Another album on screen: Post to Usenet waits for its save (it offered the release saved
  // before, with the new album's newsgroups).
  form->ButtonClearTracksClick();
  EXPECT_FALSE(form->ButtonPostToUsenet->isEnabled());
  EXPECT_FALSE(form->PostToUsenet1->isEnabled());

  host.SecretStoreRuns = false; // a desktop without one: said, and the password kept in memory
  form->KeepServer(setup, "still not on disk");
  EXPECT_TRUE(form->StatusText.startsWith("No secret store runs here"))
      << form->StatusText.toStdString();

  // A certificate to trust chosen with Browse... is the one Test connection and the post
  // use: one that cannot be read fails the test once TLS starts.
  const std::string certificate = host.ProgramDir.Path() + "missing.pem";
  settings.ComboBoxTls->setCurrentIndex(0);
  host.ExpectOpenFileDialog("Certificate to Trust|0|", certificate);
  settings.ButtonBrowseCaFileClick();
  settings.ButtonTestConnectionClick();
  ASSERT_TRUE(tested.wait(30000));
  EXPECT_TRUE(settings.LabelTestResult->text().contains(QString::fromStdString(certificate)))
      << settings.LabelTestResult->text().toStdString();
  form->KeepServer(settings.Setup(), "still not on disk");
  EXPECT_EQ(form->PostSetupNow().Settings.Server.Endpoint.CaFile, certificate);
  form->close();
  const std::string ini = ReadWholeFile(host.ProgramDir.Path() + "tamberlon.INI");
  EXPECT_NE(ini.find("CaFile=" + certificate), std::string::npos) << ini;
  EXPECT_NE(ini.find("Host=127.0.0.1"), std::string::npos) << ini;
  EXPECT_NE(ini.find("User=poster"), std::string::npos);
  EXPECT_EQ(ini.find("not on disk"), std::string::npos);
}

// The same against the test INN2 (its posters' port that asks for AUTHINFO), when the
// posting round trip runs this with TAMBERLON_TEST_INN2=PORT: post, Cancel mid-way, Post
// again, the result, and Verify of the .nzb by STAT on the real server.
TEST(FormPost, AgainstTheTestNewsServer) {
  const char* port = std::getenv("TAMBERLON_TEST_INN2");
  if (!port)
    GTEST_SKIP() << "run by the posting round trip, beside its INN2";
  TSavedAlbum saved;
  TPostSetup setup = saved.Form->PostSetupNow();
  setup.Settings.Server.Endpoint = {"127.0.0.1", std::atoi(port), TTlsMode::None, "", false};
  setup.Settings.Server.User = "poster";
  setup.ArticleSize = 2048; // many articles: Cancel lands mid-way
  saved.Form->KeepServer(setup, "news secret");
  saved.Form->PostToUsenet1Click();
  TFormPost* post = saved.Form->findChild<TFormPost*>();
  ASSERT_NE(post, nullptr);
  QSignalSpy finished(post, &TFormPost::Finished);
  post->ButtonPostClick();
  while (post->ProgressBytes->value() == 0 && finished.isEmpty())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  post->ButtonCancelClick();
  ASSERT_TRUE(finished.wait(60000));
  EXPECT_TRUE(post->Summary().Cancelled) << post->LabelResult->text().toStdString();
  std::cout << post->LabelResult->text().toStdString() << "\n";

  post->ButtonPostClick();
  ASSERT_TRUE(finished.wait(120000));
  const TPostSummary& summary = post->Summary();
  EXPECT_TRUE(summary.Complete()) << post->LabelResult->text().toStdString();
  EXPECT_EQ(summary.Accepted, summary.Articles);
  std::cout << post->LabelResult->text().toStdString() << "\n";

  TFormVerify* window = saved.Form->VerifySfvFile(saved.Nzb());
  ASSERT_NE(window, nullptr);
  QSignalSpy checked(window, &TFormVerify::Finished);
  ASSERT_TRUE(checked.wait(60000));
  const std::string all = std::to_string(summary.Articles);
  EXPECT_EQ(window->LabelTotals->text().toStdString(), std::to_string(saved.Tracks.size() + 1) +
                                                           " files, " + all + " articles: " + all +
                                                           " on the server");
  std::cout << window->LabelTotals->text().toStdString() << "\n";
}

// Add to Queue: the album posts in the background from the queue's window; paused there and
// the program closed, the next start takes the queue up from its file and the album goes on
// from its journal, no article twice.
TEST(FormQueue, AnAlbumQueuedOutlivesARestartAndPostsOnce) {
  std::atomic<int> taken{0};
  TScriptedNewsServer server([&](TServerConnection& connection, int index) {
    server.Serve(connection, index, [&](int, const std::string&) -> std::optional<std::string> {
      ++taken;
      std::this_thread::sleep_for(std::chrono::milliseconds(5)); // time for Pause to land
      return std::nullopt;
    });
  });
  TSavedAlbum saved;
  TPostSetup setup = saved.Form->PostSetupNow();
  setup.Settings.Server.Endpoint = {"127.0.0.1", server.Port(), TTlsMode::None, "", false};
  setup.ArticleSize = 1024;
  saved.Form->KeepServer(setup, "");
  saved.Form->PostToUsenet1Click();
  TFormPost* post = saved.Form->findChild<TFormPost*>();
  ASSERT_NE(post, nullptr);
  post->ButtonAddToQueueClick();
  EXPECT_FALSE(post->isVisible());
  TFormQueue* queue = saved.Form->findChild<TFormQueue*>();
  ASSERT_NE(queue, nullptr);
  EXPECT_TRUE(queue->isVisible());
  while (taken < 5)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  queue->ButtonPauseClick();
  ASSERT_EQ(queue->Albums().Albums.size(), 1u);
  for (QDeadlineTimer wait(30000);
       !wait.hasExpired() && queue->Albums().Albums[0].State == TQueueState::Posting;)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_EQ(queue->Albums().Albums[0].State, TQueueState::Waiting);
  EXPECT_TRUE(std::filesystem::exists(JournalPathFor(saved.Nzb())));
  saved.Form->close();
  saved.Form.reset();

  // The next start: the queue's window shows the album waiting, paused; Resume posts it.
  saved.Form = std::make_unique<TFormMain>();
  saved.Form->show();
  queue = saved.Form->findChild<TFormQueue*>();
  ASSERT_NE(queue, nullptr);
  ASSERT_TRUE(queue->ButtonResume->isEnabled());
  queue->ButtonResumeClick();
  for (QDeadlineTimer wait(60000);
       !wait.hasExpired() && queue->Albums().Albums[0].State != TQueueState::Posted;)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_EQ(queue->Albums().Albums[0].State, TQueueState::Posted) << queue->Albums().Albums[0].Note;
  EXPECT_FALSE(std::filesystem::exists(JournalPathFor(saved.Nzb())));
  const auto nzb = ReadNzb(ReadWholeFile(saved.Nzb()));
  ASSERT_TRUE(nzb);
  std::size_t segments = 0;
  for (const TNzbFile& file : nzb->Files)
    segments += file.Segments.size();
  EXPECT_EQ(server.Articles.size(), segments) << "none posted twice";
}
