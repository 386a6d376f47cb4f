// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/VerifyUnit.h"
#include "analysis/AlbumAnalysis.h"
#include "analysis/SonogramImage.h"
#include "generate/AlbumRipLog.h"
#include "posting/NzbRepost.h"
#include "posting/PostSetup.h"

#include "audio/FlacCheckUnit.h"
#include "common/ErrorsUnit.h"
#include "common/FileUnit.h"
#include "common/FileWriteUnit.h"
#include "common/Host.h"
#include "common/TextUnit.h"
#include "generate/SfvCheckUnit.h"
#include "par2/RecoveryCheckUnit.h"
#include "par2/RecoveryRepairUnit.h"
#include "platform/WindowPlace.h"
#include "posting/NzbCheck.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

namespace {
QString ChecksumText(std::uint32_t crc) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(crc));
  return QString::fromLatin1(text);
}
} // namespace

TFormVerify::TFormVerify(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("FormVerify"));
  resize(640, 420);
  TableFiles = new QTableWidget(0, 4, this);
  TableFiles->setObjectName(QStringLiteral("TableFiles"));
  TableFiles->setHorizontalHeaderLabels({QStringLiteral("File"), QStringLiteral("Expected"),
                                         QStringLiteral("Computed"), QStringLiteral("Result")});
  TableFiles->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  TableFiles->verticalHeader()->hide();
  TableFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ProgressBytes = new QProgressBar(this);
  ProgressBytes->setObjectName(QStringLiteral("ProgressBytes"));
  ProgressBytes->setRange(0, 1000);
  LabelTotals = new QLabel(this);
  LabelTotals->setObjectName(QStringLiteral("LabelTotals"));
  LabelTotals->setWordWrap(true); // a log's long line would widen the window past the screen
  LabelTotals->setTextInteractionFlags(Qt::TextSelectableByMouse);
  ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
  ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
  ButtonRepair = new QPushButton(QStringLiteral("&Repair"), this);
  ButtonRepair->setObjectName(QStringLiteral("ButtonRepair"));
  ButtonRepair->hide();
  ButtonRepost = new QPushButton(QStringLiteral("&Post the missing again"), this);
  ButtonRepost->setObjectName(QStringLiteral("ButtonRepost"));
  ButtonRepost->setToolTip(
      QStringLiteral("Post the missing articles again from the files beside the NZB, under their "
                     "Message-IDs, and write the NZB again"));
  ButtonRepost->hide();
  ButtonSonogram = new QPushButton(QStringLiteral("Show &Picture..."), this);
  ButtonSonogram->setObjectName(QStringLiteral("ButtonSonogram"));
  ButtonSonogram->setToolTip(
      QStringLiteral("The chosen track's frequencies through time (a sonogram)"));
  ButtonSonogram->hide();
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(LabelTotals, 1);
  bottom->addWidget(ButtonSonogram);
  bottom->addWidget(ButtonRepair);
  bottom->addWidget(ButtonRepost);
  bottom->addWidget(ButtonCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(TableFiles, 1);
  layout->addWidget(ProgressBytes);
  layout->addLayout(bottom);
  connect(ButtonRepair, &QPushButton::clicked, this, &TFormVerify::Repair);
  connect(ButtonRepost, &QPushButton::clicked, this, &TFormVerify::RepostMissing);
  connect(ButtonSonogram, &QPushButton::clicked, this, &TFormVerify::ShowSonogram);
  connect(TableFiles, &QTableWidget::currentCellChanged, this,
          [this] { ButtonSonogram->setEnabled(ChosenAnalysis() != nullptr); });
  connect(TableFiles, &QTableWidget::cellDoubleClicked, this, [this] {
    if (ButtonSonogram->isVisible() && ButtonSonogram->isEnabled())
      ShowSonogram();
  });
  StartWork();
}

// The button cancels while work runs.
void TFormVerify::StartWork() {
  Done = false;
  Cancelled = false;
  ButtonCancel->setText(QStringLiteral("Cancel"));
  disconnect(ButtonCancel, nullptr, this, nullptr);
  connect(ButtonCancel, &QPushButton::clicked, this, &TFormVerify::Stop);
}

