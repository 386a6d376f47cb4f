// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/CueSheet.h"

#include "common/FileUnit.h"
#include "common/TextUnit.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace {
// No sheet holds more than 99 tracks, each a handful of lines: a text this long is no
// sheet, and reading stops there.
constexpr std::size_t MaximumLines = 20000;

// The next word of a line, or a quoted text (its quotes taken away).
std::string_view NextWord(std::string_view& line) {
  line = TrimControl(line);
  if (line.empty())
    return {};
  std::size_t end;
  std::string_view word;
  if (line.front() == '"') {
    end = line.find('"', 1);
    word = line.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1);
    end = end == std::string_view::npos ? line.size() : end + 1;
  } else {
    end = std::min(line.find_first_of(" \t"), line.size());
    word = line.substr(0, end);
  }
  line.remove_prefix(end);
  return word;
}

// "mm:ss:ff" as frames.
std::optional<std::int64_t> Frames(std::string_view time) {
  int parts[3] = {};
  for (int i = 0; i < 3; ++i) {
    const std::size_t end = i < 2 ? time.find(':') : time.size();
    if (end == std::string_view::npos)
      return std::nullopt;
    const auto [ptr, error] = std::from_chars(time.data(), time.data() + end, parts[i]);
    if (error != std::errc() || ptr != time.data() + end || parts[i] < 0)
      return std::nullopt;
    time.remove_prefix(std::min(time.size(), end + 1));
  }
  if (parts[1] > 59 || parts[2] >= CueFramesPerSecond || parts[0] > 9999)
    return std::nullopt;
  return (std::int64_t{parts[0]} * 60 + parts[1]) * CueFramesPerSecond + parts[2];
}

std::string Upper(std::string_view word) {
  std::string upper(word);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  return upper;
}

void TakeLine(std::string_view line, TCueSheet& sheet) {
  const std::string command = Upper(NextWord(line));
  TCueTrack* track = sheet.Files.empty() || sheet.Files.back().Tracks.empty()
                         ? nullptr
                         : &sheet.Files.back().Tracks.back();
  if (command == "FILE") {
    sheet.Files.push_back({std::string(NextWord(line)), {}});
  } else if (command == "TRACK" && !sheet.Files.empty()) {
    const std::string_view number = NextWord(line);
    TCueTrack next;
    std::from_chars(number.data(), number.data() + number.size(), next.Number);
    sheet.Files.back().Tracks.push_back(next);
  } else if (command == "INDEX" && track) {
    const std::string_view number = NextWord(line);
    if (number == "01" || number == "1")
      track->Start = Frames(NextWord(line));
  } else if (command == "TITLE" || command == "PERFORMER") {
    std::string& field = command == "TITLE" ? (track ? track->Title : sheet.Title)
                                            : (track ? track->Performer : sheet.Performer);
    field = NextWord(line);
  }
}

std::string Length(double seconds) {
  char text[32];
  const auto frames = static_cast<long long>(std::llround(seconds * CueFramesPerSecond));
  std::snprintf(text, sizeof text, "%lld:%02lld.%02lld", frames / (60 * CueFramesPerSecond),
                frames / CueFramesPerSecond % 60, frames % CueFramesPerSecond);
  return text;
}
} // namespace

std::size_t TCueSheet::TrackCount() const {
  std::size_t count = 0;
  for (const TCueFile& file : Files)
    count += file.Tracks.size();
  return count;
}

std::optional<TCueSheet> ReadCueSheet(std::string_view bytes) {
  const std::string text = TextFileToUtf8(bytes);
  TCueSheet sheet;
  std::string_view rest = text;
  for (std::size_t lines = 0; !rest.empty() && lines < MaximumLines; ++lines) {
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    TakeLine(rest.substr(0, end), sheet);
    rest.remove_prefix(std::min(rest.size(), end + 1));
  }
  if (sheet.Files.empty() || sheet.TrackCount() == 0)
    return std::nullopt;
  return sheet;
}

std::optional<std::string> ReadCueSheetFile(const std::string& path) {
  return ReadFileHead(path, 1 << 20);
}

bool TCueCheck::AllOk() const {
  return MissingFiles.empty() && UnsafeFiles.empty() && CountProblem.empty() &&
         std::all_of(Tracks.begin(), Tracks.end(), [](const TCueTrackCheck& t) { return t.Ok; });
}

