// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/PostUnit.h"

#include "common/FileUnit.h"
#include "common/Host.h"
#include "common/IntToAbbrStrUnit.h"
#include "common/TextUnit.h"
#include "platform/WindowPlace.h"
#include "ui/QtText.h"
#include "ui/ServerUnit.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cstdio>

namespace {
template <typename T> T* Named(T* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

// A size as the main window's Total Size shows it, in the user's regional form.
QString Megabytes(std::uint64_t bytes) {
  return ToQt(IntToAbbrStr(static_cast<std::int64_t>(bytes)));
}

// " in 12.3 s, 45.6 MB/s" for a run that took time, in the file list's units.
std::string RunTime(std::uint64_t bytes, double seconds) {
  if (seconds <= 0)
    return {};
  char text[32];
  std::snprintf(text, sizeof text, " in %.1f s, ", seconds);
  return text + IntToAbbrStr(static_cast<std::int64_t>(static_cast<double>(bytes) / seconds)) +
         "/s";
}

std::size_t ArticlesOf(std::uint64_t size, std::size_t articleSize) {
  return size == 0 ? 1 : static_cast<std::size_t>((size + articleSize - 1) / articleSize);
}
// What to do about a post that stopped, in the window's own terms.
std::string Advice(TFaultCause cause) {
  switch (cause) {
  case TFaultCause::Unreachable:
    return "Check the host, port and TLS with Server..., and try Test connection.";
  case TFaultCause::Certificate:
    return "If the server has a certificate of its own, name that certificate as the "
           "Certificate to trust with Server..., and try Test connection.";
  case TFaultCause::Credentials:
    return "Check the user name and password with Server... (a server that takes them only "
           "over TLS needs Implicit TLS or STARTTLS).";
  case TFaultCause::NoPosting:
    return "This account may not post: ask the news provider, or choose another server.";
  case TFaultCause::ArticleRefused:
    return "Post again later, or through another server; what the server took is kept.";
  case TFaultCause::File:
    return "Check that the file is there and can be read, then Post again.";
  case TFaultCause::Other:
    break;
  }
  return "Post again to continue; what the server took is kept.";
}
} // namespace

std::string PostResultText(const TPostSummary& summary, double seconds) {
  std::string text;
  if (summary.Cancelled)
    text = "Posting paused: " + std::to_string(summary.Accepted) + " of " +
           std::to_string(summary.Articles) + " articles posted; Post again to continue\n";
  else if (summary.Problem)
    text = "Posting stopped: " + summary.Problem->Message + "\n" + Advice(summary.Cause) + "\n";
  text += CountOf(summary.Posted, "article") + " posted (" + std::to_string(summary.Bytes) +
          " bytes" + RunTime(summary.Bytes, seconds) + ")" +
          (summary.Resumed ? " continuing the earlier post" : "") + ", " +
          std::to_string(summary.Retries) + (summary.Retries == 1 ? " retry" : " retries");
  // A paused post's unchecked articles are not failures yet.
  text += summary.Cancelled ? "." : ", " + CountOf(summary.Failures, "failure") + ".";
  if (summary.Complete() && summary.CheckedOn.empty())
    text += "\nThe check found every one of the " + std::to_string(summary.Articles) +
            " articles on the server.";
  else if (summary.Complete())
    text += "\nThe check found " + CheckVerdict(summary) + ".";
  else if (!summary.Cancelled && !summary.Problem && !summary.CheckedOn.empty())
    text += "\nThe check: " + CheckVerdict(summary) + "; Post again to post them again.";
  else if (!summary.Cancelled && !summary.Problem)
    text += "\nThe check did not find " + std::to_string(summary.Failures) +
            " articles on the server; Post again to post them again.";
  if (!summary.NzbPath.empty())
    text += "\nNZB: " + summary.NzbPath;
  if (const auto& delivery = summary.Delivery) {
    if (!delivery->CopyPath.empty())
      text += "\nCopied to " + delivery->CopyPath;
    if (delivery->CopyProblem)
      text += "\n" + delivery->CopyProblem->Message + ": " + delivery->CopyProblem->Path;
    if (delivery->Command)
      text += "\nThe command after the post " + CommandRunText(*delivery->Command) +
              (delivery->Command->Output.empty()
                   ? "."
                   : ":\n" + delivery->Command->Output.substr(
                                 delivery->Command->Output.size() -
                                 std::min<std::size_t>(delivery->Command->Output.size(), 2000)));
  }
  return text;
}

TFormPost::TFormPost(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("FormPost"));
  setWindowTitle(QStringLiteral("Post to Usenet"));
  resize(640, 520);
  BuildControls();
  BuildResult();
  BuildButtons();
  LayOut();
  connect(ButtonPost, &QPushButton::clicked, this, &TFormPost::ButtonPostClick);
  connect(ButtonCancel, &QPushButton::clicked, this, &TFormPost::ButtonCancelClick);
  connect(ButtonAddToQueue, &QPushButton::clicked, this, &TFormPost::ButtonAddToQueueClick);
  connect(ButtonServer, &QPushButton::clicked, this, &TFormPost::ButtonServerClick);
  connect(ButtonEditNGList, &QPushButton::clicked, this, &TFormPost::NewsGroupsWanted);
  connect(ButtonOpenFolder, &QPushButton::clicked, this,
          [this] { CurrentHost().ShellOpen(FolderPart(LastSummary.NzbPath), ""); });
}