TFormVerify::~TFormVerify() {
  Stop(); // the worker ends before the window it reports to; its late reports are dropped
}

bool TFormVerify::Verify(const std::string& path) {
  setWindowTitle(QStringLiteral("Verify - ") +
                 QString::fromStdString(path.substr(path.rfind('/') + 1)));
  const QString name = QString::fromStdString(path);
  if (name.endsWith(QStringLiteral(".nzb"), Qt::CaseInsensitive) ||
      name.endsWith(QStringLiteral(".nzb.gz"), Qt::CaseInsensitive))
    return VerifyNzb(path);
  return name.endsWith(QStringLiteral(".par2"), Qt::CaseInsensitive) ? VerifyRecovery(path)
                                                                     : VerifySfv(path);
}

bool TFormVerify::VerifySfv(const std::string& sfvPath) {
  // The results come from the worker's thread; each is handed to this window's thread.
  TSfvVerifyCallbacks callbacks;
  callbacks.Listed = [this](const std::vector<TSfvEntry>& entries, std::uint64_t bytes,
                            std::size_t malformed) {
    QMetaObject::invokeMethod(this, [this, entries, bytes, malformed] {
      TotalBytes = bytes;
      Malformed = static_cast<int>(malformed);
      TableFiles->setRowCount(static_cast<int>(entries.size()));
      for (int row = 0; row < TableFiles->rowCount(); ++row) {
        const TSfvEntry& entry = entries[static_cast<std::size_t>(row)];
        TableFiles->setItem(
            row, 0, new QTableWidgetItem(QString::fromStdString(PrintableName(entry.Name))));
        TableFiles->setItem(row, 1, new QTableWidgetItem(ChecksumText(entry.Checksum)));
      }
      ShowTotals();
    });
  };
  callbacks.Checked = [this](std::size_t index, const TSfvCheck& check) {
    QMetaObject::invokeMethod(this, [this, index, check] {
      const int row = static_cast<int>(index);
      if (check.Computed)
        TableFiles->setItem(row, 2, new QTableWidgetItem(ChecksumText(*check.Computed)));
      ShowResult(row, 3, QString::fromLatin1(SfvOutcomeWord(check.Outcome)));
      ++Counts[static_cast<std::size_t>(check.Outcome)];
      ShowTotals();
    });
  };
  callbacks.Progress = [this](std::uint64_t done) {
    QMetaObject::invokeMethod(this, [this, done] {
      ProgressBytes->setValue(TotalBytes == 0 ? 0 : static_cast<int>(done * 1000 / TotalBytes));
    });
  };
  // The .sfv must be readable before the worker starts: an unreadable one is told at once.
  if (!ForEachSfvLine(sfvPath, [](std::size_t, const TSfvLine&) {}))
    return false;
  Worker = std::jthread([this, sfvPath, callbacks] {
    ::VerifySfv(sfvPath, callbacks, Cancelled);
    QMetaObject::invokeMethod(this, [this] {
      Finish(QString::fromStdString(
          SfvCheckSummary(Counts, static_cast<std::size_t>(Malformed), Cancelled)));
    });
  });
  return true;
}

