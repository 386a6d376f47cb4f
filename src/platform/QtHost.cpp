#include "platform/QtHost.h"

#include "platform/QtRegionalSettings.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

TQtHost::TQtHost() : Settings(SystemRegionalSettings()) {}

std::string TQtHost::ProgramFile() {
  return QCoreApplication::applicationFilePath().toStdString();
}

TMessageResult TQtHost::ShowMessage(TMessageKind kind, const std::string& text) {
  QString body = QString::fromStdString(text);
  body.replace(QLatin1Char('\r'), QLatin1Char('\n'));
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
