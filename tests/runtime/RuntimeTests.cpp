// SPDX-License-Identifier: GPL-3.0-or-later
// The window program against the real Qt runtime: the media backend, modality and the
// end of the program, which the scripted host cannot show. Only the program folder and
// the answers to message boxes and the save dialog are the test's own.
#include "cli/CommandLine.h"
#include "common/ErrorsUnit.h"
#include "common/RememberedListsUnit.h"
#include "generate/AlbumSession.h"
#include "platform/ConsoleHost.h"
#include "posting/PostSetup.h"
#include "support/AlbumScenario.h"
#include "support/TempFolder.h"
#include "ui/DesktopHost.h"
#include "ui/MainUnit.h"
#include "ui/NewsGroupUnit.h"
#include "ui/ServerUnit.h"

#include <QApplication>
#include <QAudioDevice>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMediaDevices>
#include <QMediaFormat>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const std::string Fixture = std::string(TAMBERLON_TEST_DATA) + "/lame-cbr128-tags.mp3";

class TRuntimeHost : public TDesktopHost {
public:
  TRuntimeHost() {
    MediaVerdictMilliseconds = 60000; // a busy machine's player still gives its verdict
    for (const char* name : RememberedListFileNames)
      Folder.Write(name, "");
    Folder.Write("groups.txt", "alt.binaries.sounds.mp3\r\n");
    std::filesystem::copy_file(std::string(TAMBERLON_DATA) + "/ZERUvez.hlp",
                               Folder.Path() + "ZERUvez.hlp");
  }
  std::string ProgramFile() override { return Folder.Path() + "tamberlon"; }
  std::string ProgramFolder() override { return Folder.Path(); }
  TMessageResult ShowMessage(TMessageKind, const std::string& text) override {
    Messages.push_back(text);
    return TMessageResult::Yes;
  }
  std::optional<std::string> SaveFileDialog(const TSaveDialogRequest&) override {
    return Folder.Path() + "album.nfo";
  }
  std::string Track(const std::string& name, const std::string& bytes) {
    return Folder.Write(name, bytes);
  }

  TTempFolder Folder;
  std::vector<std::string> Messages;
};

struct RealRuntime : ::testing::Test {
  TRuntimeHost Host;
  TInstalledHost Installed{Host};
  TFormMain Form;
  TFormNewsGroups Groups{&Form};
  RealRuntime() {
    Form.SetNewsGroupsForm(&Groups);
    Host.SetMainWindow(&Form);
    Form.show();
  }
  void Select(int row) { Form.ListBox1->setCurrentRow(row); }
  // Runs the event loop until the program quits or the time runs out; true when it quit.
  static bool RunUntilQuit(int milliseconds) {
    bool quit = true;
    QTimer::singleShot(milliseconds, qApp, [&quit] {
      quit = false;
      QApplication::exit(1);
    });
    QApplication::exec();
    return quit;
  }
};

std::string FileMessage(TErrorCode code, const std::string& path) {
  return std::string(ErrorMessage(code)) + "\n" + path;
}

// Counts a widget's paints.
class TPaintCounter : public QObject {
public:
  TPaintCounter(QWidget* widget, std::size_t& paints) : Paints(paints) {
    widget->installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* event) override {
    Paints += event->type() == QEvent::Paint;
    return false;
  }

private:
  std::size_t& Paints;
};

bool CanDecodeMp3() {
  return QMediaFormat()
      .supportedAudioCodecs(QMediaFormat::Decode)
      .contains(QMediaFormat::AudioCodec::MP3);
}
} // namespace

// The real player with the plugins the set-up installs: an MP3 opens, a file that only
// looks like one is refused with the player's own verdict, and a good one opens after it.
TEST_F(RealRuntime, PlayerOpensAnMp3AndRefusesWhatIsNotAudio) {
  ASSERT_TRUE(CanDecodeMp3()) << "the GStreamer plugins are missing: run scripts/bootstrap";
  const std::string song = Host.Track("a-song.mp3", ReadWholeFile(Fixture));
  const std::string text = Host.Track("b-notes.mp3", "These are liner notes, not audio.\n");
  EXPECT_TRUE(Host.OpenMedia(song));
  EXPECT_FALSE(Host.OpenMedia(text));
  EXPECT_TRUE(Host.OpenMedia(song));
  Host.PlayMedia();
  // A machine without sound (a test machine, a server) is told so, not left in silence.
  if (QMediaDevices::audioOutputs().isEmpty()) {
    EXPECT_TRUE(Form.LabelStatus->text().startsWith("Can't play the track: no sound output"))
        << Form.LabelStatus->text().toStdString();
  }
  Host.CloseMedia();

  Form.ChooseTracks({text, song}); // sorted: the song opens first
  const std::string unreadable = FileMessage(ecTrackKindMismatch, text);
  EXPECT_EQ(Host.Messages, std::vector<std::string>{unreadable});
  Select(1);
  Form.ListBox1DblClick();
  EXPECT_EQ(Host.Messages, (std::vector<std::string>{unreadable, FileMessage(ecOpenMedia, text)}));
  EXPECT_TRUE(Form.LabelStatus->text().startsWith("Can't play the track: ")); // the reason
}

