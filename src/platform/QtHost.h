#pragma once
// The window program's host: Qt's modal boxes and the regional forms of Qt's system
// locale.
#include "common/Host.h"

#include <QCollator>
#include <QPointer>
#include <memory>

class QAudioOutput;
class QDialog;
class QMediaPlayer;
class QWidget;

class TQtHost : public TPlainHost {
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
  TRegionalSettings RegionalSettings() override { return Settings; }
  std::string ShortDateText(TDateTime value) override;
  std::string ShortTimeText(TDateTime value) override;
  int CompareIgnoringCase(std::string_view a, std::string_view b) override;
  std::string UpperCase(std::string_view text) override;
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

protected:
  QWidget* MainWindow = nullptr;

private:
  std::vector<std::string> RunOpenDialog(const TOpenDialogRequest& request, bool several);
  bool MakePlayer();
  void DropPlayer();
  bool AwaitMediaVerdict();
  QDialog* HelpWindowFor(QWidget* owner);
  std::unique_ptr<QMediaPlayer> Player;
  std::unique_ptr<QAudioOutput> Audio;
  // Owned by the window it belongs to, or by this host while it has none.
  QPointer<QDialog> HelpWindow;
  bool Opening = false;
  TRegionalSettings Settings;
  // Made when first needed: loading the collation tables costs more than most runs.
  std::unique_ptr<QCollator> Collator;
};