bool TFormVerify::VerifyRecovery(const std::string& par2Path) {
  if (!FileExists(par2Path))
    return false;
  TableFiles->setHorizontalHeaderLabels({QStringLiteral("File"), QStringLiteral("Blocks"),
                                         QStringLiteral("Damaged"), QStringLiteral("Result")});
  TRecoveryCheckCallbacks callbacks;
  callbacks.Listed = [this](const std::vector<TRecoveryFileCheck>& files, std::uint64_t bytes) {
    QMetaObject::invokeMethod(this, [this, files, bytes] {
      TotalBytes = bytes;
      TableFiles->setRowCount(static_cast<int>(files.size()));
      for (int row = 0; row < TableFiles->rowCount(); ++row) {
        const TRecoveryFileCheck& file = files[static_cast<std::size_t>(row)];
        TableFiles->setItem(row, 0,
                            new QTableWidgetItem(QString::fromStdString(PrintableName(file.Name))));
        TableFiles->setItem(row, 1, new QTableWidgetItem(QString::number(file.Slices)));
      }
    });
  };
  callbacks.Checked = [this](std::size_t index, const TRecoveryFileCheck& file) {
    QMetaObject::invokeMethod(this, [this, index, file] {
      const int row = static_cast<int>(index);
      TableFiles->setItem(row, 2, new QTableWidgetItem(QString::number(file.DamagedSlices)));
      ShowResult(row, 3, QString::fromLatin1(RecoveryStateWord(file.State)));
    });
  };
  callbacks.Progress = [this](std::uint64_t done) {
    QMetaObject::invokeMethod(this, [this, done] {
      ProgressBytes->setValue(TotalBytes == 0 ? 0
                                              : static_cast<int>(std::min<std::uint64_t>(
                                                    done * 1000 / TotalBytes, 1000)));
    });
  };
  RecoveryPath = par2Path;
  Worker = std::jthread([this, par2Path, callbacks] {
    const auto check = CheckRecoverySet(par2Path, callbacks, &Cancelled);
    const std::string totals =
        check ? RecoveryCheckSummary(*check) : "No intact description of a PAR2 recovery set";
    const bool repairable = check && !check->AllOk() && check->Repairable();
    QMetaObject::invokeMethod(this, [this, totals, repairable] {
      Finish(QString::fromStdString(totals));
      ButtonRepair->setVisible(repairable);
    });
  });
  return true;
}

// Rebuilds the set's files on the worker, then checks them again, the repair's outcome
// before the new totals; a repair that changed nothing says why and stays.
void TFormVerify::Repair() {
  ButtonRepair->hide();
  StartWork();
  ProgressBytes->setValue(0);
  LabelTotals->setText(QStringLiteral("Checking the files..."));
  TRepairSettings settings;
  settings.Progress = [this](TRepairPhase phase, std::uint64_t done, std::uint64_t total) {
    QMetaObject::invokeMethod(this, [this, phase, done, total] {
      LabelTotals->setText(phase == TRepairPhase::Checking
                               ? QStringLiteral("Checking the files...")
                               : QStringLiteral("Rebuilding the damaged files..."));
      ProgressBytes->setValue(
          total == 0 ? 0 : static_cast<int>(std::min<std::uint64_t>(done * 1000 / total, 1000)));
    });
    return !Cancelled;
  };
  Worker = std::jthread([this, settings] {
    const TRepairResult result = RepairRecoverySet(RecoveryPath, settings);
    const QString summary = QString::fromStdString(RepairSummary(result));
    const bool repaired = result.Outcome == TRepairOutcome::Repaired;
    QMetaObject::invokeMethod(this, [this, summary, repaired] {
      if (!repaired) {
        Finish(summary);
        return;
      }
      RepairNote = summary;
      TableFiles->setRowCount(0);
      StartWork();
      VerifyRecovery(RecoveryPath);
    });
  });
}

