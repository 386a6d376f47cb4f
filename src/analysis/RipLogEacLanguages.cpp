// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/RipLogEacLanguages.h"

#include "common/TextUnit.h"

#include <array>
#include <cstdint>
#include <span>

namespace {
// The strings of EAC's log that the reader reads, in the order of their places in a line.
enum class EEacString : std::uint8_t {
  // A line's label (a setting's, a track's heading or one of its lines)
  Header,
  UsedDrive,
  ReadMode,
  AccurateStream,
  DefeatCache,
  C2Pointers,
  ReadOffset,
  CombinedOffset,
  FillOffset,
  DeleteSilence,
  NullSamples,
  GapHandling,
  Id3,
  Normalize,
  RangeStatus,
  SelectedRange,
  Track,
  Filename,
  TestCrc,
  CopyCrc,
  Accurate,
  NotAccurate,
  CannotVerify,
  NotPresent,
  NotFullyRipped,
  TimingProblem,
  SuspiciousPosition,
  MissingSamples,
  WriteError,
  CopyAborted,
  CopyOk,
  AccurateRipSummary,
  EndOfReport,
  // A setting's value, after its label's colon
  Yes,
  No,
  Secure,
  Burst,
  Fast,
  Paranoid,
  SecureNoC2NoCache,
  SecureNoC2NoStream,
  SecureC2NoCache,
  SecureC2,
  SecureNoC2,
  SecureNoC2NoStreamNoCache,
  GapNotDetected,
  GapPrevious,
  GapNext,
  GapLeftOut,
  // A verdict of AccurateRip's summary, after a track's number
  SummaryAccurate,
  SummaryNotAccurate,
  SummaryNotPresent,
  SummaryIncomplete,
  Count
};

enum class EPlace { Label, Value, AfterTrack };

EPlace PlaceOf(EEacString key) {
  if (key >= EEacString::SummaryAccurate)
    return EPlace::AfterTrack;
  return key >= EEacString::Yes ? EPlace::Value : EPlace::Label;
}

// Each string as an English log writes it.
constexpr auto English = std::to_array<std::string_view>({
    "EAC extraction logfile from",
    "Used drive",
    "Read mode",
    "Utilize accurate stream",
    "Defeat audio cache",
    "Make use of C2 pointers",
    "Read offset correction",
    "Combined read/write offset correction",
    "Fill up missing offset samples with silence",
    "Delete leading and trailing silent blocks",
    "Null samples used in CRC calculations",
    "Gap handling",
    "Add ID3 tag",
    "Normalize to",
    "Range status and errors",
    "Selected range",
    "Track",
    "Filename",
    "Test CRC",
    "Copy CRC",
    "Accurately ripped (confidence",
    "Not accurately ripped (confidence",
    "Cannot be verified as accurate",
    "Track not present in AccurateRip database",
    "Track not fully ripped for AccurateRip lookup",
    "Timing problem",
    "Suspicious position",
    "Missing samples",
    "File write error",
    "Copy aborted",
    "Copy OK",
    "AccurateRip summary",
    "End of status report",
    "Yes",
    "No",
    "Secure",
    "Burst",
    "Fast",
    "Paranoid",
    "Secure with NO C2, accurate stream, NO disable cache",
    "Secure with NO C2, NO accurate stream, disable cache",
    "Secure with C2, accurate stream, NO disable cache",
    "Secure with C2, accurate stream, disable cache",
    "Secure with NO C2, accurate stream, disable cache",
    "Secure with NO C2, NO accurate stream, NO disable cache",
    "Not detected, thus appended to previous track",
    "Appended to previous track",
    "Appended to next track",
    "Left out",
    "accurately ripped (confidence",
    "not ripped accurately (confidence",
    "not present in database",
    "not ripped completely",
});
static_assert(English.size() == static_cast<std::size_t>(EEacString::Count));

struct TTranslation {
  const char* Language;
  EEacString Key;
  const char* Text;
};

constexpr TTranslation Translations[] = {
#include "analysis/RipLogEacStrings.inc"
};

// A language's translation as it is matched: folded to lower case.
struct TPhrase {
  EEacString Key;
  std::string Folded;
};

std::vector<TPhrase> PhrasesOf(std::span<const TTranslation> rows) {
  std::vector<TPhrase> phrases;
  for (const TTranslation& row : rows)
    phrases.push_back({row.Key, FoldCase(row.Text)});
  return phrases;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool IsWordByte(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::size_t SkipBlanks(std::string_view line, std::size_t at) {
  while (at < line.size() && IsBlank(line[at]))
    ++at;
  return at;
}

// The bytes of the line from `at` that the phrase matches, each of its blanks matching a
// run of them (EAC aligns its columns with blanks); 0 where it does not match, or ends
// inside a word ("Ne" is not the start of "Nejsou").
std::size_t Matched(std::string_view line, std::size_t at, std::string_view phrase) {
  std::size_t i = at;
  for (const char c : phrase) {
    if (IsBlank(c)) {
      if (i >= line.size() || !IsBlank(line[i]))
        return 0;
      i = SkipBlanks(line, i);
    } else if (i < line.size() && line[i] == c) {
      ++i;
    } else {
      return 0;
    }
  }
  if (i < line.size() && IsWordByte(phrase.back()) && IsWordByte(line[i]))
    return 0;
  return i - at;
}

struct TMatch {
  const TPhrase* Phrase = nullptr;
  std::size_t Length = 0;
};

// The longest of the phrases of a place that the folded line holds at `at`.
TMatch Longest(std::string_view folded, std::size_t at, std::span<const TPhrase> phrases,
               EPlace place) {
  TMatch best;
  for (const TPhrase& phrase : phrases)
    if (PlaceOf(phrase.Key) == place &&
        (!best.Phrase || phrase.Folded.size() > best.Phrase->Folded.size()))
      if (const std::size_t length = Matched(folded, at, phrase.Folded))
        best = {&phrase, length};
  return best;
}

std::string_view EnglishOf(const TMatch& match) {
  return English[static_cast<std::size_t>(match.Phrase->Key)];
}

// The line folded for matching; as written where folding changes its length, so that
// offsets into one are offsets into the other.
std::string FoldedLine(std::string_view line) {
  std::string folded = FoldCase(line);
  return folded.size() == line.size() ? folded : std::string(line);
}

// After a track's label: its number kept, the summary's verdict that may follow in
// English ("Трек  1  : извлечено точно (доверие 7)" as "Track  1  accurately ripped
// (confidence 7)", as an English log writes it).
std::string TrackRest(std::string_view line, std::string_view folded, std::size_t at,
                      std::span<const TPhrase> phrases) {
  std::size_t number = SkipBlanks(line, at);
  while (number < line.size() && line[number] >= '0' && line[number] <= '9')
    ++number;
  // Some translations hold the colon in the verdict (Russian's ": извлечено точно"),
  // others put it before.
  std::size_t verdict = SkipBlanks(line, number);
  TMatch match = Longest(folded, verdict, phrases, EPlace::AfterTrack);
  if (!match.Phrase && verdict < line.size() && line[verdict] == ':') {
    verdict = SkipBlanks(line, verdict + 1);
    match = Longest(folded, verdict, phrases, EPlace::AfterTrack);
  }
  if (number == at || !match.Phrase)
    return std::string(line.substr(at));
  return std::string(line.substr(at, number - at)) + "  " + std::string(EnglishOf(match)) +
         std::string(line.substr(verdict + match.Length));
}

// After a setting's label: its value in English where it is one of EAC's. A colon the
// translation holds of its own ("Modo de Lectura   :        : Seguro") is dropped.
std::string SettingRest(std::string_view line, std::string_view folded, std::size_t at,
                        std::span<const TPhrase> phrases) {
  const std::size_t colon = SkipBlanks(line, at);
  if (colon >= line.size() || line[colon] != ':')
    return std::string(line.substr(at));
  std::size_t value = colon;
  while (value < line.size() && (line[value] == ':' || IsBlank(line[value])))
    ++value;
  const TMatch match = Longest(folded, value, phrases, EPlace::Value);
  return std::string(line.substr(at, colon + 1 - at)) + " " +
         std::string(match.Phrase ? EnglishOf(match) : std::string_view()) +
         std::string(line.substr(value + match.Length));
}

std::string LineInEnglish(std::string_view line, std::span<const TPhrase> phrases) {
  const std::string folded = FoldedLine(line);
  const TMatch label = Longest(folded, 0, phrases, EPlace::Label);
  if (!label.Phrase)
    return std::string(line);
  const std::string rest = label.Phrase->Key == EEacString::Track
                               ? TrackRest(line, folded, label.Length, phrases)
                               : SettingRest(line, folded, label.Length, phrases);
  return std::string(EnglishOf(label)) + rest;
}

// The settings EAC writes come within its log's first lines.
constexpr std::size_t LinesToKnowTheLanguageBy = 100;

// How many of the first lines begin with one of the language's labels other than a
// track's (a word some languages share with English).
std::size_t LabelsOf(const std::vector<std::string>& folded, std::span<const TPhrase> phrases) {
  std::size_t labels = 0;
  for (const std::string& line : folded) {
    const TMatch match = Longest(line, 0, phrases, EPlace::Label);
    labels += match.Phrase && match.Phrase->Key != EEacString::Track;
  }
  return labels;
}

// The rows of the language whose labels begin the most lines, two at least.
std::span<const TTranslation> LanguageOf(const std::vector<std::string_view>& lines) {
  std::vector<std::string> folded;
  for (std::size_t i = 0; i < lines.size() && i < LinesToKnowTheLanguageBy; ++i)
    folded.push_back(FoldedLine(lines[i]));
  std::span<const TTranslation> best;
  std::size_t mostLabels = 1;
  const std::span<const TTranslation> rows = Translations;
  for (std::size_t start = 0, end = 0; start < rows.size(); start = end) {
    while (end < rows.size() && std::string_view(rows[end].Language) == rows[start].Language)
      ++end;
    const std::span<const TTranslation> language = rows.subspan(start, end - start);
    if (const std::size_t labels = LabelsOf(folded, PhrasesOf(language)); labels > mostLabels) {
      best = language;
      mostLabels = labels;
    }
  }
  return best;
}
} // namespace

std::optional<TEacLogInEnglish> EacLogInEnglish(const std::vector<std::string_view>& lines) {
  const std::span<const TTranslation> language = LanguageOf(lines);
  if (language.empty())
    return std::nullopt;
  const std::vector<TPhrase> phrases = PhrasesOf(language);
  TEacLogInEnglish english{.Language = language.front().Language, .Lines = {}};
  english.Lines.reserve(lines.size());
  for (const std::string_view line : lines)
    english.Lines.push_back(LineInEnglish(line, phrases));
  return english;
}
