#pragma once
// The command-line tool's host: messages go to stderr, regional forms come from the C
// library's locale (LANG, LC_ALL and the LC_* settings), so the tool needs no Qt.
#include "common/Host.h"

#include <locale.h>
#include <optional>
#include <string>
#include <string_view>

class TConsoleHost : public TPlainHost {
public:
  TConsoleHost();
  ~TConsoleHost() override;
  TConsoleHost(const TConsoleHost&) = delete;
  TConsoleHost& operator=(const TConsoleHost&) = delete;
  // Every message on one line of stderr: "tamberlon-cli: text", and for a message about
  // one file "tamberlon-cli: path: text", as command-line tools write them.
  TMessageResult ShowMessage(TMessageKind kind, const std::string& text) override;
  TMessageResult ShowFileMessage(TMessageKind kind, const std::string& text,
                                 const std::string& path) override;
  TRegionalSettings RegionalSettings() override { return Settings; }
  int CompareIgnoringCase(std::string_view a, std::string_view b) override;
  std::string UpperCase(std::string_view text) override;

  int MessagesShown() const { return Shown; }

private:
  // The user's locale, read once; the process-wide one stays "C", so that no number
  // the tool writes or reads changes its form.
  locale_t Locale;
  TRegionalSettings Settings;
  int Shown = 0;
};

// The regional forms of a C library locale; English forms where it names none.
TRegionalSettings LocaleRegionalSettings(locale_t locale);
// An strftime date or time form in the program's form (d, dd, M, MM, yy, yyyy, h, hh, H,
// HH, mm, AP; a time without its seconds); nothing for a conversion it has no letters for.
std::optional<std::string> ProgramForm(std::string_view strftime, bool time);
