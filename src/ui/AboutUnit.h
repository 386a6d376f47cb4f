// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The about box: the program's icon, name, version and copyright, and its web site.
#include <QDialog>

class QLabel;
class QPushButton;

class TAboutBox : public QDialog {
  Q_OBJECT
public:
  explicit TAboutBox(QWidget* parent = nullptr);

  void FormCreate();
  void ButtonWebpageClick();

  QLabel* ProgramIcon = nullptr;
  QLabel* ProductName = nullptr;
  QLabel* Version = nullptr;
  QLabel* Copyright = nullptr;
  QLabel* License = nullptr;
  QPushButton* ButtonWebpage = nullptr;
  QPushButton* OKButton = nullptr;
};