// The files, the newsgroups and server, the options and the progress.
void TFormPost::BuildControls() {
  TableFiles = Named(new QTableWidget(0, 4, this), "TableFiles");
  TableFiles->setHorizontalHeaderLabels({QStringLiteral("File"), QStringLiteral("Size"),
                                         QStringLiteral("Articles"), QStringLiteral("Posted")});
  TableFiles->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  TableFiles->verticalHeader()->hide();
  TableFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
  LabelTotal = Named(new QLabel(this), "LabelTotal");
  LabelNewsgroups = Named(new QLabel(this), "LabelNewsgroups");
  LabelNewsgroups->setWordWrap(true);
  ButtonEditNGList =
      Named(new QPushButton(QStringLiteral("Select &Newsgroups..."), this), "ButtonEditNGList");
  LabelServer = Named(new QLabel(this), "LabelServer");
  ButtonServer = Named(new QPushButton(QStringLiteral("&Server..."), this), "ButtonServer");
  CheckBoxObfuscate =
      Named(new QCheckBox(QStringLiteral("&Obfuscate names"), this), "CheckBoxObfuscate");
  CheckBoxCheckBodies =
      Named(new QCheckBox(QStringLiteral("&Check every article after posting"), this),
            "CheckBoxCheckBodies");
  ProgressBytes = Named(new QProgressBar(this), "ProgressBytes");
  ProgressBytes->setRange(0, 1000);
  LabelFile = Named(new QLabel(this), "LabelFile");
  LabelProgress = Named(new QLabel(this), "LabelProgress");
}

// What the post did, with a way to its folder; shown once it ends.
void TFormPost::BuildResult() {
  GroupBoxResult = Named(new QGroupBox(QStringLiteral("Result"), this), "GroupBoxResult");
  LabelResult = Named(new QLabel(GroupBoxResult), "LabelResult");
  LabelResult->setWordWrap(true);
  LabelResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
  ButtonOpenFolder =
      Named(new QPushButton(QStringLiteral("Open &folder"), GroupBoxResult), "ButtonOpenFolder");
  auto* result = new QHBoxLayout(GroupBoxResult);
  result->addWidget(LabelResult, 1);
  result->addWidget(ButtonOpenFolder, 0, Qt::AlignTop);
  GroupBoxResult->hide();
}

void TFormPost::BuildButtons() {
  ButtonPost = Named(new QPushButton(QStringLiteral("&Post"), this), "ButtonPost");
  ButtonCancel = Named(new QPushButton(QStringLiteral("Cancel"), this), "ButtonCancel");
  ButtonAddToQueue =
      Named(new QPushButton(QStringLiteral("Add to &Queue"), this), "ButtonAddToQueue");
  ButtonPost->setDefault(true);
}

