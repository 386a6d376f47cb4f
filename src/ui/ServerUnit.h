// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The news server's settings: host, port, TLS and the certificate to trust, user name and
// password, connections and article size, with a test that connects and signs in without posting.
// The settings are [Server]'s keys, which the command line reads too; the password is never written
// there.
#include "posting/PostSetup.h"

#include <QDialog>
#include <atomic>
#include <thread>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

class TFormServer : public QDialog {
  Q_OBJECT
public:
  // storeRuns: whether the desktop's secret store keeps the password (the note says so).
  TFormServer(const TPostSetup& setup, const std::string& password, bool storeRuns,
              QWidget* parent = nullptr);
  ~TFormServer() override;
  // The settings as the controls show them (the post's own settings kept).
  TPostSetup Setup() const;
  std::string Password() const;
  void ButtonTestConnectionClick();
  // The certificate to trust, chosen through the open dialog.
  void ButtonBrowseCaFileClick();

  QLineEdit* EditHost = nullptr;
  QSpinBox* SpinPort = nullptr;
  QComboBox* ComboBoxTls = nullptr;
  QLineEdit* EditCaFile = nullptr; // empty: the system's certificates
  QPushButton* ButtonBrowseCaFile = nullptr;
  QLineEdit* EditUser = nullptr;
  QLineEdit* EditPassword = nullptr;
  QSpinBox* SpinConnections = nullptr;
  QSpinBox* SpinArticleSize = nullptr;
  QPushButton* ButtonTestConnection = nullptr;
  QLabel* LabelTestResult = nullptr;
  QLabel* LabelTlsWarning = nullptr;

signals:
  void Tested(); // the test's answer is shown

private:
  void TlsChanged();
  TPostSetup Base;
  std::jthread Tester;
  std::atomic<bool> Closing{false};
};

// The name the password is kept under in the secret store: one per user and server.
std::string PasswordName(const TServerProfile& server);

// What a connection test found: the greeting, and whether the server lets us post.
std::string ConnectionTestText(const TServerProfile& profile);
