// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/QueueUnit.h"

#include "common/FileUnit.h"
#include "common/Host.h"
#include "ui/MainUnit.h"
#include "ui/PostUnit.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

namespace {
template <typename T> T* Named(T* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

std::string JoinedGroups(const std::vector<std::string>& groups) {
  std::string joined;
  for (const std::string& group : groups)
    joined += (joined.empty() ? "" : ", ") + group;
  return joined;
}

// The post of one queued album, on the worker's thread: planned (each file read for its
// checksum), posted and checked.
TPostSummary PostQueuedAlbum(const TQueuedAlbum& album, const TPostSetup& setup,
                             const std::atomic<bool>& cancelled,
                             std::function<void(const TPostProgress&)> progress) {
  TPostSummary summary;
  if (!IsNfoPath(album.NfoPath) || !IsPlainFile(album.NfoPath)) {
    summary.Problem = TProblem{FileExists(album.NfoPath) || !IsNfoPath(album.NfoPath)
                                   ? "This is not an album's .nfo; it is not posted"
                                   : "The album's .nfo is no longer there",
                               album.NfoPath};
    return summary;
  }
  const std::vector<std::string> files = ReleaseFilesBeside(album.NfoPath);
  TPlanResult planned = PlanPost(files, ReleaseName(files.front()), album.From, album.Groups,
                                 setup.ArticleSize, setup.Obfuscate);
  if (planned.Problem) {
    summary.Problem = planned.Problem;
    return summary;
  }
  TPostRequest request;
  request.Plan = std::move(planned.Plan);
  request.Settings = setup.Settings;
  request.NzbPath = DefaultNzbPath(files, setup.NzbCompressed);
  request.JournalPath = JournalPathFor(request.NzbPath);
  request.NzbMeta = setup.NzbMeta;
  request.Delivery = setup.Delivery;
  request.Cancelled = &cancelled;
  request.Progress = std::move(progress);
  return PostRelease(request);
}
} // namespace

TFormQueue::TFormQueue(std::string queuePath, TPostSettingsSource settings, QWidget* parent)
    : QWidget(parent, Qt::Window), QueuePath(std::move(queuePath)),
      SettingsNow(std::move(settings)) {
  setObjectName(QStringLiteral("FormQueue"));
  setWindowTitle(QStringLiteral("Post Queue"));
  resize(720, 360);
  TableAlbums = Named(new QTableWidget(0, 4, this), "TableAlbums");
  TableAlbums->setHorizontalHeaderLabels({QStringLiteral("Album"), QStringLiteral("Newsgroups"),
                                          QStringLiteral("State"), QStringLiteral("Result")});
  TableAlbums->horizontalHeader()->setSectionResizeMode(3, QHeaderView::Stretch);
  TableAlbums->verticalHeader()->hide();
  TableAlbums->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TableAlbums->setSelectionBehavior(QAbstractItemView::SelectRows);
  LabelProgress = Named(new QLabel(this), "LabelProgress");
  ButtonPause = Named(new QPushButton(QStringLiteral("&Pause"), this), "ButtonPause");
  ButtonResume = Named(new QPushButton(QStringLiteral("&Resume"), this), "ButtonResume");
  ButtonRemove = Named(new QPushButton(QStringLiteral("Re&move"), this), "ButtonRemove");
  ButtonRetry = Named(new QPushButton(QStringLiteral("Re&try"), this), "ButtonRetry");
  ButtonClose = Named(new QPushButton(QStringLiteral("Close"), this), "ButtonClose");
  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {ButtonPause, ButtonResume, ButtonRemove, ButtonRetry})
    buttons->addWidget(button);
  buttons->addStretch(1);
  buttons->addWidget(ButtonClose);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(TableAlbums, 1);
  layout->addWidget(LabelProgress);
  layout->addLayout(buttons);
  connect(ButtonPause, &QPushButton::clicked, this, &TFormQueue::ButtonPauseClick);
  connect(ButtonResume, &QPushButton::clicked, this, &TFormQueue::ButtonResumeClick);
  connect(ButtonRemove, &QPushButton::clicked, this, &TFormQueue::ButtonRemoveClick);
  connect(ButtonRetry, &QPushButton::clicked, this, &TFormQueue::ButtonRetryClick);
  connect(ButtonClose, &QPushButton::clicked, this, &QWidget::close);
  connect(TableAlbums, &QTableWidget::itemSelectionChanged, this, &TFormQueue::ShowButtons);
  PollTimer = new QTimer(this);
  PollTimer->setInterval(250);
  connect(PollTimer, &QTimer::timeout, this, &TFormQueue::Poll);
}