void TFormPost::LayOut() {
  auto* server = new QHBoxLayout;
  server->addWidget(LabelServer, 1);
  server->addWidget(ButtonServer);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ButtonAddToQueue);
  buttons->addWidget(ButtonPost);
  buttons->addWidget(ButtonCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(TableFiles, 1);
  layout->addWidget(LabelTotal);
  auto* newsgroups = new QHBoxLayout;
  newsgroups->addWidget(LabelNewsgroups, 1);
  newsgroups->addWidget(ButtonEditNGList);
  layout->addLayout(newsgroups);
  layout->addLayout(server);
  layout->addWidget(CheckBoxObfuscate);
  layout->addWidget(CheckBoxCheckBodies);
  layout->addWidget(LabelFile);
  layout->addWidget(ProgressBytes);
  layout->addWidget(LabelProgress);
  layout->addWidget(GroupBoxResult);
  layout->addLayout(buttons);
}

TFormPost::~TFormPost() {
  Stop();
}

void TFormPost::Prepare(TPostOrder order) {
  Order = std::move(order);
  Files = ReleaseFilesBeside(Order.NfoPath);
  CheckBoxObfuscate->setChecked(Order.Setup.Obfuscate);
  CheckBoxCheckBodies->setChecked(Order.Setup.Settings.CheckBodies);
  SetGroups(Order.Groups);
  ShowFiles();
  ShowServer();
  GroupBoxResult->hide();
  ProgressBytes->setValue(0);
  LabelFile->clear();
  LabelProgress->clear();
  if (!isVisible()) { // over the main window, not where the desktop likes
    FitFiles();
    CentreOver(this, parentWidget());
  }
}

void TFormPost::SetGroups(std::vector<std::string> groups) {
  Order.Groups = std::move(groups);
  QStringList names;
  for (const std::string& group : Order.Groups)
    names << ToQt(group);
  LabelNewsgroups->setText(QStringLiteral("Newsgroups: ") +
                           (names.isEmpty()
                                ? QStringLiteral("none chosen; choose them with Select Newsgroups")
                                : names.join(QStringLiteral(", "))));
  ShowServer();
}

void TFormPost::ShowFiles() {
  TableFiles->setRowCount(0);
  std::uint64_t total = 0;
  std::size_t articles = 0;
  for (const std::string& path : Files) {
    const auto stamp = FileStampOf(path);
    const auto size = static_cast<std::uint64_t>(stamp ? stamp->Size : 0);
    const std::size_t count = ArticlesOf(size, Order.Setup.ArticleSize);
    const int row = TableFiles->rowCount();
    TableFiles->insertRow(row);
    TableFiles->setItem(row, 0, new QTableWidgetItem(ToQt(FileNamePart(path))));
    TableFiles->setItem(row, 1, new QTableWidgetItem(Megabytes(size)));
    TableFiles->setItem(row, 2, new QTableWidgetItem(QString::number(count)));
    TableFiles->setItem(row, 3, new QTableWidgetItem);
    total += size;
    articles += count;
  }
  LabelTotal->setText(QStringLiteral("%1 files, %2, %3 articles")
                          .arg(Files.size())
                          .arg(Megabytes(total))
                          .arg(articles));
}

