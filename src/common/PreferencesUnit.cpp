// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/PreferencesUnit.h"

#include "common/AppVersionUnit.h"
#include "common/FileUnit.h"
#include "common/FileWriteUnit.h"

// Text is UTF-8 bytes throughout; the INI file needs no conversion. The template's
// definitions are compiled here rather than taken from the shared library, which would
// load ICU into every start.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>
#include <charconv>

namespace {
constexpr const char* MenuPrefs = "MenuPrefs";
constexpr const char* InitPrefs = "InitPrefs";
constexpr const char* WindowPrefs = "Window";
// Far beyond any desktop: a larger value is a damaged file, not a place.
constexpr long long WindowCoordinateLimit = 100000;

std::optional<TWindowPlace> ReadWindowPlace(const CSimpleIniA& ini) {
  TWindowPlace place;
  const std::pair<const char*, int*> keys[] = {{"MainLeft", &place.Left},
                                               {"MainTop", &place.Top},
                                               {"MainWidth", &place.Width},
                                               {"MainHeight", &place.Height}};
  for (const auto& [key, value] : keys) {
    const char* text = ini.GetValue(WindowPrefs, key);
    const auto number = text ? ParsePreferenceInteger(text) : std::nullopt;
    if (!number || *number < -WindowCoordinateLimit || *number > WindowCoordinateLimit)
      return std::nullopt;
    *value = static_cast<int>(*number);
  }
  if (place.Width <= 0 || place.Height <= 0)
    return std::nullopt;
  return place;
}

void WriteWindowPlace(CSimpleIniA& ini, const TWindowPlace& place) {
  ini.SetValue(WindowPrefs, "MainLeft", std::to_string(place.Left).c_str());
  ini.SetValue(WindowPrefs, "MainTop", std::to_string(place.Top).c_str());
  ini.SetValue(WindowPrefs, "MainWidth", std::to_string(place.Width).c_str());
  ini.SetValue(WindowPrefs, "MainHeight", std::to_string(place.Height).c_str());
}
bool NeedsQuotes(std::string_view entry) {
  for (char c : entry)
    if (static_cast<unsigned char>(c) <= 32 || c == ',' || c == '"')
      return true;
  return false;
}
} // namespace

std::optional<long long> ParsePreferenceInteger(std::string_view text) {
  int base = 10;
  bool negative = false;
  if (text.starts_with("-")) {
    negative = true;
    text.remove_prefix(1);
  }
  if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  }
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size())
    return std::nullopt;
  return negative ? -value : value;
}

std::optional<int> ParseRedundancy(std::string_view text) {
  const auto number = ParsePreferenceInteger(text);
  if (!number || *number < MinimumRedundancy || *number > MaximumRedundancy)
    return std::nullopt;
  return static_cast<int>(*number);
}

std::string GetPreferencesPath() {
  // One file for both programs: the window writes it, the command-line tool reads it.
  return GetProgramFolder() + PreferencesFileName;
}

std::string RedundancyRangeText() {
  return std::to_string(MinimumRedundancy) + " to " + std::to_string(MaximumRedundancy);
}

std::string CommaText(const std::vector<std::string>& entries) {
  if (entries.size() == 1 && entries.front().empty())
    return "\"\"";
  std::string text;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i > 0)
      text += ',';
    const std::string& entry = entries[i];
    if (!NeedsQuotes(entry)) {
      text += entry;
      continue;
    }
    text += '"';
    for (char c : entry) {
      if (c == '"')
        text += '"';
      text += c;
    }
    text += '"';
  }
  return text;
}

std::vector<std::string> SplitCommaText(std::string_view text) {
  std::vector<std::string> entries;
  auto isSeparator = [](char c) {
    return static_cast<unsigned char>(c) <= 32;
  };
  std::size_t i = 0;
  auto skipBlanks = [&] {
    while (i < text.size() && isSeparator(text[i]))
      ++i;
  };
  skipBlanks();
  while (i < text.size()) {
    std::string entry;
    if (text[i] == '"') {
      ++i;
      while (i < text.size()) {
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            entry += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        entry += text[i++];
      }
    } else {
      while (i < text.size() && text[i] != ',' && !isSeparator(text[i]))
        entry += text[i++];
    }
    entries.push_back(entry);
    skipBlanks();
    if (i < text.size() && text[i] == ',') {
      ++i;
      skipBlanks();
      if (i >= text.size())
        entries.emplace_back(); // a trailing comma ends with an empty entry
    }
  }
  return entries;
}

std::string MoreServerSection(int number) {
  return "Server" + std::to_string(number);
}

