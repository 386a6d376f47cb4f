// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/AboutUnit.h"

#include "common/AppVersionUnit.h"
#include "common/Host.h"

#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("About Tamberlon"));
  setFixedSize(321, 195);

  auto* panel = new QFrame(this);
  panel->setObjectName(QStringLiteral("Panel1"));
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setLineWidth(2);
  panel->setGeometry(8, 8, 305, 145);

  ProgramIcon = new QLabel(panel);
  ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
  ProgramIcon->setGeometry(18, 18, 32, 32);
  ProgramIcon->setPixmap(QIcon(QStringLiteral(":/tamberlon.png")).pixmap(32, 32));

  ProductName = new QLabel(panel);
  ProductName->setObjectName(QStringLiteral("ProductName"));
  ProductName->setGeometry(88, 16, 200, 18);
  QFont bold = ProductName->font();
  bold.setBold(true);
  bold.setPixelSize(13);
  ProductName->setFont(bold);
  Version = new QLabel(panel);
  Version->setObjectName(QStringLiteral("Version"));
  Version->setGeometry(88, 40, 200, 16);
  Copyright = new QLabel(panel);
  Copyright->setObjectName(QStringLiteral("Copyright"));
  Copyright->setGeometry(88, 56, 210, 30);
  Copyright->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  Copyright->setWordWrap(true);
  // The license on a line of its own, across the panel under the copyright.
  License = new QLabel(panel);
  License->setObjectName(QStringLiteral("License"));
  License->setGeometry(8, 88, 289, 16);
  License->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

  ButtonWebpage = new QPushButton(QStringLiteral("Visit the Tamberlon Web Site"), this);
  ButtonWebpage->setObjectName(QStringLiteral("ButtonWebpage"));
  ButtonWebpage->setGeometry(56, 116, 209, 25);
  ButtonWebpage->setAutoDefault(false);
  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setGeometry(119, 162, 75, 25);
  OKButton->setDefault(true);

  connect(ButtonWebpage, &QPushButton::clicked, this, &TAboutBox::ButtonWebpageClick);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  FormCreate();
}

void TAboutBox::FormCreate() {
  ProductName->setText(QString::fromStdString(GetProductName()));
  Version->setText(QStringLiteral("Version: ") + QString::fromStdString(GetFileVersion()));
  Copyright->setText(
      QString::fromStdString(GetVersionInfoValue(GetProgramFile(), "LegalCopyright")));
  License->setText(QString::fromLatin1(LicenseLine));
  // A build that names no web page has none to visit.
  ButtonWebpage->setVisible(!GetProductURL().empty());
}

void TAboutBox::ButtonWebpageClick() {
  if (GetProductURL().empty())
    return;
  // Without a browser the button would do nothing at all: the address is given instead.
  if (CurrentHost().ShellOpen(GetProductURL(), "") != TShellResult::Opened)
    CurrentHost().ShowMessage(TMessageKind::Information,
                              "No web browser opened the site; its address is " + GetProductURL());
}