void TFormPost::ShowServer() {
  const TServerProfile& server = Order.Setup.Settings.Server;
  const QString tls = server.Endpoint.Tls == TTlsMode::Implicit   ? QStringLiteral("TLS")
                      : server.Endpoint.Tls == TTlsMode::StartTls ? QStringLiteral("STARTTLS")
                                                                  : QStringLiteral("no TLS");
  LabelServer->setText(
      server.Endpoint.Host.empty()
          ? QStringLiteral("Server: none set; set it with Server...")
          : QStringLiteral("Server: %1:%2, %3, %4 %5%6")
                    .arg(ToQt(server.Endpoint.Host))
                    .arg(server.Endpoint.Port)
                    .arg(tls)
                    .arg(Order.Setup.Settings.Connections)
                    .arg(Order.Setup.Settings.Connections == 1 ? QStringLiteral("connection")
                                                               : QStringLiteral("connections"))
                    .arg(server.User.empty() ? QString()
                                             : QStringLiteral(", as ") + ToQt(server.User)) +
                (Order.Setup.Settings.MoreServers.empty()
                     ? QString()
                     : QStringLiteral("; and %1 more")
                           .arg(Order.Setup.Settings.MoreServers.size())));
  ButtonPost->setEnabled(!server.Endpoint.Host.empty() && !Order.Groups.empty() && !Files.empty());
  ButtonAddToQueue->setEnabled(ButtonPost->isEnabled());
}

void TFormPost::ButtonServerClick() {
  TFormServer dialog(Order.Setup, Order.Password, Order.StoreRuns, this);
  CentreOver(&dialog, this);
  if (dialog.exec() != QDialog::Accepted)
    return;
  Order.Setup = dialog.Setup();
  Order.Password = dialog.Password();
  emit ServerChanged(Order.Setup, Order.Password);
  ShowFiles(); // the article size may have changed
  ShowServer();
}

void TFormPost::ButtonPostClick() {
  if (Posting() || Files.empty())
    return;
  if (!Order.Setup.Settings.Server.User.empty() && Order.Password.empty()) {
    ButtonServerClick(); // a user name without its password: asked for here
    if (Order.Password.empty())
      return;
  }
  Stop(); // the last run's thread, long finished
  TPostRequest request;
  request.NzbPath = DefaultNzbPath(Files, Order.Setup.NzbCompressed);
  request.NzbMeta = Order.Setup.NzbMeta; // the title is the release's name
  request.Delivery = Order.Setup.Delivery;
  request.JournalPath = JournalPathFor(request.NzbPath);
  if (FileExists(request.NzbPath) && !FileExists(request.JournalPath)) {
    if (CurrentHost().ShowMessage(TMessageKind::Confirmation,
                                  FileNamePart(request.NzbPath) +
                                      " already exists. Post again and replace it?") !=
        TMessageResult::Yes)
      return;
    request.ReplaceNzb = true;
  }
  // The two choices are remembered with the server's settings.
  Order.Setup.Obfuscate = CheckBoxObfuscate->isChecked();
  Order.Setup.Settings.CheckBodies = CheckBoxCheckBodies->isChecked();
  emit ServerChanged(Order.Setup, Order.Password);
  if (!Order.Setup.Servers.empty()) {
    Order.Setup.Servers.front().Profile.Password = Order.Password;
    UseServerList(Order.Setup); // each server's password goes with it
  }
  request.Settings = Order.Setup.Settings;
  if (Order.Setup.Servers.empty())
    request.Settings.Server.Password = Order.Password;
  request.Cancelled = &Cancelled;
  request.Progress = [this](const TPostProgress& progress) {
    QueueProgress(progress);
  };
  SetControlsEnabled(false);
  GroupBoxResult->hide();
  ButtonCancel->setText(QStringLiteral("Cancel"));
  LabelProgress->setText(QStringLiteral("Reading the files..."));
  Cancelled = false;
  Done = false;
  {
    std::lock_guard guard(LatestLock);
    Latest = {}; // nothing of the last run's
  }
  PhaseStart = RunStart = std::chrono::steady_clock::now();
  Phase = TPostProgress::Posting;
  Run(std::move(request));
}

// Tall enough to show every file, and wide enough for their names, where the screen has
// room; beyond that the table scrolls.
void TFormPost::FitFiles() {
  TableFiles->resizeColumnsToContents();
  const QHeaderView* header = TableFiles->horizontalHeader();
  const int frame = 2 * TableFiles->frameWidth();
  const int rows = TableFiles->verticalHeader()->defaultSectionSize() * TableFiles->rowCount();
  const QSize table(header->length() + frame + TableFiles->verticalScrollBar()->sizeHint().width(),
                    header->sizeHint().height() + rows + frame);
  const QSize others = layout()->sizeHint() - TableFiles->sizeHint();
  QSize wanted(std::max(width(), table.width() + layout()->contentsMargins().left() +
                                     layout()->contentsMargins().right()),
               others.height() + table.height());
  if (const QScreen* screen = (parentWidget() ? parentWidget() : this)->screen())
    wanted = wanted.boundedTo(screen->availableGeometry().size() - WindowFrameAllowance);
  resize(wanted.expandedTo(minimumSizeHint()));
}

