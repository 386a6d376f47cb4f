#pragma once
// The narrow interface through which the program touches the outside world.
// The window program installs a Qt host, the command-line tool a console host and
// the tests a scripted host; without an installed host a plain one is used.
#include <string>

enum class TMessageKind { Error, Information, Confirmation };
enum class TMessageResult { Ok, Yes, No };

// The caption each kind of message box carries.
const char* MessageCaption(TMessageKind kind);

// The user's regional forms; the defaults are the English ones.
struct TRegionalSettings {
  std::string DecimalSeparator = ".";
  std::string ThousandSeparator = ",";
  std::string TimeSeparator = ":";
  std::string ShortDateFormat = "M/d/yyyy"; // d, dd, M, MM, yy, yyyy and literal text
  std::string ShortTimeFormat = "h:mm AP";  // h, hh, H, HH, mm, AP/ap and literal text
};

class THost {
public:
  virtual ~THost() = default;

  // A modal message box of the given kind; returns the button the user chose.
  virtual TMessageResult ShowMessage(TMessageKind kind, const std::string& text) = 0;
  virtual TRegionalSettings RegionalSettings() = 0;
  // The full path of the running program file.
  virtual std::string ProgramFile() = 0;
};

// A host that needs nothing: messages to stderr, English regional forms, the
// program file from the operating system. Other hosts build on it.
class TPlainHost : public THost {
public:
  TMessageResult ShowMessage(TMessageKind kind, const std::string& text) override;
  TRegionalSettings RegionalSettings() override;
  std::string ProgramFile() override;
};

THost& CurrentHost();

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