// Without any GStreamer plugin Qt's player crashes as it is built; the window must go on
// without it: one message for the open at the end of Choose Tracks, nothing lost.
TEST_F(RealRuntime, HiddenPluginsWindowWorksWithoutPlayer) {
  if (qEnvironmentVariable("GST_PLUGIN_SYSTEM_PATH_1_0") != QStringLiteral("/nonexistent"))
    GTEST_SKIP() << "runs with the plugins hidden (ctest sets GST_PLUGIN_SYSTEM_PATH_1_0)";
  ASSERT_FALSE(CanDecodeMp3());
  const std::string first = Host.Track("1.mp3", ReadWholeFile(Fixture));
  const std::string second = Host.Track("2.mp3", ReadWholeFile(Fixture));
  Form.ChooseTracks({second, first});
  EXPECT_EQ(Host.Messages,
            std::vector<std::string>{FileMessage(ecOpenMedia, first)}); // sorted first
  Host.Messages.clear();
  Form.MediaPlayer1Click(true); // no line selected: nothing
  Select(1);
  Form.MediaPlayer1Click(true);
  EXPECT_TRUE(Form.LabelStatus->text().startsWith("Can't play the track: no MP3 decoder"));
  Form.MediaPlayer1Click(false);
  Form.ListBox1DblClick();
  EXPECT_EQ(Host.Messages.size(), 2u);
  Host.Messages.clear();
  Form.ButtonMakeNFOClick();
  EXPECT_TRUE(Host.Messages.empty());
  EXPECT_TRUE(std::filesystem::exists(Host.Folder.Path() + "album.nfo"));
}

// Help asked for from the modal "Select Newsgroups" window takes input at once (Escape
// closes it), and the modal window's own buttons still work after it.
TEST_F(RealRuntime, HelpFromModalWindowTakesInput) {
  bool helpClosedByKey = false;
  QTimer::singleShot(0, &Groups, [&] {
    QTest::keyClick(Groups.windowHandle(), Qt::Key_F1);
    QDialog* help = Groups.findChild<QDialog*>(QStringLiteral("HelpWindow"));
    if (help && help->isVisible()) {
      EXPECT_TRUE(QTest::qWaitForWindowExposed(help));
      QTest::keyClick(help->windowHandle(), Qt::Key_Escape);
      helpClosedByKey = !help->isVisible();
    }
    Groups.reject();
  });
  Form.ButtonEditNGListClick();
  EXPECT_TRUE(helpClosedByKey);
}

// Closing the main window while the help is open ends the program and saves the
// preferences, as the close box does on its own.
TEST_F(RealRuntime, ClosingMainWindowWithHelpOpenEndsProgram) {
  ASSERT_TRUE(Host.ShowHelp(TFormMain::HelpContents));
  QTimer::singleShot(0, &Form, [this] { Form.close(); });
  EXPECT_TRUE(RunUntilQuit(60000));
  for (QWidget* window : QApplication::topLevelWidgets())
    EXPECT_FALSE(window->isVisible()) << window->objectName().toStdString();
  EXPECT_TRUE(std::filesystem::exists(Host.Folder.Path() + "tamberlon.INI"));
}

// Help: a link followed joins the history, and Back returns to the topic shown first.
TEST_F(RealRuntime, HelpBackAndForwardFollowTheHistory) {
  ASSERT_TRUE(Host.ShowHelp(TFormMain::HelpContents));
  auto* help = Form.findChild<QDialog*>(QStringLiteral("HelpWindow"));
  ASSERT_NE(help, nullptr);
  auto* browser = help->findChild<QTextBrowser*>(QStringLiteral("HelpBrowser"));
  auto* back = help->findChild<QPushButton*>(QStringLiteral("HelpBack"));
  auto* forward = help->findChild<QPushButton*>(QStringLiteral("HelpForward"));
  EXPECT_FALSE(back->isEnabled());
  browser->setSource(QUrl(QStringLiteral("#290"))); // what a click on the link does
  ASSERT_TRUE(back->isEnabled());
  back->click();
  EXPECT_EQ(browser->source().fragment(), QStringLiteral("100"));
  EXPECT_TRUE(forward->isEnabled());
}

