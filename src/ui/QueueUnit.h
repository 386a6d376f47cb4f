// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The post queue's window: the albums added from Post to Usenet, posted one after the
// other in the background, each with its state and its last result; Pause, Resume,
// Remove and Retry. The queue lives in a file of the program's folder, written whole at
// every change, so a program closed (or killed) while it posts takes it up at its next
// start: the album under way goes on from its journal.
#include "posting/PostQueue.h"
#include "posting/PostSetup.h"

#include <QWidget>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;

// The settings of the moment for an album's post: the server's, with its passwords.
using TPostSettingsSource = std::function<TPostSetup()>;

class TFormQueue : public QWidget {
  Q_OBJECT
public:
  TFormQueue(std::string queuePath, TPostSettingsSource settings, QWidget* parent = nullptr);
  ~TFormQueue() override;
  // The queue as its file holds it; posting goes on unless it was paused.
  void Restore();
  bool HasAlbums() const { return !Queue.Albums.empty(); }
  void Add(TQueuedAlbum album);
  bool Posting() const { return Worker.joinable() && !RunEnded; }
  // The program ends: the album under way is paused (its journal kept) and waits.
  void StopForExit();
  void ButtonPauseClick();
  void ButtonResumeClick();
  void ButtonRemoveClick();
  void ButtonRetryClick();
  const TPostQueue& Albums() const { return Queue; }

  QTableWidget* TableAlbums = nullptr;
  QLabel* LabelProgress = nullptr;
  QPushButton* ButtonPause = nullptr;
  QPushButton* ButtonResume = nullptr;
  QPushButton* ButtonRemove = nullptr;
  QPushButton* ButtonRetry = nullptr;
  QPushButton* ButtonClose = nullptr;

private:
  void Save();
  void ShowAlbums();
  void ShowButtons();
  void StartNext();
  void Poll(); // the worker's progress and end, on the window's thread
  void Ended(const TPostSummary& summary);
  void Join();
  std::vector<std::size_t> SelectedRows() const;

  std::string QueuePath;
  TPostSettingsSource SettingsNow;
  TPostQueue Queue;
  bool SaveFailed = false;
  std::jthread Worker;
  std::atomic<bool> Cancelled{false}, RunEnded{false};
  std::mutex Lock;
  std::string ProgressText; // the worker's latest, with Lock
  TPostSummary LastSummary; // the worker's, read once RunEnded
  QTimer* PollTimer = nullptr;
};