bool TFormVerify::VerifyNzb(const std::string& nzbPath) {
  const auto text = ReadFileHead(nzbPath, static_cast<std::int64_t>(LargestNzbBytes) + 1);
  auto release = text ? ReadNzbFileBytes(*text) : std::nullopt;
  if (!release)
    return false;
  TableFiles->setHorizontalHeaderLabels({QStringLiteral("File"), QStringLiteral("Articles"),
                                         QStringLiteral("Missing"), QStringLiteral("Result")});
  TableFiles->setRowCount(static_cast<int>(release->Files.size()));
  TotalBytes = 0;
  for (int row = 0; row < TableFiles->rowCount(); ++row) {
    const TNzbFile& file = release->Files[static_cast<std::size_t>(row)];
    TableFiles->setItem(
        row, 0,
        new QTableWidgetItem(QString::fromStdString(PrintableName(NzbFileName(file.Subject)))));
    TableFiles->setItem(row, 1, new QTableWidgetItem(QString::number(file.Segments.size())));
    TotalBytes += file.Segments.size();
  }
  if (Server.Server.Endpoint.Host.empty()) {
    Finish(QStringLiteral("No news server is set: set one with Options, Server..."));
    return true;
  }
  TNzbCheckRequest request{std::move(*release), Server, {}, {}, &Cancelled};
  request.FileChecked = [this](std::size_t index, const TNzbFileCheck& file) {
    QMetaObject::invokeMethod(this, [this, index, file] {
      const int row = static_cast<int>(index);
      auto* missing = new QTableWidgetItem(QString::number(file.Missing + file.Damaged));
      QStringList ids; // which, by Message-ID: what to post again
      for (std::size_t i = 0; i < file.MissingIds.size() && i < 20; ++i)
        ids << QString::fromStdString(file.MissingIds[i]);
      if (file.MissingIds.size() > 20)
        ids << QStringLiteral("and %1 more").arg(file.MissingIds.size() - 20);
      missing->setToolTip(ids.join('\n'));
      TableFiles->setItem(row, 2, missing);
      ShowResult(row, 3, QString::fromUtf8(NzbFileWord(file)));
    });
  };
  request.Progress = [this](std::size_t done, std::size_t total) {
    QMetaObject::invokeMethod(this, [this, done, total] {
      ProgressBytes->setValue(total == 0 ? 0 : static_cast<int>(done * 1000 / total));
    });
  };
  NzbPath = nzbPath;
  NzbRelease = request.Release;
  Worker = std::jthread([this, request = std::move(request)] {
    const TNzbCheckResult result = CheckNzbArticles(request);
    const std::string totals = NzbCheckSummary(result);
    std::vector<std::string> missing = MissingIdsOf(result);
    const bool repostable = !result.Problem && !result.Cancelled && !missing.empty();
    QMetaObject::invokeMethod(this, [this, totals, missing, repostable] {
      Finish(QString::fromStdString(totals));
      NzbMissing = missing;
      ButtonRepost->setVisible(repostable);
    });
  });
  return true;
}

// The missing articles posted again on the worker, then the NZB checked again, what the
// post did before the new totals.
void TFormVerify::RepostMissing() {
  ButtonRepost->hide();
  StartWork();
  ProgressBytes->setValue(0);
  LabelTotals->setText(QStringLiteral("Posting the missing articles again..."));
  TRepostRequest request{NzbPath, NzbRelease, NzbMissing, Server, ArticleSize, {}, &Cancelled};
  request.Progress = [this, started = TClock::now()](const TPostProgress& progress) {
    const double seconds = std::chrono::duration<double>(TClock::now() - started).count();
    const QString text = QString::fromStdString(PostProgressText(progress, seconds));
    const int done = progress.TotalBytes == 0
                         ? 0
                         : static_cast<int>(progress.Bytes * 1000 / progress.TotalBytes);
    QMetaObject::invokeMethod(this, [this, text, done] {
      LabelTotals->setText(text);
      ProgressBytes->setValue(done);
    });
  };
  Worker = std::jthread([this, request = std::move(request)] {
    const TPostSummary summary = ::RepostMissing(request);
    std::string note = std::to_string(summary.Posted) +
                       (summary.Posted == 1 ? " article" : " articles") + " posted again.";
    if (summary.Problem)
      note = "Nothing more was posted: " + summary.Problem->Message + " (" +
             PrintableName(summary.Problem->Path) + ").";
    const bool checkAgain = !summary.Problem && !summary.Cancelled;
    QMetaObject::invokeMethod(this, [this, note, checkAgain] {
      if (!checkAgain) {
        Finish(QString::fromStdString(note));
        return;
      }
      RepairNote = QString::fromStdString(note);
      TableFiles->setRowCount(0);
      StartWork();
      VerifyNzb(NzbPath);
    });
  });
}