// An edit command on a desktop without a program for text files: the opener's failure is
// told when it comes, naming the file and what the opener said, the window never waits
// for it, and no defunct process stays behind.
TEST_F(RealRuntime, AnOpenerThatFailsIsToldAndReaped) {
  TTempFolder bin;
  const std::string opener =
      bin.Write("xdg-open", "#!/bin/sh\necho 'x-terminal-emulator: not found' >&2\nexit 3\n");
  ::chmod(opener.c_str(), 0755);
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
  ::setenv("PATH", (bin.Path() + ":" + path).c_str(), 1);
  const std::string file = Host.Folder.Write("template.txt", "$ARTIST");
  EXPECT_EQ(Host.ShellOpen("template.txt", Host.Folder.Path()), TShellResult::Opened);
  ::setenv("PATH", path.c_str(), 1);
  (void)QTest::qWaitFor([&] { return !Host.Messages.empty(); }, 60000);
  EXPECT_EQ(Host.Messages, std::vector<std::string>{FileMessage(ecGeneral, file) +
                                                    "\nx-terminal-emulator: not found"});
  std::size_t defunct = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream stat(entry.path() / "stat");
    std::string pid, name, state, parent;
    if (stat >> pid >> name >> state >> parent)
      defunct += state == "Z" && parent == std::to_string(::getpid());
  }
  EXPECT_EQ(defunct, 0u);
}

// A file dialog filters by the request's patterns: "All Files" lists names without a dot.
TEST_F(RealRuntime, OpenDialogFiltersByTheRequestPatterns) {
  std::string filters;
  QTimer::singleShot(0, qApp, [&filters] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog)
      return;
    filters = dialog->nameFilters().join(QLatin1Char('|')).toStdString();
    dialog->reject();
  });
  TOpenDialogRequest request;
  request.Filters = {{"MP3 Files (*.mp3)", "*.mp3"}, {"All Files (*.*)", "*"}};
  EXPECT_FALSE(Host.OpenFileDialog(request));
  EXPECT_EQ(filters, "MP3 Files (*.mp3)|All Files (*)");
}

// Typing while the live preview follows a 1,000-track album: the box typed in repaints as
// the keys come, and the preview follows the text. (How fast is the benchmarks' to say:
// the live preview's regeneration for 1,000 tracks in tamberlon-bench.)
TEST_F(RealRuntime, LivePreviewFollowsTypingIntoALargeAlbum) {
  TAlbumSession& session = Form.AlbumSession();
  for (int i = 0; i < 1000; ++i) {
    auto info = std::make_unique<TTrackInfo>();
    info->HasTag = true;
    info->Title = "Track title number " + std::to_string(i);
    info->DurationText = "3:2" + std::to_string(i % 10);
    session.AddTrack("/music/" + std::to_string(i) + ".mp3", std::move(info));
  }
  Form.RefreshTrackListing();
  Form.LivePreview1->trigger();
  QWidget* box = Form.ComboBoxRippedBy->lineEdit();
  std::size_t paints = 0;
  TPaintCounter counter(box, paints);
  box->setFocus();
  for (const char c : std::string("a poster who types at a steady pace")) {
    QTest::keyClick(box, c);
    QTest::qWait(15);
  }
  auto* preview = Form.findChild<QPlainTextEdit*>("MemoLivePreview");
  (void)QTest::qWaitFor([&] { return preview->toPlainText().indexOf("steady pace") >= 0; }, 60000);
  EXPECT_GT(paints, 0u);
  EXPECT_NE(preview->toPlainText().indexOf("steady pace"), -1);
}

namespace {
const TDateTime PinnedClock = EncodeDateTime({2026, 12, 8, 14, 5, 9});

// The window's host and the command-line tool's, each with the test's program folder
// and clock and nothing else of their own changed.
class TWindowFace : public TDesktopHost {
public:
  explicit TWindowFace(std::string folder) : Folder(std::move(folder)) {}
  std::string ProgramFile() override { return Folder + "tamberlon"; }
  std::string ProgramFolder() override { return Folder; }
  TDateTime Now() override { return PinnedClock; }
  TMessageResult ShowMessage(TMessageKind, const std::string&) override {
    return TMessageResult::Yes; // the compilation question; the missing lists' note
  }
  std::optional<std::string> SaveFileDialog(const TSaveDialogRequest&) override {
    return Folder + "window.nfo";
  }
  std::string Folder;
};

class TCommandLineFace : public TConsoleHost {
public:
  explicit TCommandLineFace(std::string folder) : Folder(std::move(folder)) {}
  std::string ProgramFile() override { return Folder + "tamberlon-cli"; }
  std::string ProgramFolder() override { return Folder; }
  TDateTime Now() override { return PinnedClock; }
  std::string Folder;
};

// en_US and de_DE made with localedef for the test's own LOCPATH, once.
std::string GeneratedLocales() {
  static const TTempFolder folder;
  static const bool made = [] {
    for (const char* name : {"en_US", "de_DE"})
      if (std::system(("localedef -i " + std::string(name) + " -f UTF-8 " + folder.Path() + name +
                       ".UTF-8 >/dev/null 2>&1")
                          .c_str()) != 0)
        return false;
    return true;
  }();
  EXPECT_TRUE(made) << "localedef and the locales package make en_US and de_DE";
  return folder.Path();
}
} // namespace

