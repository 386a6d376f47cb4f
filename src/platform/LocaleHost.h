// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The user's regional forms for both faces of the program, from the one source both can
// read: the C library's locale (LANG, LC_ALL and the LC_* settings). The window and the
// command-line tool therefore write the same dates, numbers and orders.
#include "common/Host.h"

#include <locale.h>
#include <optional>
#include <string>
#include <string_view>

class TLocaleHost : public TPlainHost {
public:
  TLocaleHost();
  ~TLocaleHost() override;
  TLocaleHost(const TLocaleHost&) = delete;
  TLocaleHost& operator=(const TLocaleHost&) = delete;
  TRegionalSettings RegionalSettings() override { return Settings; }
  int CompareIgnoringCase(std::string_view a, std::string_view b) override;
  std::string UpperCase(std::string_view text) override;

private:
  // The user's locale, read once; the process-wide one stays "C", so that no number
  // the program writes or reads changes its form.
  locale_t Locale;
  TRegionalSettings Settings;
};

// The regional forms of a C library locale; English forms where it names none.
TRegionalSettings LocaleRegionalSettings(locale_t locale);
// An strftime date or time form in the program's form (d, dd, M, MM, yy, yyyy, h, hh, H,
// HH, mm, AP; a time without its seconds); nothing for a conversion it has no letters for.
std::optional<std::string> ProgramForm(std::string_view strftime, bool time);
