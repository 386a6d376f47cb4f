// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The narrow interface through which the program touches the outside world.
// The window program installs a Qt host, the command-line tool a console host and
// the tests a scripted host; without an installed host a plain one is used.
#include "common/DateTimeUnit.h"
#include "common/Problem.h"

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class TMessageKind { Error, Information, Confirmation };
enum class TMessageResult { Ok, Yes, No };

// The outcome of asking the desktop to open a file with its associated program.
enum class TShellResult { Opened, FileNotFound, Failed };

// The caption each kind of message box carries.
const char* MessageCaption(TMessageKind kind);

// A message's line breaks as LF alone: CR LF and LF CR make one break, a lone CR another.
std::string MessageLines(std::string text);

// One entry of a file dialog's type list: the name shown and the pattern it stands for.
struct TFileFilter {
  std::string Name;
  std::string Pattern;
};

struct TOpenDialogRequest {
  std::string Title;
  std::vector<TFileFilter> Filters;
  std::size_t FilterIndex = 0; // the entry preset, counted from 0
  std::string FileName;        // preset file name
  std::string Folder;          // initial folder; empty for the dialog's own choice
  std::string OkButtonText;    // empty for the dialog's own
};

struct TSaveDialogRequest {
  std::string Title;
  std::vector<TFileFilter> Filters;
  std::string DefaultExtension; // added to a name typed without one
  std::string FileName;
  std::string Folder;
};

// The user's regional forms; the defaults are the English ones.
struct TRegionalSettings {
  std::string DecimalSeparator = ".";
  std::string ThousandSeparator = ",";
  std::string TimeSeparator = ":";
  std::string ShortDateFormat = "M/d/yyyy"; // d, dd, M, MM, yy, yyyy and literal text
  std::string ShortTimeFormat = "h:mm AP";  // h, hh, H, HH, mm, AP/ap and literal text
};

// What the desktop's secret store did with a password.
enum class TSecretOutcome {
  Done,     // read or kept
  NotFound, // nothing kept under that name
  NoStore   // no secret store runs here (or it failed): keep the password in memory only
};
struct TSecretResult {
  TSecretOutcome Outcome = TSecretOutcome::NoStore;
  std::string Value;  // the password read
  std::string Reason; // the store's words when it failed
};

class THost {
public:
  virtual ~THost() = default;

  // A modal message box of the given kind; returns the button the user chose.
  virtual TMessageResult ShowMessage(TMessageKind kind, const std::string& text) = 0;
  // A message about one file: the text, and the file's full path on a line below it.
  virtual TMessageResult ShowFileMessage(TMessageKind kind, const std::string& text,
                                         const std::string& path);
  virtual TRegionalSettings RegionalSettings() = 0;
  // The full path of the running program file.
  virtual std::string ProgramFile() = 0;
  // The folder of the program's own files, with a trailing "/".
  virtual std::string ProgramFolder() = 0;

  // The current local date and time.
  virtual TDateTime Now() = 0;
  // A date in the locale's short date form; a time as hours and minutes in the locale's
  // short time form (with the AM/PM mark where the locale uses a 12-hour clock).
  virtual std::string ShortDateText(TDateTime value) = 0;
  virtual std::string ShortTimeText(TDateTime value) = 0;

  // Opens a file (a bare name within the folder, or a web address) with the desktop's
  // associated program, without waiting for it.
  virtual TShellResult ShellOpen(const std::string& file, const std::string& workingFolder) = 0;

  // Shows a finished document in the preview window; returns when it is closed.
  virtual void ShowPreview(const std::string& text) = 0;