void TFormPost::MapPlanRows(const std::vector<std::string>& planned) {
  PlanRows.assign(planned.size(), -1);
  for (std::size_t i = 0; i < planned.size(); ++i)
    for (std::size_t row = 0; row < Files.size(); ++row)
      if (Files[row] == planned[i])
        PlanRows[i] = static_cast<int>(row);
}

// Each file's articles done, and the one the posting threads are at, in view.
void TFormPost::ShowFileProgress(const TPostProgress& progress) {
  const bool checking = progress.Phase == TPostProgress::Checking;
  TableFiles->horizontalHeaderItem(3)->setText(checking ? QStringLiteral("Checked")
                                                        : QStringLiteral("Posted"));
  const auto rowOf = [this](std::size_t file) {
    return file < PlanRows.size() ? PlanRows[file] : -1;
  };
  for (std::size_t file = 0; file < progress.FileArticles.size(); ++file)
    if (const int row = rowOf(file); row >= 0)
      TableFiles->item(row, 3)->setText(QStringLiteral("%1 of %2")
                                            .arg(progress.FileArticles[file])
                                            .arg(TableFiles->item(row, 2)->text()));
  const int row = rowOf(progress.File);
  if (progress.Articles == 0 || row < 0 || progress.File >= progress.FileArticles.size())
    return;
  TableFiles->scrollToItem(TableFiles->item(row, 0));
  LabelFile->setText(QStringLiteral("%1 %2: %3 of %4 articles")
                         .arg(checking ? QStringLiteral("Checking") : QStringLiteral("Posting"),
                              TableFiles->item(row, 0)->text())
                         .arg(progress.FileArticles[progress.File])
                         .arg(TableFiles->item(row, 2)->text()));
}

// The plan (each file read for its checksum) and the post, on the worker thread.
void TFormPost::Run(TPostRequest request) {
  std::vector<std::string> groups = Order.Groups;
  if (groups.size() > static_cast<std::size_t>(Order.Setup.MaxGroups))
    groups.resize(static_cast<std::size_t>(Order.Setup.MaxGroups));
  Worker =
      std::jthread([this, request = std::move(request), groups, files = Files, from = Order.From,
                    size = Order.Setup.ArticleSize, obfuscate = Order.Setup.Obfuscate]() mutable {
        TPostSummary summary;
        TPlanResult planned =
            PlanPost(files, ReleaseName(files.front()), from, groups, size, obfuscate);
        if (planned.Problem) {
          summary.Problem = planned.Problem;
        } else {
          std::vector<std::string> paths;
          for (const TPostFile& file : planned.Plan.Files)
            paths.push_back(file.Path);
          // Queued before any progress, so the rows are known when it comes.
          QMetaObject::invokeMethod(
              this, [this, paths] { MapPlanRows(paths); }, Qt::QueuedConnection);
          request.Plan = std::move(planned.Plan);
          summary = PostRelease(request);
        }
        QMetaObject::invokeMethod(
            this, [this, summary] { Finish(summary); }, Qt::QueuedConnection);
      });
}

// From the posting threads: ten showings a second, since repainting for each article
// would take the processor from the post.
void TFormPost::QueueProgress(const TPostProgress& progress) {
  const std::int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now().time_since_epoch())
                               .count();
  {
    std::lock_guard guard(LatestLock);
    Latest = progress;
  }
  const bool last = progress.Articles == progress.TotalArticles;
  if ((!last && now - LastShown.load() < 100) || ProgressQueued.exchange(true))
    return; // too soon, or the window has not shown the last one yet (it will show this)
  LastShown = now;
  QMetaObject::invokeMethod(
      this,
      [this] {
        ProgressQueued = false;
        TPostProgress newest;
        {
          std::lock_guard guard(LatestLock);
          newest = Latest;
        }
        ShowProgress(newest);
      },
      Qt::QueuedConnection);
}