TPreferences ReadPreferences(const std::string& path,
                             std::span<const std::string_view> switchKeys) {
  TPreferences preferences;
  for (const std::string_view key : switchKeys)
    preferences.Switches[std::string(key)] = false;
  const auto bytes = ReadFileBytes(path);
  if (!bytes)
    return preferences;
  CSimpleIniA ini;
  ini.LoadData(*bytes);
  auto boolean = [&](const char* key, bool& value) {
    if (const char* text = ini.GetValue(MenuPrefs, key))
      if (const auto number = ParsePreferenceInteger(text))
        value = *number != 0;
  };
  auto textValue = [&](const char* section, const char* key, std::string& value) {
    if (const char* text = ini.GetValue(section, key))
      value = text; // whole: a cut list of newsgroups would lose groups mid-name
  };
  boolean("HidePaths", preferences.HidePaths);
  boolean("UsedID3Tags", preferences.UsedID3Tags);
  boolean("SortSelections", preferences.SortSelections);
  for (auto& [key, value] : preferences.Switches)
    boolean(key.c_str(), value);
  boolean("LivePreview", preferences.LivePreview);
  boolean("IncludeExtras", preferences.IncludeExtras);
  boolean("Par2CoverLargestFile", preferences.Par2CoverLargestFile);
  textValue(MenuPrefs, "ExtraPatterns", preferences.ExtraPatterns);
  textValue(MenuPrefs, "NfoEncoding", preferences.NfoEncoding);
  if (const char* text = ini.GetValue(MenuPrefs, "Par2Redundancy")) {
    if (const auto number = ParseRedundancy(text))
      preferences.Par2Redundancy = *number;
    else
      preferences.IgnoredValues.push_back("Par2Redundancy=" + std::string(text));
  }
  textValue(MenuPrefs, "InitialDir", preferences.InitialDir);
  textValue(MenuPrefs, "NewsGroupFilter", preferences.NewsGroupFilter);
  textValue(MenuPrefs, "LastGroupAdded", preferences.LastGroupAdded);
  textValue(InitPrefs, "Encoder", preferences.Encoder);
  textValue(InitPrefs, "Codec", preferences.Codec);
  textValue(InitPrefs, "RippedBy", preferences.RippedBy);
  textValue(InitPrefs, "PostedBy", preferences.PostedBy);
  std::string groups;
  textValue(InitPrefs, "NGPostedTo", groups);
  preferences.NGPostedTo = SplitCommaText(groups);
  const auto sectionKeys = [&ini](const char* section, auto& keys) {
    CSimpleIniA::TNamesDepend names;
    ini.GetAllKeys(section, names);
    for (const auto& name : names)
      if (const char* text = ini.GetValue(section, name.pItem))
        keys[name.pItem] = text;
  };
  sectionKeys("Server", preferences.Server);
  sectionKeys("CheckServer", preferences.CheckServer);
  for (int number = 2; number <= MostServers && ini.GetSection(MoreServerSection(number).c_str());
       ++number)
    sectionKeys(MoreServerSection(number).c_str(), preferences.MoreServers.emplace_back());
  preferences.MainWindow = ReadWindowPlace(ini);
  return preferences;
}

bool WritePreferences(const std::string& path, const TPreferences& preferences) {
  CSimpleIniA ini;
  ini.SetSpaces(false);
  if (const auto bytes = ReadFileBytes(path))
    ini.LoadData(*bytes);
  auto boolean = [&](const char* key, bool value) {
    ini.SetValue(MenuPrefs, key, value ? "1" : "0");
  };
  boolean("HidePaths", preferences.HidePaths);
  boolean("UsedID3Tags", preferences.UsedID3Tags);
  boolean("SortSelections", preferences.SortSelections);
  for (const auto& [key, value] : preferences.Switches)
    boolean(key.c_str(), value);
  boolean("LivePreview", preferences.LivePreview);
  boolean("IncludeExtras", preferences.IncludeExtras);
  boolean("Par2CoverLargestFile", preferences.Par2CoverLargestFile);
  ini.SetValue(MenuPrefs, "ExtraPatterns", preferences.ExtraPatterns.c_str());
  ini.SetValue(MenuPrefs, "NfoEncoding", preferences.NfoEncoding.c_str());
  ini.SetValue(MenuPrefs, "Par2Redundancy", std::to_string(preferences.Par2Redundancy).c_str());
  ini.SetValue(MenuPrefs, "InitialDir", preferences.InitialDir.c_str());
  ini.SetValue(MenuPrefs, "NewsGroupFilter", preferences.NewsGroupFilter.c_str());
  ini.SetValue(MenuPrefs, "LastGroupAdded", preferences.LastGroupAdded.c_str());
  ini.SetValue(InitPrefs, "Encoder", preferences.Encoder.c_str());
  ini.SetValue(InitPrefs, "Codec", preferences.Codec.c_str());
  ini.SetValue(InitPrefs, "RippedBy", preferences.RippedBy.c_str());
  ini.SetValue(InitPrefs, "PostedBy", preferences.PostedBy.c_str());
  ini.SetValue(InitPrefs, "NGPostedTo", CommaText(preferences.NGPostedTo).c_str());
  for (const auto& [key, value] : preferences.Server)
    ini.SetValue("Server", key.c_str(), value.c_str());
  for (const auto& [key, value] : preferences.CheckServer)
    ini.SetValue("CheckServer", key.c_str(), value.c_str());
  for (int number = 2; ini.GetSection(MoreServerSection(number).c_str()); ++number)
    ini.Delete(MoreServerSection(number).c_str(), nullptr);
  for (std::size_t i = 0; i < preferences.MoreServers.size(); ++i)
    for (const auto& [key, value] : preferences.MoreServers[i])
      ini.SetValue(MoreServerSection(static_cast<int>(i) + 2).c_str(), key.c_str(), value.c_str());
  if (preferences.MainWindow)
    WriteWindowPlace(ini, *preferences.MainWindow);
  std::string text;
  if (ini.Save(text) < 0)
    return false;
  return WriteFileAtomically(path, text);
}