namespace {
// An image's tracks are compared with the split tracks (the chosen ones, else those beside
// it), when they match in count; none otherwise.
std::vector<std::string> SplitTracks(const TCueSheet& sheet, const std::string& folder,
                                     const std::vector<std::string>* chosen, TCueCheck& check) {
  std::vector<std::string> split;
  if (sheet.Files.size() != 1)
    return split;
  for (const std::string& track :
       chosen ? *chosen : ExpandTrackFolders({folder.empty() ? "." : folder}))
    if (track.substr(track.rfind('/') + 1) != sheet.Files.front().Name)
      split.push_back(track);
  if (chosen && !split.empty() && split.size() != sheet.TrackCount())
    check.CountProblem = "the sheet has " + std::to_string(sheet.TrackCount()) + " tracks, " +
                         std::to_string(split.size()) + " are chosen";
  if (split.size() != sheet.TrackCount())
    split.clear();
  return split;
}

// How one FILE of the sheet was found.
struct TCueFileState {
  std::optional<double> Length;
  bool There = false;
  bool Unsafe = false;
};

// The index-th track of the file: its length by the sheet against the split track's
// (against) when there is one.
TCueTrackCheck CheckCueTrack(const TCueFile& file, std::size_t index, const TCueFileState& state,
                             std::optional<double> against, std::string splitName) {
  const TCueTrack& track = file.Tracks[index];
  TCueTrackCheck result{track.Number, file.Name, 0, 0, false, {}};
  const auto start = track.Start.value_or(0);
  const bool last = index + 1 == file.Tracks.size();
  if (!last && file.Tracks[index + 1].Start)
    result.CueSeconds =
        static_cast<double>(*file.Tracks[index + 1].Start - start) / CueFramesPerSecond;
  else if (last && state.Length)
    result.CueSeconds = *state.Length - static_cast<double>(start) / CueFramesPerSecond;
  if (!splitName.empty())
    result.File = std::move(splitName);
  if (!track.Start)
    result.Problem = "it has no INDEX 01";
  else if (result.CueSeconds <= 0 && state.Length)
    result.Problem = "its INDEX 01 lies past its file's end";
  else if (state.Unsafe)
    result.Problem = "its file lies outside the sheet's folder";
  else if (result.CueSeconds <= 0 && !state.There)
    result.Problem = "its file is missing or does not read";
  // A file there whose length this program does not read (a WAV image) leaves the
  // last track's length untold, not wrong.
  else if (against && result.CueSeconds > 0 &&
           std::fabs(*against - result.CueSeconds) > 1.0 / CueFramesPerSecond)
    result.Problem = "the sheet says " + Length(result.CueSeconds) + ", " + result.File + " is " +
                     Length(*against);
  result.FileSeconds = against.value_or(result.CueSeconds);
  result.Ok = result.Problem.empty();
  return result;
}
} // namespace

TCueCheck CheckCueSheet(const TCueSheet& sheet, const std::string& sheetPath,
                        const std::function<std::optional<double>(const std::string&)>& lengthOf,
                        const std::vector<std::string>* chosen) {
  TCueCheck check;
  const std::string folder = sheetPath.substr(0, sheetPath.rfind('/') + 1);
  const std::vector<std::string> split = SplitTracks(sheet, folder, chosen, check);
  std::size_t splitAt = 0;
  for (const TCueFile& file : sheet.Files) {
    TCueFileState state;
    state.There = FileInsideFolder(file.Name, folder, state.Unsafe).has_value();
    if (state.There)
      state.Length = lengthOf(folder + file.Name);
    if (state.Unsafe)
      check.UnsafeFiles.push_back(file.Name);
    else if (!state.There)
      check.MissingFiles.push_back(file.Name);
    for (std::size_t i = 0; i < file.Tracks.size(); ++i) {
      // A track alone in its file is as long as the file from its INDEX 01 on: only the
      // split tracks beside an image have lengths of their own to compare.
      std::optional<double> against;
      std::string splitName;
      if (!split.empty()) {
        splitName = split[splitAt].substr(split[splitAt].rfind('/') + 1);
        against = lengthOf(split[splitAt++]);
      }
      check.Tracks.push_back(CheckCueTrack(file, i, state, against, std::move(splitName)));
    }
  }
  return check;
}