void TFormVerify::VerifyAudio(const std::vector<std::string>& paths) {
  setWindowTitle(QStringLiteral("Verify - FLAC audio"));
  TableFiles->setHorizontalHeaderLabels({QStringLiteral("File"), QStringLiteral("Size"),
                                         QStringLiteral("Reason"), QStringLiteral("Result")});
  TableFiles->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch); // the reasons
  TableFiles->setRowCount(static_cast<int>(paths.size()));
  TotalBytes = 0;
  for (int row = 0; row < TableFiles->rowCount(); ++row) {
    const std::string& path = paths[static_cast<std::size_t>(row)];
    const auto file = TReadOnlyFile::Open(path);
    const quint64 size = file ? static_cast<quint64>(file->Size()) : 0;
    TotalBytes += size;
    TableFiles->setItem(row, 0,
                        new QTableWidgetItem(QString::fromStdString(
                            PrintableName(path.substr(path.rfind('/') + 1)))));
    TableFiles->setItem(row, 1, new QTableWidgetItem(QString::number(size)));
  }
  Worker = std::jthread([this, paths] {
    std::size_t ok = 0;
    CheckFlacFiles(
        paths,
        [&](std::size_t index, const TAudioCheck& check) {
          ok += check.Outcome == TAudioOutcome::Ok ? 1 : 0;
          QMetaObject::invokeMethod(this, [this, index, check] {
            const int row = static_cast<int>(index);
            TableFiles->setItem(row, 2, new QTableWidgetItem(QString::fromStdString(check.Reason)));
            ShowResult(row, 3, QString::fromLatin1(AudioOutcomeWord(check.Outcome)));
          });
        },
        [this](std::uint64_t done) {
          QMetaObject::invokeMethod(this, [this, done] {
            ProgressBytes->setValue(TotalBytes == 0 ? 0
                                                    : static_cast<int>(std::min<std::uint64_t>(
                                                          done * 1000 / TotalBytes, 1000)));
          });
        },
        &Cancelled);
    std::string totals = CheckTotalsText(ok, paths.size() - ok);
    if (Cancelled)
      totals += " (cancelled)";
    QMetaObject::invokeMethod(this, [this, totals] { Finish(QString::fromStdString(totals)); });
  });
}

void TFormVerify::Analyze(const std::vector<std::string>& paths) {
  setWindowTitle(QStringLiteral("Analysis"));
  TableFiles->setColumnCount(9);
  TableFiles->setHorizontalHeaderLabels(
      {QStringLiteral("File"), QStringLiteral("DR"), QStringLiteral("Peak dBFS"),
       QStringLiteral("RMS dBFS"), QStringLiteral("LUFS"), QStringLiteral("Range LU"),
       QStringLiteral("True peak dBTP"), QStringLiteral("Content to kHz"),
       QStringLiteral("Result")});
  TableFiles->horizontalHeader()->setSectionResizeMode(8, QHeaderView::Stretch);
  TableFiles->setRowCount(static_cast<int>(paths.size()));
  Analysed.assign(paths.size(), {});
  ButtonSonogram->show();
  ButtonSonogram->setEnabled(false);
  for (int row = 0; row < TableFiles->rowCount(); ++row) {
    const std::string& path = paths[static_cast<std::size_t>(row)];
    auto* name = new QTableWidgetItem(
        QString::fromStdString(PrintableName(path.substr(path.rfind('/') + 1))));
    name->setData(Qt::UserRole, row); // the track's index, wherever the finish sorts its row
    TableFiles->setItem(row, 0, name);
  }
  Worker = std::jthread([this, paths] {
    TAnalysisHooks hooks;
    hooks.Cancelled = &Cancelled;
    hooks.KeepSonograms = true;
    hooks.Progress = [this](std::uint64_t done, std::uint64_t total) {
      QMetaObject::invokeMethod(this, [this, done, total] {
        ProgressBytes->setValue(total == 0 ? 0 : static_cast<int>(done * 1000 / total));
      });
    };
    hooks.Measured = [this](std::size_t index, const TTrackAnalysis& track) {
      QMetaObject::invokeMethod(this, [this, index, track] { ShowAnalysis(index, track); });
    };
    auto album = std::make_shared<TAlbumAnalysis>(AnalyzeAlbum(paths, hooks));
    std::string totals = album->Cancelled ? "Cancelled" : "Album: " + AlbumAnalysisText(*album);
    if (!album->Cancelled && !album->Dr)
      totals = "No track could be measured";
    if (const std::string rates = album->Cancelled ? "" : AlbumQualityText(*album); !rates.empty())
      totals += "\nBit rates: " + rates;
    if (!album->Cancelled)
      for (const TAlbumRipLog& log : RipLogsBeside(paths)) {
        const std::string match = LogMatchTextFor(log, album->Tracks);
        totals += "\nLog " + PrintableName(log.Path.substr(log.Path.rfind('/') + 1)) + ": " +
                  RipLogScoreLine(log.Log) + (match.empty() ? "" : "; " + match);
      }
    for (TTrackAnalysis& track : album->Tracks)
      track.Sonogram.reset(); // the window keeps its own; the album needs the figures
    QMetaObject::invokeMethod(this, [this, totals, album] {
      Finish(QString::fromStdString(totals));
      if (AlbumMeasured && !album->Cancelled)
        AlbumMeasured(album);
    });
  });
}

