#include "platform/QtHost.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

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
  const QString path = QString::fromStdString(workingFolder) + name;
  if (!QFileInfo::exists(path))
    return TShellResult::FileNotFound;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path)) ? TShellResult::Opened
                                                              : TShellResult::Failed;
}

void TQtHost::ShowPreview(const std::string& text) {
  // A plain modal text window until the program has its own preview window.
  QDialog dialog;
  dialog.setWindowTitle(QStringLiteral(".NFO Preview"));
  dialog.resize(696, 480);
  auto* memo = new QPlainTextEdit(&dialog);
  memo->setObjectName(QStringLiteral("MemoPreview"));
  memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo->setPlainText(QString::fromStdString(text));
  auto* layout = new QVBoxLayout(&dialog);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(memo);
  dialog.exec();
}
