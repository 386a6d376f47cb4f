// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The post window: what will be posted (each file, its size and articles, the total), the
// newsgroups, the server, "Obfuscate names" and "Check every article after posting"; then
// the post on the posting core's threads with bytes, rate, time left, articles and
// retries; Cancel pauses (the journal kept, so posting again continues); the result and
// the NZB's folder at the end. Closed while it posts, the window goes and the post goes
// on, its progress told to the main window.
#include "posting/PostSetup.h"

#include <QWidget>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

class QCheckBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

// What the window posts: the saved release, where to, and as whom.
struct TPostOrder {
  std::string NfoPath;
  std::vector<std::string> Groups;
  std::string From;
  TPostSetup Setup;
  std::string Password;
  bool StoreRuns = false; // the desktop's secret store keeps the password
};

class TFormPost : public QWidget {
  Q_OBJECT
public:
  explicit TFormPost(QWidget* parent = nullptr);
  ~TFormPost() override;
  // Shows the release and the settings; the post starts with Post.
  void Prepare(TPostOrder order);
  bool Posting() const { return Worker.joinable() && !Done; }
  void ButtonPostClick();
  void ButtonCancelClick();
  // The album goes to the post queue instead, with the choices made here.
  void ButtonAddToQueueClick();
  const TPostOrder& PostOrder() const { return Order; }
  const TPostSummary& Summary() const { return LastSummary; }
  // Before the program ends: a post going on is paused when the user agrees (false: it
  // goes on, and so does the program).
  bool PauseToClose();
  // The album's newsgroups, chosen again in the main window.
  void SetGroups(std::vector<std::string> groups);

  QTableWidget* TableFiles = nullptr;
  QLabel* LabelTotal = nullptr;
  QLabel* LabelNewsgroups = nullptr;
  QPushButton* ButtonEditNGList = nullptr;
  QLabel* LabelServer = nullptr;
  QPushButton* ButtonServer = nullptr;
  QCheckBox* CheckBoxObfuscate = nullptr;
  QCheckBox* CheckBoxCheckBodies = nullptr;
  QProgressBar* ProgressBytes = nullptr;
  QLabel* LabelFile = nullptr; // the file being posted, its articles done of its articles
  QLabel* LabelProgress = nullptr;
  QGroupBox* GroupBoxResult = nullptr;
  QLabel* LabelResult = nullptr;
  QPushButton* ButtonOpenFolder = nullptr;
  QPushButton* ButtonPost = nullptr;
  QPushButton* ButtonAddToQueue = nullptr;
  QPushButton* ButtonCancel = nullptr;

signals:
  // The server settings were changed here: the main window keeps them.
  void ServerChanged(const TPostSetup& setup, const std::string& password);
  void NewsGroupsWanted(); // Select Newsgroups: the main window's choice of the album's
  void QueueWanted();      // Add to Queue: PostOrder() goes to the queue
  void Finished();         // the post ended (done, failed or paused)
  // The post's progress while the window is closed and the post goes on.
  void ProgressAway(const QString& text);

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  void BuildControls();
  void BuildResult();
  void BuildButtons();
  void LayOut();
  void ShowFiles();
  void FitFiles();
  void MapPlanRows(const std::vector<std::string>& planned);
  void ShowFileProgress(const TPostProgress& progress);
  void ShowServer();
  void ButtonServerClick();
  void Run(TPostRequest request);
  void QueueProgress(const TPostProgress& progress);
  void SetControlsEnabled(bool enabled);
  void ShowProgress(const TPostProgress& progress);
  void Finish(const TPostSummary& summary);
  void Stop();

  TPostOrder Order;
  std::vector<std::string> Files;
  std::jthread Worker;
  std::atomic<bool> Cancelled{false};
  std::atomic<bool> ProgressQueued{false}; // at most one progress event waits at a time
  std::atomic<std::int64_t> LastShown{0};  // when one was last queued, in ms
  std::mutex LatestLock;
  TPostProgress Latest;      // what the queued showing shows: the newest, never a stale one
  std::vector<int> PlanRows; // the table's row of each of the plan's files (each once)
  bool Done = false;
  TPostSummary LastSummary;
  std::chrono::steady_clock::time_point PhaseStart, RunStart;
  TPostProgress::TPhase Phase = TPostProgress::Posting;
};

// The result in words: articles, retries, failures, the check's verdict, the NZB; with the
// run's seconds, its time and rate.
std::string PostResultText(const TPostSummary& summary, double seconds = 0);
