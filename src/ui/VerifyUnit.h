// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The verify window: each file an .sfv lists with its expected and computed checksum and
// OK, FAILED, MISSING or UNSAFE, filled in as worker threads read the files, with the
// bytes read so far, Cancel and the totals. It judges with the command-line check's core.
#include <QWidget>
#include <atomic>
#include <string>
#include <thread>

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

class TFormVerify : public QWidget {
  Q_OBJECT
public:
  explicit TFormVerify(QWidget* parent = nullptr);
  ~TFormVerify() override;
  // Starts verifying the .sfv; false (with the window left empty) when it cannot be read.
  bool Verify(const std::string& sfvPath);
  bool Running() const { return Worker.joinable() && !Done; }

  QTableWidget* TableFiles = nullptr;
  QProgressBar* ProgressBytes = nullptr;
  QLabel* LabelTotals = nullptr;
  QPushButton* ButtonCancel = nullptr;

signals:
  void Finished();

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  void Stop();
  void ShowTotals();

  std::jthread Worker;
  std::atomic<bool> Cancelled{false};
  bool Done = false;
  int Counts[4] = {}; // by outcome: OK, FAILED, MISSING, UNSAFE
  int Malformed = 0;  // lines that are no entry
  quint64 TotalBytes = 0;
};
