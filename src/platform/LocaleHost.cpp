// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/LocaleHost.h"

#include <cwctype>
#include <langinfo.h>
#include <optional>
#include <string>
#include <utf8proc.h>
#include <wchar.h>

namespace {
std::wstring Wide(std::string_view text) {
  std::wstring wide;
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
  utf8proc_ssize_t left = static_cast<utf8proc_ssize_t>(text.size());
  while (left > 0) {
    utf8proc_int32_t code = 0;
    utf8proc_ssize_t length = utf8proc_iterate(bytes, left, &code);
    if (length <= 0) {
      code = 0xFFFD;
      length = 1;
    }
    wide += static_cast<wchar_t>(code);
    bytes += length;
    left -= length;
  }
  return wide;
}

std::string Narrow(const std::wstring& wide) {
  std::string text;
  for (const wchar_t c : wide) {
    utf8proc_uint8_t bytes[4];
    const utf8proc_ssize_t length = utf8proc_encode_char(static_cast<utf8proc_int32_t>(c), bytes);
    text.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
  }
  return text;
}

} // namespace

std::optional<std::string> ProgramForm(std::string_view strftime, bool time) {
  std::string form;
  for (std::size_t i = 0; i < strftime.size(); ++i) {
    if (strftime[i] != '%') {
      form += strftime[i];
      continue;
    }
    if (++i >= strftime.size())
      return std::nullopt;
    switch (strftime[i]) {
    case 'd':
      form += "dd";
      break;
    case 'e':
      form += "d";
      break;
    case 'm':
      form += "MM";
      break;
    case 'y':
      form += "yy";
      break;
    case 'Y':
      form += "yyyy";
      break;
    case 'H':
      form += "HH";
      break;
    case 'I':
      form += "hh";
      break;
    case 'M':
      form += "mm";
      break;
    case 'T': // %H:%M:%S, and %R is %H:%M: the short form has no seconds either way
    case 'R':
      form += "HH:mm";
      break;
    case 'p':
      form += "AP";
      break;
    case 'S': // the short time form has no seconds: the separator before them goes too
      if (time && !form.empty() && form.back() != 'm')
        form.pop_back();
      break;
    default:
      return std::nullopt;
    }
  }
  return form;
}

TRegionalSettings LocaleRegionalSettings(locale_t locale) {
  TRegionalSettings settings;
  if (const char* point = nl_langinfo_l(RADIXCHAR, locale); point && *point)
    settings.DecimalSeparator = point;
  if (const char* group = nl_langinfo_l(THOUSEP, locale); group && *group)
    settings.ThousandSeparator = group;
  if (const auto date = ProgramForm(nl_langinfo_l(D_FMT, locale), false))
    settings.ShortDateFormat = *date;
  // The time form is the locale's T_FMT; "%r" in it means its 12-hour form.
  std::string clock = nl_langinfo_l(T_FMT, locale);
  if (clock.find("%r") != std::string::npos)
    clock = nl_langinfo_l(T_FMT_AMPM, locale);
  if (const auto time = ProgramForm(clock, true)) {
    settings.ShortTimeFormat = *time;
    const std::size_t hour = time->find_first_of("hH");
    const std::size_t minute = time->find('m');
    if (hour != std::string::npos && minute != std::string::npos && minute > hour) {
      const std::size_t from = time->find_first_not_of("hH", hour);
      if (from < minute)
        settings.TimeSeparator = time->substr(from, minute - from);
    }
  }
  return settings;
}

// The categories the settings and the text functions read; loading the rest (money, paper,
// telephone, ...) would cost every start a file each.
constexpr int UsedCategories = LC_CTYPE_MASK | LC_NUMERIC_MASK | LC_TIME_MASK | LC_COLLATE_MASK;

TLocaleHost::TLocaleHost() {
  Locale = newlocale(UsedCategories, "", static_cast<locale_t>(nullptr));
  if (!Locale)
    Locale = newlocale(UsedCategories, "C.UTF-8", static_cast<locale_t>(nullptr));
  Settings = Locale ? LocaleRegionalSettings(Locale) : TRegionalSettings{};
}

TLocaleHost::~TLocaleHost() {
  if (Locale)
    freelocale(Locale);
}

int TLocaleHost::CompareIgnoringCase(std::string_view a, std::string_view b) {
  std::wstring left = Wide(a);
  std::wstring right = Wide(b);
  if (!Locale)
    return left.compare(right);
  for (wchar_t& c : left)
    c = static_cast<wchar_t>(towlower_l(static_cast<wint_t>(c), Locale));
  for (wchar_t& c : right)
    c = static_cast<wchar_t>(towlower_l(static_cast<wint_t>(c), Locale));
  return wcscoll_l(left.c_str(), right.c_str(), Locale);
}

std::string TLocaleHost::UpperCase(std::string_view text) {
  std::wstring wide = Wide(text);
  for (wchar_t& c : wide)
    c = static_cast<wchar_t>(Locale ? towupper_l(static_cast<wint_t>(c), Locale)
                                    : std::towupper(static_cast<wint_t>(c)));
  return Narrow(wide);
}
