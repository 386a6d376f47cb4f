// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/QtHost.h"

#include "common/AppVersionUnit.h"
#include "common/ErrorsUnit.h"
#include "common/FileUnit.h"
#include "common/HelpFileUnit.h"
#include "platform/WindowPlace.h"

#include <QApplication>
#include <QAudioDevice>
#include <QAudioOutput>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QLocale>
#include <QMediaDevices>
#include <QMediaFormat>
#include <QMediaPlayer>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <qt6keychain/keychain.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

std::string TQtHost::ProgramFile() {
  return QCoreApplication::applicationFilePath().toStdString();
}

TMessageResult TQtHost::ShowMessage(TMessageKind kind, const std::string& text) {
  const QString body = QString::fromStdString(MessageLines(text));
  QMessageBox box;
  box.setWindowTitle(QString::fromUtf8(MessageCaption(kind)));
  box.setText(body);
  switch (kind) {
  case TMessageKind::Error:
    box.setIcon(QMessageBox::Critical);
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    break;
  case TMessageKind::Information:
    box.setIcon(QMessageBox::Information);
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    break;
  case TMessageKind::Confirmation: {
    box.setIcon(QMessageBox::Question);
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.exec();
    return box.clickedButton() == yes ? TMessageResult::Yes : TMessageResult::No;
  }
  }
  box.exec();
  return TMessageResult::Ok;
}

TShellResult TQtHost::ShellOpen(const std::string& file, const std::string& workingFolder) {
  const QString name = QString::fromStdString(file);
  if (name.contains(QStringLiteral("://")))
    return QDesktopServices::openUrl(QUrl(name)) ? TShellResult::Opened : TShellResult::Failed;
  const std::string path = workingFolder + file;
  if (!QFileInfo::exists(QString::fromStdString(path)))
    return TShellResult::FileNotFound;
  return StartOpener(path, workingFolder) ? TShellResult::Opened : TShellResult::Failed;
}