  // A modal box asking for one line of text; nothing when the user cancels.
  virtual std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                              const std::string& value, int maxLength) = 0;
  // The open dialog; the chosen file's full path, or nothing when cancelled.
  virtual std::optional<std::string> OpenFileDialog(const TOpenDialogRequest& request) = 0;
  // The open dialog with several files chosen at once; empty when cancelled.
  virtual std::vector<std::string> OpenFilesDialog(const TOpenDialogRequest& request) = 0;
  // The save dialog, which asks before an existing file is replaced; nothing when cancelled.
  virtual std::optional<std::string> SaveFileDialog(const TSaveDialogRequest& request) = 0;
  // The media player: open one file without playing it (false when it cannot be opened),
  // play and stop it, and close it.
  virtual bool OpenMedia(const std::string& path) = 0;
  virtual void PlayMedia() = 0;
  virtual void StopMedia() = 0;
  virtual void CloseMedia() = 0;
  // Hears the player's own reason whenever an open or a playback fails, as it happens.
  virtual void SetMediaProblemListener(std::function<void(const std::string& reason)> listener) {
    MediaProblemListener = std::move(listener);
  }
  // Shows a topic of the program's help; false when the help cannot be shown.
  virtual bool ShowHelp(int topic) = 0;
  // The hourglass while a long step runs.
  virtual void SetBusyCursor(bool busy) = 0;
  virtual std::optional<std::string> EnvironmentVariable(const std::string& name) = 0;

  // The locale's ordering of texts, ignoring case: below, equal to or above zero.
  virtual int CompareIgnoringCase(std::string_view a, std::string_view b) = 0;
  // Upper case by the user's locale.
  virtual std::string UpperCase(std::string_view text) = 0;

  // The desktop's secret store: a password read or kept under a name of this program's.
  // A host without one has no store.
  virtual TSecretResult ReadSecret(const std::string& name) {
    (void)name;
    return {};
  }
  virtual TSecretResult WriteSecret(const std::string& name, const std::string& value) {
    (void)name, (void)value;
    return {};
  }

  // The program is closing: every network wait ends now rather than at its deadline (a
  // silent server held the window's exit for its whole timeout). Any thread may ask.
  void StopWaiting() { Stopping.store(true); }
  bool WaitsStopped() const { return Stopping.load(); }

protected:
  void ReportMediaProblem(const std::string& reason) {
    if (MediaProblemListener)
      MediaProblemListener(reason);
  }

private:
  std::function<void(const std::string& reason)> MediaProblemListener;
  std::atomic<bool> Stopping{false};
};

// A host that needs nothing: messages to stderr, English regional forms, the
// program file from the operating system. Other hosts build on it.
class TPlainHost : public THost {
public:
  TPlainHost();
  ~TPlainHost() override;
  TMessageResult ShowMessage(TMessageKind kind, const std::string& text) override;
  TRegionalSettings RegionalSettings() override;
  std::string ProgramFile() override;
  // The program file's folder when it is writable, else the per-user folder.
  std::string ProgramFolder() override;
  TDateTime Now() override;
  std::string ShortDateText(TDateTime value) override;
  std::string ShortTimeText(TDateTime value) override;
  TShellResult ShellOpen(const std::string& file, const std::string& workingFolder) override;
  void ShowPreview(const std::string& text) override;
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& value, int maxLength) override;
  std::optional<std::string> OpenFileDialog(const TOpenDialogRequest& request) override;
  std::vector<std::string> OpenFilesDialog(const TOpenDialogRequest& request) override;
  std::optional<std::string> SaveFileDialog(const TSaveDialogRequest& request) override;
  bool OpenMedia(const std::string& path) override;
  void PlayMedia() override {}
  void StopMedia() override {}
  void CloseMedia() override {}
  bool ShowHelp(int topic) override;
  void SetBusyCursor(bool busy) override;
  std::optional<std::string> EnvironmentVariable(const std::string& name) override;
  int CompareIgnoringCase(std::string_view a, std::string_view b) override;
  std::string UpperCase(std::string_view text) override;

private:
  std::string Folder; // chosen once per run
};

THost& CurrentHost();
// A problem the core returned, shown as an error about its file through the installed host:
// the one way a face tells one.
void ShowProblem(const TProblem& problem);
// Shows the problem when there is one.
void ShowAnyProblem(const std::optional<TProblem>& problem);
void ShowProblems(const std::vector<TProblem>& problems);

// The busy cursor for the lifetime of this object, restored whatever happens.
class TBusyCursor {
public:
  TBusyCursor() { CurrentHost().SetBusyCursor(true); }
  ~TBusyCursor() { CurrentHost().SetBusyCursor(false); }
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;
};

// Installs a host for the lifetime of this object; the previous one returns afterwards.
class TInstalledHost {
public:
  explicit TInstalledHost(THost& host);
  ~TInstalledHost();
  TInstalledHost(const TInstalledHost&) = delete;
  TInstalledHost& operator=(const TInstalledHost&) = delete;

private:
  THost* Previous;
};
