// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window program's host: Qt's modal boxes, dialogs, player and help window; the
// regional forms of the C library's locale, as the command-line tool's.
#include "platform/LocaleHost.h"

#include <QPointer>
#include <memory>
#include <mutex>

class QAudioOutput;
class QDialog;
class QMediaPlayer;
class QWidget;

class TQtHost : public TLocaleHost {
public:
  TQtHost();
  ~TQtHost() override;
  // The window that owns the help window and that previews are centred over.
  void SetMainWindow(QWidget* window) { MainWindow = window; }
  TMessageResult ShowMessage(TMessageKind kind, const std::string& text) override;
  // A box, as every message, with the path on its last line (not the console's form).
  TMessageResult ShowFileMessage(TMessageKind kind, const std::string& text,
                                 const std::string& path) override {
    return THost::ShowFileMessage(kind, text, path);
  }
  std::string ProgramFile() override;
  TShellResult ShellOpen(const std::string& file, const std::string& workingFolder) override;
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& value, int maxLength) override;
  std::optional<std::string> OpenFileDialog(const TOpenDialogRequest& request) override;
  std::vector<std::string> OpenFilesDialog(const TOpenDialogRequest& request) override;
  std::optional<std::string> SaveFileDialog(const TSaveDialogRequest& request) override;
  bool OpenMedia(const std::string& path) override;
  void PlayMedia() override;
  void StopMedia() override;
  void CloseMedia() override;
  bool ShowHelp(int topic) override;
  void SetBusyCursor(bool busy) override;
  // Through QtKeychain: the Secret Service (libsecret) or KWallet, never a file.
  TSecretResult ReadSecret(const std::string& name) override;
  TSecretResult WriteSecret(const std::string& name, const std::string& value) override;

  // How long an open waits for the player's verdict on a file before taking it as opened
  // (the window repaints meanwhile but takes no input).
  int MediaVerdictMilliseconds = 2000;

protected:
  QWidget* MainWindow = nullptr;

private:
  std::vector<std::string> RunOpenDialog(const TOpenDialogRequest& request, bool several);
  bool StartOpener(const std::string& path, const std::string& folder);
  bool MakePlayer();
  void DropPlayer();
  bool AwaitMediaVerdict();
  QDialog* HelpWindowFor(QWidget* owner);
  std::unique_ptr<QMediaPlayer> Player;
  std::unique_ptr<QAudioOutput> Audio;
  // Owned by the window it belongs to, or by this host while it has none.
  QPointer<QDialog> HelpWindow;
  bool Opening = false;
  // Shared with the threads that await the openers' verdicts.
  struct TOpenerWatch {
    std::mutex Mutex;
    bool HostAlive = true;
  };
  std::shared_ptr<TOpenerWatch> Openers = std::make_shared<TOpenerWatch>();
};