TFormQueue::~TFormQueue() {
  Cancelled = true;
  Join();
}

void TFormQueue::Restore() {
  Queue = ReadPostQueue(QueuePath);
  ShowAlbums();
  StartNext();
}

void TFormQueue::Add(TQueuedAlbum album) {
  album.State = TQueueState::Waiting;
  album.Note.clear();
  Queue.Albums.push_back(std::move(album));
  Save();
  ShowAlbums();
  StartNext();
}

void TFormQueue::Save() {
  SaveFailed = !WritePostQueue(QueuePath, Queue);
}

void TFormQueue::ShowAlbums() {
  TableAlbums->setRowCount(static_cast<int>(Queue.Albums.size()));
  for (std::size_t i = 0; i < Queue.Albums.size(); ++i) {
    const TQueuedAlbum& album = Queue.Albums[i];
    const QString cells[] = {ToQt(ReleaseName(album.NfoPath)), ToQt(JoinedGroups(album.Groups)),
                             ToQt(std::string(QueueStateWord(album.State))),
                             ToQt(album.Note.substr(0, album.Note.find('\n')))};
    for (int column = 0; column < 4; ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      item->setToolTip(column == 0 ? ToQt(album.NfoPath) : ToQt(album.Note));
      TableAlbums->setItem(static_cast<int>(i), column, item);
    }
  }
  TableAlbums->resizeColumnsToContents();
  TableAlbums->horizontalHeader()->setSectionResizeMode(3, QHeaderView::Stretch);
  if (SaveFailed)
    LabelProgress->setText(QStringLiteral("The queue could not be saved to ") + ToQt(QueuePath) +
                           QStringLiteral(": it will not outlive the program"));
  else if (Queue.Paused)
    LabelProgress->setText(QStringLiteral("Paused: Resume posts the albums waiting"));
  else if (!Posting())
    LabelProgress->setText(QStringLiteral("Nothing to post"));
  ShowButtons();
}

std::vector<std::size_t> TFormQueue::SelectedRows() const {
  std::set<std::size_t> rows;
  for (const QModelIndex& index : TableAlbums->selectionModel()->selectedRows())
    if (static_cast<std::size_t>(index.row()) < Queue.Albums.size())
      rows.insert(static_cast<std::size_t>(index.row()));
  return {rows.begin(), rows.end()};
}

void TFormQueue::ShowButtons() {
  const std::vector<std::size_t> rows = SelectedRows();
  const auto any = [&](TQueueState state) {
    return std::any_of(rows.begin(), rows.end(),
                       [&](std::size_t row) { return Queue.Albums[row].State == state; });
  };
  ButtonPause->setEnabled(!Queue.Paused);
  ButtonResume->setEnabled(Queue.Paused);
  ButtonRemove->setEnabled(!rows.empty() && !any(TQueueState::Posting));
  ButtonRetry->setEnabled(any(TQueueState::Failed));
}