// The window and tamberlon-cli write the same bytes for one album, template and clock,
// whatever the regional settings: both read their forms from the C library's locale.
// The news server's password through QtKeychain: kept by a real secret store when the test
// runs with one (runtime.secret-store), else told as kept for the session; never in a file.
TEST_F(RealRuntime, SecretStoreKeepsThePasswordOrTheWindowSaysThereIsNone) {
  TPostSetup setup = Form.PostSetupNow();
  setup.Settings.Server.Endpoint.Host = "news.example.com";
  setup.Settings.Server.User = "poster";
  Form.KeepServer(setup, "s3cret pass");
  const TSecretResult kept = Host.ReadSecret(PasswordName(setup.Settings.Server));
  if (std::getenv("TAMBERLON_TEST_SECRET_STORE")) {
    EXPECT_EQ(kept.Outcome, TSecretOutcome::Done) << kept.Reason;
    EXPECT_EQ(kept.Value, "s3cret pass");
    EXPECT_EQ(Host.ReadSecret("news server nobody@news.example.com:563").Outcome,
              TSecretOutcome::NotFound);
  } else {
    EXPECT_EQ(kept.Outcome, TSecretOutcome::NoStore);
    EXPECT_TRUE(Form.StatusText.startsWith("No secret store runs here"))
        << Form.StatusText.toStdString();
  }
  Form.close();
  const std::string ini = ReadWholeFile(Host.Folder.Path() + "tamberlon.INI");
  EXPECT_NE(ini.find("User=poster"), std::string::npos) << ini;
  EXPECT_EQ(ini.find("s3cret"), std::string::npos);
}

TEST(TwoFaces, TheWindowAndTheCommandLineWriteTheSameDocument) {
  const struct {
    const char* Locale;
    const char* Decimal;
    const char* Date;
  } locales[] = {{"C.UTF-8", ".", "12/08/26"},
                 {"en_US.UTF-8", ".", "12/08/2026"},
                 {"de_DE.UTF-8", ",", "08.12.2026"}};
  for (const auto& locale : locales) {
    SCOPED_TRACE(locale.Locale);
    TTempFolder folder;
    const std::vector<std::string> tracks = PrepareFixtureAlbum(folder.Path() + "album/");
    if (std::string_view(locale.Locale) == "C.UTF-8")
      ::unsetenv("LOCPATH");
    else
      ::setenv("LOCPATH", GeneratedLocales().c_str(), 1);
    ::setenv("LC_ALL", locale.Locale, 1);
    {
      TWindowFace host(folder.Path());
      ASSERT_EQ(host.RegionalSettings().DecimalSeparator, locale.Decimal);
      TInstalledHost installed(host);
      TFormMain form;
      form.ChooseTracks(tracks);
      form.ComboBoxRippedBy->setEditText(QStringLiteral("Ripper"));
      form.ButtonMakeNFOClick();
    }
    {
      TCommandLineFace host(folder.Path());
      TInstalledHost installed(host);
      std::ostringstream out, err;
      TCliContext context{out, err, false};
      const std::vector<std::string> arguments = {"nfo",
                                                  "--ripped-by",
                                                  "Ripper",
                                                  "--various-artists-template",
                                                  "-o",
                                                  folder.Path() + "cli.nfo",
                                                  folder.Path() + "album"};
      EXPECT_EQ(RunCommandLine(arguments, context), 0) << err.str();
    }
    const std::string window = ReadWholeFile(folder.Path() + "window.nfo");
    EXPECT_NE(window.find(std::string("on ") + locale.Date + "\r\n"), std::string::npos) << window;
    EXPECT_EQ(window, ReadWholeFile(folder.Path() + "cli.nfo"));
  }
  ::unsetenv("LOCPATH");
  ::unsetenv("LC_ALL");
}