void TFormPost::SetControlsEnabled(bool enabled) {
  for (QWidget* control : std::initializer_list<QWidget*>{ButtonServer, ButtonEditNGList,
                                                          CheckBoxObfuscate, CheckBoxCheckBodies})
    control->setEnabled(enabled);
  if (enabled)
    ShowServer(); // Post, where the settings allow it
  else
    for (QPushButton* button : {ButtonPost, ButtonAddToQueue})
      button->setEnabled(false);
}

void TFormPost::ShowProgress(const TPostProgress& progress) {
  const auto now = std::chrono::steady_clock::now();
  if (progress.Phase != Phase || progress.Bytes == 0) {
    Phase = progress.Phase;
    PhaseStart = now;
  }
  const double seconds = std::chrono::duration<double>(now - PhaseStart).count();
  // A resumed post's bar starts where the earlier run stopped.
  const std::uint64_t done = progress.EarlierBytes + progress.Bytes;
  const std::uint64_t total = progress.EarlierBytes + progress.TotalBytes;
  ProgressBytes->setValue(total == 0 ? 0 : static_cast<int>(1000 * done / total));
  ShowFileProgress(progress);
  if (Cancelled)
    return;
  LabelProgress->setText(ToQt(PostProgressText(progress, seconds)));
  if (!isVisible())
    emit ProgressAway(LabelProgress->text());
}

void TFormPost::Finish(const TPostSummary& summary) {
  Done = true;
  {
    // The posting threads are done: their last count, which a showing may have skipped.
    std::lock_guard guard(LatestLock);
    ShowFileProgress(Latest);
  }
  LastSummary = summary;
  SetControlsEnabled(true);
  ProgressBytes->setValue(summary.Complete() ? 1000 : ProgressBytes->value());
  LabelProgress->setText(summary.Complete()  ? QStringLiteral("Done")
                         : summary.Cancelled ? QStringLiteral("Paused")
                                             : QStringLiteral("Not finished"));
  LabelResult->setText(ToQt(PostResultText(
      summary,
      std::chrono::duration<double>(std::chrono::steady_clock::now() - RunStart).count())));
  ButtonOpenFolder->setEnabled(!summary.NzbPath.empty());
  GroupBoxResult->show();
  ButtonCancel->setText(QStringLiteral("Close"));
  emit Finished();
}

void TFormPost::ButtonAddToQueueClick() {
  if (Posting())
    return;
  Order.Setup.Obfuscate = CheckBoxObfuscate->isChecked();
  Order.Setup.Settings.CheckBodies = CheckBoxCheckBodies->isChecked();
  emit ServerChanged(Order.Setup, Order.Password);
  emit QueueWanted();
}

void TFormPost::ButtonCancelClick() {
  if (!Posting()) {
    close();
    return;
  }
  Cancelled = true; // the posting threads stop after the articles on the wire
  LabelProgress->setText(QStringLiteral("Stopping..."));
}

void TFormPost::Stop() {
  if (!Worker.joinable())
    return;
  Cancelled = true;
  Worker.join();
  Worker = {};
}

bool TFormPost::PauseToClose() {
  if (!Posting())
    return true;
  if (CurrentHost().ShowMessage(TMessageKind::Confirmation,
                                "Posting is not finished. Pause it and close? Posting the "
                                "album again continues where it stopped.") != TMessageResult::Yes)
    return false;
  Stop();
  return true;
}

void TFormPost::closeEvent(QCloseEvent* event) {
  // A long post is left to run out of the way; Post to Usenet... shows the window again.
  if (Posting() && !Cancelled)
    emit ProgressAway(LabelProgress->text());
  else if (!Posting())
    Stop();
  event->accept();
}