void TFormVerify::ShowAnalysis(std::size_t index, const TTrackAnalysis& track) {
  const int row = static_cast<int>(index);
  if (index < Analysed.size())
    Analysed[index] = track;
  ButtonSonogram->setEnabled(ChosenAnalysis() != nullptr);
  if (!track.Measured()) {
    ShowResult(row, 8, QString::fromStdString(track.Problem));
    return;
  }
  const auto cell = [&](int column, const std::string& text) {
    auto* item = new QTableWidgetItem(QString::fromStdString(text));
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    TableFiles->setItem(row, column, item);
  };
  cell(1, DrText(track.Dr.Value));
  cell(2, LevelText(track.Dr.PeakDb));
  cell(3, LevelText(track.Dr.RmsDb));
  if (track.Loudness) {
    cell(4, LevelText(track.Loudness->Integrated));
    cell(5, LevelText(track.Loudness->Range));
    cell(6, LevelText(track.Loudness->TruePeakDb));
  }
  cell(7, LevelText(track.Cutoff.Hz / 1000));
  // A lossless track stopping as a lossy encoder does, a lossy one stopping at a lower rate's
  // low-pass: either is the row's finding.
  const bool lowerRate = track.Quality && track.Quality->Suspect();
  ShowResult(row, 8,
             track.Cutoff.LossyShape ? QString::fromLatin1(TranscodeWarning)
             : lowerRate             ? QString::fromStdString(LossyQualityText(*track.Quality))
                                     : QStringLiteral("OK"));
}

void TFormVerify::ShowResult(int row, int column, const QString& text) {
  auto* item = new QTableWidgetItem(text);
  TableFiles->setItem(row, column, item);
  if (text == QStringLiteral("OK") ||
      text == QString::fromLatin1(RecoveryStateWord(TRecoveryFileState::NotChecked)))
    return;
  for (int c = 0; c < TableFiles->columnCount(); ++c) {
    if (!TableFiles->item(row, c)) // an empty cell is coloured with its row
      TableFiles->setItem(row, c, new QTableWidgetItem);
    TableFiles->item(row, c)->setBackground(QColor(0xF8, 0xD0, 0xD0));
    TableFiles->item(row, c)->setForeground(Qt::black);
  }
}

void TFormVerify::Finish(const QString& totals) {
  Done = true;
  // After a cancel the bar keeps what was read; the files not reached say so, uncoloured.
  if (!Cancelled)
    ProgressBytes->setValue(ProgressBytes->maximum());
  LabelTotals->setText(RepairNote.isEmpty() ? totals : RepairNote + QStringLiteral(" ") + totals);
  const QString notChecked = QString::fromLatin1(RecoveryStateWord(TRecoveryFileState::NotChecked));
  const int result = TableFiles->columnCount() - 1;
  for (int row = 0; row < TableFiles->rowCount(); ++row)
    if (!TableFiles->item(row, result))
      TableFiles->setItem(row, result, new QTableWidgetItem(notChecked));
  // The bad rows first, in their order, and the view at the first of them.
  std::vector<QList<QTableWidgetItem*>> rows;
  for (int row = 0; row < TableFiles->rowCount(); ++row) {
    QList<QTableWidgetItem*> items;
    for (int c = 0; c < TableFiles->columnCount(); ++c)
      items.append(TableFiles->takeItem(row, c));
    rows.push_back(items);
  }
  const auto good = [&](const QList<QTableWidgetItem*>& items) {
    return items.back() &&
           (items.back()->text() == QStringLiteral("OK") || items.back()->text() == notChecked);
  };
  std::stable_partition(rows.begin(), rows.end(), [&](const auto& items) { return !good(items); });
  for (int row = 0; row < static_cast<int>(rows.size()); ++row)
    for (int c = 0; c < TableFiles->columnCount(); ++c)
      TableFiles->setItem(row, c, rows[static_cast<std::size_t>(row)][c]);
  if (!rows.empty())
    TableFiles->scrollToTop();
  // The work is over: the one button closes, and Escape and Return do too.
  ButtonCancel->setText(QStringLiteral("Close"));
  ButtonCancel->setEnabled(true);
  ButtonCancel->setDefault(true);
  ButtonCancel->setFocus();
  disconnect(ButtonCancel, nullptr, this, nullptr);
  connect(ButtonCancel, &QPushButton::clicked, this, &QWidget::close);
  if (!ClosingKeys) // made once: two shortcuts for one key would make it do nothing
    for (const auto key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter})
      connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this, [this] {
        if (Done)
          close();
      });
  ClosingKeys = true;
  emit Finished();
}

