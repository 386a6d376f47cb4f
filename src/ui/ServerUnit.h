// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The news servers' settings: the list's server edited (Server 1, Server 2, ..., + Add) and
// its role (post, check, or both), host, port, TLS and the certificate to trust, user name
// and password, connections; the article size; a test that connects and signs in without
// posting. The settings are the keys of [Server], [Server2], ..., which the command line
// reads too; a password is never written there.
#include "posting/PostSetup.h"

#include <QDialog>
#include <atomic>
#include <thread>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLayout;
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
  // The settings as the controls show them (the post's own settings kept); each server's
  // password with its profile in Servers. A server whose host is emptied leaves the list.
  TPostSetup Setup() const;
  std::string Password() const; // the first server's ([Server])
  void ButtonTestConnectionClick();
  // The certificate to trust, chosen through the open dialog.
  void ButtonBrowseCaFileClick();

  QComboBox* ComboBoxServers = nullptr; // "Server 1", "Server 2", ..., "+ Add"
  QComboBox* ComboBoxRole = nullptr;
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
  QLayout* BuildServerRow();
  void BuildEntryControls(const TPostSetup& setup);
  QDialogButtonBox* BuildForm(QLayout* serverRow, bool storeRuns);
  void ConnectControls(QDialogButtonBox* buttons);
  void TlsChanged();
  void ServerChosen(int index);
  void ShowEntry(const TListedServer& entry);
  TListedServer EntryShown() const;
  std::vector<TListedServer> EntriesNow() const;
  TPostSetup Base;
  std::vector<TListedServer> Entries;
  int Current = 0;
  std::jthread Tester;
  std::atomic<bool> Closing{false};
};

// The name the password is kept under in the secret store: one per user and server.
std::string PasswordName(const TServerProfile& server);

// What a connection test found: the greeting, and whether the server lets us post.
std::string ConnectionTestText(const TServerProfile& profile);