// xdg-open in the program folder, its verdict awaited on a thread of its own: the window
// never waits for it, a failure (no program for text files) is told when it comes, naming
// the file and what the opener said, and the opener is reaped, never left defunct. An
// editor it starts lives on when the program ends.
bool TQtHost::StartOpener(const std::string& path, const std::string& folder) {
  int said[2];
  if (::pipe2(said, O_CLOEXEC) != 0)
    return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawn_file_actions_adddup2(&actions, said[1], STDERR_FILENO);
  std::string program = "xdg-open";
  std::string argument = path;
  char* arguments[] = {program.data(), argument.data(), nullptr};
  pid_t opener = 0;
  const int started =
      ::posix_spawnp(&opener, program.c_str(), &actions, nullptr, arguments, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(said[1]);
  if (started != 0) {
    ::close(said[0]);
    return false;
  }
  std::thread([opener, reader = said[0], path, watch = Openers, this] {
    int status = 0;
    while (::waitpid(opener, &status, 0) < 0 && errno == EINTR) {
    }
    // What it wrote before it ended; an editor it started may hold the pipe open.
    ::fcntl(reader, F_SETFL, O_NONBLOCK);
    std::string words;
    char buffer[512];
    for (ssize_t got; (got = ::read(reader, buffer, sizeof buffer)) > 0 && words.size() < 4096;)
      words.append(buffer, static_cast<std::size_t>(got));
    ::close(reader);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
      return;
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r'))
      words.pop_back();
    const std::string reason = words.substr(words.rfind('\n') + 1);
    const std::lock_guard lock(watch->Mutex);
    if (!watch->HostAlive)
      return;
    QMetaObject::invokeMethod(
        qApp,
        [this, watch, path, reason] {
          if (watch->HostAlive)
            ShowMessage(TMessageKind::Error, std::string(ErrorMessage(ecGeneral)) + "\n" + path +
                                                 (reason.empty() ? "" : "\n" + reason));
        },
        Qt::QueuedConnection);
  }).detach();
  return true;
}

std::optional<std::string> TQtHost::InputBox(const std::string& caption, const std::string& prompt,
                                             const std::string& value, int maxLength) {
  QInputDialog dialog;
  dialog.setWindowTitle(QString::fromStdString(caption));
  dialog.setLabelText(QString::fromStdString(prompt));
  dialog.setTextValue(QString::fromStdString(value));
  dialog.setOkButtonText(QStringLiteral("OK"));
  dialog.setCancelButtonText(QStringLiteral("Cancel"));
  if (auto* edit = dialog.findChild<QLineEdit*>()) {
    edit->setMaxLength(maxLength);
    edit->selectAll();
  }
  // The whole prompt on its line, with the margins a box keeps at its sides: the dialog's
  // own hint leaves a long one touching the edge or cut where the style's font is wider.
  const int promptWidth = dialog.fontMetrics().horizontalAdvance(QString::fromStdString(prompt));
  dialog.setMinimumWidth(std::max(dialog.minimumSizeHint().width(), promptWidth + 64));
  if (dialog.exec() != QDialog::Accepted)
    return std::nullopt;
  return dialog.textValue().toStdString();
}

namespace {
// Qt takes a filter's patterns from the parentheses that end its text, so the text
// carries the request's own pattern: a Windows-style "(*.*)" in a name would hide the
// files whose names have no dot.
QStringList NameFilters(const std::vector<TFileFilter>& filters) {
  QStringList names;
  for (const TFileFilter& filter : filters) {
    QString name = QString::fromStdString(filter.Name).trimmed();
    if (name.endsWith(QLatin1Char(')')) && name.contains(QLatin1Char('(')))
      name = name.left(name.lastIndexOf(QLatin1Char('('))).trimmed();
    names << name + QStringLiteral(" (") + QString::fromStdString(filter.Pattern) +
                 QLatin1Char(')');
  }
  return names;
}

} // namespace

TQtHost::TQtHost() = default;

TQtHost::~TQtHost() {
  {
    const std::lock_guard lock(Openers->Mutex); // an opener's late verdict finds no host
    Openers->HostAlive = false;
  }
  if (HelpWindow && !HelpWindow->parent())
    delete HelpWindow.data();
}

std::vector<std::string> TQtHost::RunOpenDialog(const TOpenDialogRequest& request, bool several) {
  const QStringList filters = NameFilters(request.Filters);
  QFileDialog dialog(nullptr, QString::fromStdString(request.Title),
                     QString::fromStdString(request.Folder));
  dialog.setFileMode(several ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  dialog.setNameFilters(filters);
  if (request.FilterIndex < static_cast<std::size_t>(filters.size()))
    dialog.selectNameFilter(filters[static_cast<qsizetype>(request.FilterIndex)]);
  if (!request.FileName.empty())
    dialog.selectFile(QString::fromStdString(request.FileName));
  if (!request.OkButtonText.empty())
    dialog.setLabelText(QFileDialog::Accept, QString::fromStdString(request.OkButtonText));
  std::vector<std::string> chosen;
  if (dialog.exec() == QDialog::Accepted)
    for (const QString& file : dialog.selectedFiles())
      chosen.push_back(file.toStdString());
  return chosen;
}

std::optional<std::string> TQtHost::OpenFileDialog(const TOpenDialogRequest& request) {
  const auto chosen = RunOpenDialog(request, false);
  return chosen.empty() ? std::nullopt : std::optional(chosen.front());
}

std::vector<std::string> TQtHost::OpenFilesDialog(const TOpenDialogRequest& request) {
  return RunOpenDialog(request, true);
}

std::optional<std::string> TQtHost::SaveFileDialog(const TSaveDialogRequest& request) {
  const QString folder = QString::fromStdString(request.Folder);
  QFileDialog dialog(nullptr, QString::fromStdString(request.Title), folder);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters(NameFilters(request.Filters));
  dialog.setDefaultSuffix(QString::fromStdString(request.DefaultExtension));
  dialog.selectFile(QString::fromStdString(request.FileName));
  // Replacing an existing file is asked about by the dialog itself.
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

bool TQtHost::MakePlayer() {
  if (Player)
    return true;
  // Qt's GStreamer backend crashes while building a player whose plugins are missing, so
  // the player is made only when the backend says it can decode MP3 at all.
  if (!QMediaFormat()
           .supportedAudioCodecs(QMediaFormat::Decode)
           .contains(QMediaFormat::AudioCodec::MP3)) {
    ReportMediaProblem("no MP3 decoder: GStreamer's plugins (gstreamer1.0-plugins-good) "
                       "are not installed");
    return false;
  }
  Player = std::make_unique<QMediaPlayer>();
  Audio = std::make_unique<QAudioOutput>();
  Player->setAudioOutput(Audio.get());
  // Playback fails long after Play returns (no audio output, a damaged stream): the
  // window hears of it here.
  QObject::connect(Player.get(), &QMediaPlayer::errorOccurred, Player.get(),
                   [this](QMediaPlayer::Error, const QString& reason) {
                     if (!Opening)
                       ReportMediaProblem(reason.toStdString());
                   });
  return true;
}

// The load is asynchronous: wait, repainting but taking no input, until the player has
// loaded the file or given up on it, for a bounded time.
bool TQtHost::AwaitMediaVerdict() {
  const auto settled = [this] {
    const QMediaPlayer::MediaStatus status = Player->mediaStatus();
    return Player->error() != QMediaPlayer::NoError || status == QMediaPlayer::InvalidMedia ||
           (status != QMediaPlayer::LoadingMedia && status != QMediaPlayer::NoMedia);
  };
  if (!settled()) {
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(Player.get(), &QMediaPlayer::mediaStatusChanged, &loop, [&] {
      if (settled())
        loop.quit();
    });
    QObject::connect(Player.get(), &QMediaPlayer::errorOccurred, &loop, &QEventLoop::quit);
    deadline.start(MediaVerdictMilliseconds);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  return Player->error() == QMediaPlayer::NoError &&
         Player->mediaStatus() != QMediaPlayer::InvalidMedia;
}

bool TQtHost::OpenMedia(const std::string& path) {
  // Only a regular file: the backend's open of a pipe would wait for a writer for ever.
  const QString file = QString::fromStdString(path);
  if (!FileExists(path) || !QFileInfo(file).isReadable())
    return false;
  // Qt keeps a player's error past a new source, so a player that failed is made anew.
  if (Player && Player->error() != QMediaPlayer::NoError)
    DropPlayer();
  if (!MakePlayer())
    return false;
  Opening = true; // the open's own verdict is reported once, below
  Player->setSource(QUrl::fromLocalFile(file));
  const bool opened = AwaitMediaVerdict();
  Opening = false;
  if (opened)
    return true;
  const QString reason = Player->errorString();
  DropPlayer(); // a failed open leaves the player closed
  ReportMediaProblem(reason.isEmpty() ? "the player cannot read the file" : reason.toStdString());
  return false;
}

void TQtHost::DropPlayer() {
  Player.reset();
  Audio.reset();
}

void TQtHost::PlayMedia() {
  if (!Player || Player->source().isEmpty())
    return;
  // Without an output the backend plays into nothing and reports no error.
  if (QMediaDevices::audioOutputs().isEmpty()) {
    ReportMediaProblem("no sound output was found (no sound card, and no sound server runs)");
    return;
  }
  Player->play();
}

void TQtHost::StopMedia() {
  if (Player)
    Player->stop();
}

void TQtHost::CloseMedia() {
  if (Player) {
    Player->stop();
    Player->setSource(QUrl());
  }
}

// The help window belongs to the window it was asked from: a modal window blocks every
// window but its own, and a window owned by the main window closes with the program.
QDialog* TQtHost::HelpWindowFor(QWidget* owner) {
  if (HelpWindow && HelpWindow->parentWidget() != owner) {
    const QRect geometry = HelpWindow->geometry();
    HelpWindow->setParent(owner, HelpWindow->windowFlags());
    HelpWindow->setGeometry(geometry);
  }
  if (HelpWindow)
    return HelpWindow;
  HelpWindow = new QDialog(owner);
  HelpWindow->setObjectName(QStringLiteral("HelpWindow"));
  HelpWindow->setWindowTitle(QStringLiteral("Tamberlon Help"));
  HelpWindow->resize(640, 560);
  auto* browser = new QTextBrowser(HelpWindow);
  browser->setObjectName(QStringLiteral("HelpBrowser"));
  auto* back = new QPushButton(QStringLiteral("&Back"), HelpWindow);
  auto* forward = new QPushButton(QStringLiteral("&Forward"), HelpWindow);
  back->setObjectName(QStringLiteral("HelpBack"));
  forward->setObjectName(QStringLiteral("HelpForward"));
  back->setEnabled(false);
  forward->setEnabled(false);
  QObject::connect(back, &QPushButton::clicked, browser, &QTextBrowser::backward);
  QObject::connect(forward, &QPushButton::clicked, browser, &QTextBrowser::forward);
  QObject::connect(browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
  QObject::connect(browser, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(back);
  buttons->addWidget(forward);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(HelpWindow);
  layout->addLayout(buttons);
  layout->addWidget(browser);
  return HelpWindow;
}

bool TQtHost::ShowHelp(int topic) {
  const std::string path = GetProgramFolder() + HelpFileName;
  const auto help = ReadFileBytes(path);
  if (!help || !HelpTopicExists(*help, topic))
    return false;
  QWidget* modal = QApplication::activeModalWidget();
  QDialog* window = HelpWindowFor(modal ? modal : MainWindow);
  if (!window->isVisible())
    CentreOver(window, window->parentWidget());
  auto* browser = window->findChild<QTextBrowser*>();
  // Shown from its file, so that the links inside it join the history Back and Forward
  // follow (a text set by hand has no place in it).
  QUrl url = QUrl::fromLocalFile(QString::fromStdString(path));
  url.setFragment(QString::number(topic));
  browser->setSource(url, QTextDocument::HtmlResource);
  window->show();
  window->raise();
  window->activateWindow();
  return true;
}

void TQtHost::SetBusyCursor(bool busy) {
  if (busy)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

namespace {
// Runs a keychain job to its end (the store answers over D-Bus, within its own timeout)
// and says what came of it.
TSecretResult RunSecretJob(QKeychain::Job& job, const std::string& name) {
  job.setAutoDelete(false);
  job.setInsecureFallback(false); // a password never goes to a plain file
  job.setKey(QString::fromStdString(name));
  QEventLoop loop;
  QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
  job.start();
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  TSecretResult result;
  switch (job.error()) {
  case QKeychain::NoError:
    result.Outcome = TSecretOutcome::Done;
    break;
  case QKeychain::EntryNotFound:
    result.Outcome = TSecretOutcome::NotFound;
    break;
  default:
    result.Reason = job.errorString().toStdString();
    break;
  }
  return result;
}
} // namespace

TSecretResult TQtHost::ReadSecret(const std::string& name) {
  QKeychain::ReadPasswordJob job(QStringLiteral("Tamberlon"));
  TSecretResult result = RunSecretJob(job, name);
  if (result.Outcome == TSecretOutcome::Done)
    result.Value = job.textData().toStdString();
  return result;
}

TSecretResult TQtHost::WriteSecret(const std::string& name, const std::string& value) {
  QKeychain::WritePasswordJob job(QStringLiteral("Tamberlon"));
  job.setTextData(QString::fromStdString(value));
  return RunSecretJob(job, name);
}