void TFormVerify::ShowTotals() {
  LabelTotals->setText(QString::fromStdString(
      SfvCheckSummary(Counts, static_cast<std::size_t>(Malformed), Cancelled)));
}

void TFormVerify::Stop() {
  Cancelled = true;
  if (Worker.joinable())
    Worker.join();
}

void TFormVerify::closeEvent(QCloseEvent* event) {
  Stop();
  QWidget::closeEvent(event);
}

const TTrackAnalysis* TFormVerify::ChosenAnalysis() const {
  const QTableWidgetItem* name =
      TableFiles->currentRow() < 0 ? nullptr : TableFiles->item(TableFiles->currentRow(), 0);
  const QVariant index = name ? name->data(Qt::UserRole) : QVariant();
  if (!index.isValid() || index.toULongLong() >= Analysed.size())
    return nullptr;
  const TTrackAnalysis& track = Analysed[index.toULongLong()];
  return track.Sonogram ? &track : nullptr;
}

void TFormVerify::ShowSonogram() {
  const TTrackAnalysis* chosen = ChosenAnalysis();
  if (!chosen)
    return;
  const TTrackAnalysis& track = *chosen;
  const std::string png = SonogramPng(*track.Sonogram, SonogramCaption(track));
  QPixmap picture;
  picture.loadFromData(reinterpret_cast<const uchar*>(png.data()), static_cast<uint>(png.size()),
                       "PNG");
  auto* window = new QDialog(this);
  window->setObjectName(QStringLiteral("FormSonogram"));
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowTitle(QString::fromStdString(PrintableName(SonogramCaption(track))));
  auto* label = new QLabel(window);
  label->setPixmap(picture);
  auto* save = new QPushButton(QStringLiteral("&Save..."), window);
  save->setObjectName(QStringLiteral("ButtonSaveSonogram"));
  auto* copy = new QPushButton(QStringLiteral("&Copy"), window);
  copy->setObjectName(QStringLiteral("ButtonCopySonogram"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(save);
  buttons->addWidget(copy);
  auto* layout = new QVBoxLayout(window);
  layout->addWidget(label);
  layout->addLayout(buttons);
  // Posters put the picture beside the release or into a post: as a file, or pasted.
  connect(save, &QPushButton::clicked, window, [window, png, path = track.Path] {
    TSaveDialogRequest request;
    request.Title = "Save the Picture";
    request.Filters = {{"PNG Pictures (*.png)", "*.png"}};
    request.DefaultExtension = "png";
    request.Folder = path.substr(0, path.rfind('/') + 1);
    request.FileName = SonogramFileNames({path}).front();
    if (const auto target = CurrentHost().SaveFileDialog(request);
        target && WriteFile(*target, png) != TWriteResult::Written)
      ShowError(ecOpenForWriting, *target);
    window->raise();
  });
  connect(copy, &QPushButton::clicked, window,
          [picture] { QApplication::clipboard()->setPixmap(picture); });
  CentreOver(window, this);
  window->show();
}
