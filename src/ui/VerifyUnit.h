// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The verify window: each file an .sfv lists with its expected and computed checksum and
// OK, FAILED, MISSING or UNSAFE (or each file a .par2 protects, with its blocks and OK,
// DAMAGED or MISSING, or each file an .nzb names with its articles found on the news
// server), filled in as worker threads read the files, with the bytes read so far, Cancel
// and the totals. It judges with the command-line check's core and words its
// totals as the check does. When done, the bad rows come first and the button closes; a
// PAR2 set that can be repaired offers Repair, which rebuilds the files and checks again.
#include "analysis/AlbumAnalysis.h"
#include "generate/NzbDocument.h"
#include "posting/Poster.h"

#include <QWidget>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

class TFormVerify : public QWidget {
  Q_OBJECT
public:
  explicit TFormVerify(QWidget* parent = nullptr);
  ~TFormVerify() override;
  // Starts verifying the .sfv or .par2; false (with the window left empty) when it cannot
  // be read.
  bool Verify(const std::string& path);
  // The news server an .nzb's articles are looked up on, and the article size it was
  // posted with (its missing articles are cut again so).
  void SetServer(const TPostSettings& settings, std::size_t articleSize) {
    Server = settings;
    ArticleSize = articleSize;
  }
  // Decodes FLAC files and checks their audio against the MD5 each stores.
  void VerifyAudio(const std::vector<std::string>& paths);
  // Measures the tracks' dynamic range, loudness and frequency content ("Analysis"), each row as
  // its track is done, the album's line in the totals.
  void Analyze(const std::vector<std::string>& paths);
  bool Running() const { return Worker.joinable() && !Done; }
  // Heard on this thread once the Analysis has measured every track (not when cancelled),
  // with the measurements, pictures left out.
  std::function<void(std::shared_ptr<const TAlbumAnalysis>)> AlbumMeasured;

  QTableWidget* TableFiles = nullptr;
  QProgressBar* ProgressBytes = nullptr;
  QLabel* LabelTotals = nullptr;
  QPushButton* ButtonCancel = nullptr;
  QPushButton* ButtonRepair = nullptr;
  QPushButton* ButtonSonogram = nullptr; // the chosen track's picture, in the Analysis
  QPushButton* ButtonRepost = nullptr;   // an .nzb's missing articles posted again

signals:
  void Finished();

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  bool VerifySfv(const std::string& sfvPath);
  bool VerifyRecovery(const std::string& par2Path);
  void Repair();
  void StartWork();
  bool VerifyNzb(const std::string& nzbPath);
  void RepostMissing();
  void ShowResult(int row, int column, const QString& text);
  void ShowAnalysis(std::size_t index, const TTrackAnalysis& track);
  void ShowSonogram();
  const TTrackAnalysis* ChosenAnalysis() const; // the current row's, with its picture
  void Finish(const QString& totals);
  void Stop();
  void ShowTotals();

  std::jthread Worker;
  std::atomic<bool> Cancelled{false};
  bool Done = false;
  std::array<std::size_t, 4> Counts{}; // by outcome: OK, FAILED, MISSING, UNSAFE
  int Malformed = 0;                   // lines that are no entry
  quint64 TotalBytes = 0;
  TPostSettings Server;
  std::size_t ArticleSize = DefaultArticleSize;
  std::string NzbPath;
  TNzbRelease NzbRelease;              // as the check read it
  std::vector<std::string> NzbMissing; // what it found missing, by Message-ID
  std::string RecoveryPath;
  QString RepairNote; // what the repair did, before the totals of the check after it
  bool ClosingKeys = false;
  std::vector<TTrackAnalysis> Analysed; // by row, as each track is measured
};