void TFormQueue::StartNext() {
  if (Worker.joinable()) {
    if (RunEnded)
      Poll(); // the last album's end is taken first, and Poll starts the next
    return;
  }
  if (Queue.Paused)
    return;
  const auto next = std::find_if(Queue.Albums.begin(), Queue.Albums.end(), [](const auto& album) {
    return album.State == TQueueState::Waiting;
  });
  if (next == Queue.Albums.end())
    return;
  const TPostSetup setup = SettingsNow();
  if (setup.Settings.Server.Endpoint.Host.empty()) {
    Queue.Paused = true; // every album would fail alike
    Save();
    ShowAlbums();
    LabelProgress->setText(
        QStringLiteral("No news server is set: set it with Server..., then Resume"));
    return;
  }
  next->State = TQueueState::Posting;
  next->Note.clear();
  Save();
  const TQueuedAlbum album = *next;
  Cancelled = false;
  RunEnded = false;
  LabelProgress->setText(QStringLiteral("Reading the files of ") +
                         ToQt(ReleaseName(album.NfoPath)));
  Worker = std::jthread([this, album, setup] {
    auto start = std::chrono::steady_clock::now();
    auto phase = TPostProgress::Posting;
    TPostSummary summary =
        PostQueuedAlbum(album, setup, Cancelled, [&](const TPostProgress& progress) {
          const auto now = std::chrono::steady_clock::now();
          if (progress.Phase != phase || progress.Bytes == 0) {
            phase = progress.Phase;
            start = now;
          }
          const double seconds = std::chrono::duration<double>(now - start).count();
          std::lock_guard guard(Lock);
          ProgressText = ReleaseName(album.NfoPath) + ": " + PostProgressText(progress, seconds);
        });
    std::lock_guard guard(Lock);
    LastSummary = std::move(summary);
    RunEnded = true;
  });
  PollTimer->start();
  ShowAlbums();
}

void TFormQueue::Poll() {
  if (!Worker.joinable()) {
    PollTimer->stop();
    return;
  }
  if (!RunEnded) {
    std::lock_guard guard(Lock);
    if (!ProgressText.empty())
      LabelProgress->setText(ToQt(ProgressText));
    return;
  }
  Join();
  PollTimer->stop();
  Ended(LastSummary);
}

void TFormQueue::Ended(const TPostSummary& summary) {
  const auto current = std::find_if(Queue.Albums.begin(), Queue.Albums.end(),
                                    [](const auto& a) { return a.State == TQueueState::Posting; });
  if (current != Queue.Albums.end()) {
    if (summary.Cancelled) {
      current->State = TQueueState::Waiting;
      current->Note = "Paused: goes on from its journal";
    } else {
      current->State = summary.Complete() ? TQueueState::Posted : TQueueState::Failed;
      current->Note = PostResultText(summary);
    }
  }
  {
    std::lock_guard guard(Lock);
    ProgressText.clear();
  }
  Save();
  ShowAlbums();
  StartNext();
}

void TFormQueue::Join() {
  if (Worker.joinable())
    Worker.join();
}

void TFormQueue::StopForExit() {
  if (!Posting())
    return;
  Cancelled = true;
  CurrentHost().StopWaiting(); // a silent server would hold the exit for its timeout
  Join();
  for (TQueuedAlbum& album : Queue.Albums)
    if (album.State == TQueueState::Posting)
      album.State = TQueueState::Waiting; // its journal takes it up at the next start
  Save();
}

void TFormQueue::ButtonPauseClick() {
  Queue.Paused = true;
  Cancelled = true; // the album under way waits, its journal kept
  Save();
  ShowAlbums();
}

void TFormQueue::ButtonResumeClick() {
  Queue.Paused = false;
  Save();
  ShowAlbums();
  StartNext();
}

void TFormQueue::ButtonRemoveClick() {
  const std::vector<std::size_t> rows = SelectedRows();
  for (auto row = rows.rbegin(); row != rows.rend(); ++row)
    if (Queue.Albums[*row].State != TQueueState::Posting)
      Queue.Albums.erase(Queue.Albums.begin() + static_cast<std::ptrdiff_t>(*row));
  Save();
  ShowAlbums();
}

void TFormQueue::ButtonRetryClick() {
  for (const std::size_t row : SelectedRows())
    if (Queue.Albums[row].State == TQueueState::Failed) {
      Queue.Albums[row].State = TQueueState::Waiting;
      Queue.Albums[row].Note.clear();
    }
  Save();
  ShowAlbums();
  StartNext();
}
