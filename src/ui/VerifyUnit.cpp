// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/VerifyUnit.h"

#include "generate/SfvCheckUnit.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
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
  ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
  ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(LabelTotals, 1);
  bottom->addWidget(ButtonCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(TableFiles, 1);
  layout->addWidget(ProgressBytes);
  layout->addLayout(bottom);
  connect(ButtonCancel, &QPushButton::clicked, this, &TFormVerify::Stop);
}

TFormVerify::~TFormVerify() {
  Stop(); // the worker ends before the window it reports to; its late reports are dropped
}

bool TFormVerify::Verify(const std::string& sfvPath) {
  setWindowTitle(QStringLiteral("Verify - ") +
                 QString::fromStdString(sfvPath.substr(sfvPath.rfind('/') + 1)));
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
        TableFiles->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(entry.Name)));
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
      TableFiles->setItem(row, 3, new QTableWidgetItem(SfvOutcomeWord(check.Outcome)));
      ++Counts[static_cast<int>(check.Outcome)];
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
    VerifySfv(sfvPath, callbacks, Cancelled);
    QMetaObject::invokeMethod(this, [this] {
      Done = true;
      ProgressBytes->setValue(ProgressBytes->maximum());
      ButtonCancel->setEnabled(false);
      ShowTotals();
      emit Finished();
    });
  });
  return true;
}

void TFormVerify::ShowTotals() {
  QString text = QStringLiteral("%1 OK, %2 failed, %3 missing")
                     .arg(Counts[static_cast<int>(TSfvOutcome::Ok)])
                     .arg(Counts[static_cast<int>(TSfvOutcome::Mismatch)])
                     .arg(Counts[static_cast<int>(TSfvOutcome::Missing)]);
  if (const int unsafe = Counts[static_cast<int>(TSfvOutcome::Unsafe)])
    text += QStringLiteral(", %1 unsafe").arg(unsafe);
  if (Malformed > 0) // lines that are no entry verify nothing: the check did not pass
    text += QStringLiteral(", %1 not SFV %2").arg(Malformed).arg(Malformed == 1 ? "line" : "lines");
  if (Cancelled)
    text += QStringLiteral(" (cancelled)");
  LabelTotals->setText(text);
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
