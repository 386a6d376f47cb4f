// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The preferences file: two sections of keys, beside the program.
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The recovery data a save may add, as a percentage of the album's files.
inline constexpr int MinimumRedundancy = 1;
inline constexpr int MaximumRedundancy = 100;

// A window's frame position and inner size, in screen pixels, as the user left it.
struct TWindowPlace {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  bool operator==(const TWindowPlace&) const = default;
};

struct TPreferences {
  // [MenuPrefs]
  bool HidePaths = true;
  bool UsedID3Tags = false;
  bool SortSelections = true;
  bool LivePreview = false;
  // The switches its readers name (one for each document beside the .nfo), each
  // off unless the file says otherwise.
  std::map<std::string, bool, std::less<>> Switches;
  std::string NfoEncoding = "utf-8";
  int Par2Redundancy = 10; // percent, MinimumRedundancy to MaximumRedundancy
  // Recovery files sized to rebuild at least the album's largest file, whatever the
  // percentage gives.
  bool Par2CoverLargestFile = true;
  // The album's other files (a cover, the CUE sheet, the rip log) go with the tracks into
  // the .sfv, the PAR2 set and the post; which ones, by name patterns.
  bool IncludeExtras = false;
  std::string ExtraPatterns = "*.jpg *.jpeg *.png *.cue *.log *.txt *.pdf";
  std::string InitialDir;
  std::string NewsGroupFilter = "mp3";
  std::string LastGroupAdded;
  // [InitPrefs]
  std::string Encoder;
  std::string Codec;
  std::string RippedBy;
  std::string PostedBy;
  std::vector<std::string> NGPostedTo;
  // [Server]: the news server's profile, as its texts (the posting core reads them); never
  // a password.
  std::map<std::string, std::string, std::less<>> Server;
  // [CheckServer]: the server of another network the post's check asks, likewise.
  std::map<std::string, std::string, std::less<>> CheckServer;
  // [Server2], [Server3], ...: the list's further servers, likewise, read up to the first
  // number missing; written as the list, a section past its end removed.
  std::vector<std::map<std::string, std::string, std::less<>>> MoreServers;
  // [Window]: where the main window was left; none before its first run, or when a value
  // is missing or means nothing (the window then starts centred).
  std::optional<TWindowPlace> MainWindow;
  // "Par2Redundancy=abc": a value read as its default because it means nothing, for the
  // face to tell.
  std::vector<std::string> IgnoredValues;
};

// The section of the server list's entry: "Server2" for the second.
std::string MoreServerSection(int number);
// The list reads [Server] to [Server16]: a posting run holds a connection (a thread) for
// each server's every connection.
inline constexpr int MostServers = 16;

// The one preferences file of both programs, in the program folder.
inline constexpr const char* PreferencesFileName = "tamberlon.INI";
// The preferences file in the program folder, for both programs.
std::string GetPreferencesPath();

// Missing files, sections, keys and malformed values give the defaults, silently; texts
// are read whole. The switches are read by these keys.
TPreferences ReadPreferences(const std::string& path,
                             std::span<const std::string_view> switchKeys = {});
// Keeps what the file holds besides its own keys; written whole or not at all.
bool WritePreferences(const std::string& path, const TPreferences& preferences);

// Comma text: entries separated by commas; one holding a blank, comma, quote or control
// character is quoted with its quotes doubled; a lone empty entry is "".
std::string CommaText(const std::vector<std::string>& entries);
// Commas, blanks and control characters separate entries outside quotes.
std::vector<std::string> SplitCommaText(std::string_view text);

// A preferences integer: decimal, or hexadecimal after "0x"; nothing for anything else.
std::optional<long long> ParsePreferenceInteger(std::string_view text);
// A redundancy in percent within its range, from the INI, the window or the command line.
std::optional<int> ParseRedundancy(std::string_view text);
// "1 to 100", as every face states the range.
std::string RedundancyRangeText();
