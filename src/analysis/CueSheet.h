// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A CUE sheet (as EAC, XLD and CUETools write it): the files it names and their tracks
// with their INDEX points, PERFORMER and TITLE; and its check against the files beside it.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int CueFramesPerSecond = 75;

struct TCueTrack {
  int Number = 0;
  std::string Title, Performer;
  std::optional<std::int64_t> Start; // INDEX 01, in frames from the file's start
};

struct TCueFile {
  std::string Name; // as written: relative to the sheet's folder
  std::vector<TCueTrack> Tracks;
};

struct TCueSheet {
  std::string Title, Performer;
  std::vector<TCueFile> Files;
  std::size_t TrackCount() const;
};

// The sheet of the text (UTF-8, with or without a byte-order mark, else Windows-1252);
// nothing for text that names no FILE or no TRACK. Unknown commands are passed over.
std::optional<TCueSheet> ReadCueSheet(std::string_view text);

// A sheet file's text, its first MiB at most (a sheet of 99 tracks is a few KB); nothing
// when it cannot be opened.
std::optional<std::string> ReadCueSheetFile(const std::string& path);

// What the check found of one track: its length by the sheet and by the file that holds it.
struct TCueTrackCheck {
  int Number = 0;
  std::string File;      // the file the length was compared with
  double CueSeconds = 0; // 0 when the sheet cannot tell (its file is missing)
  double FileSeconds = 0;
  bool Ok = false;
  std::string Problem; // what disagrees, for a track that is not OK
};

struct TCueCheck {
  std::vector<std::string> MissingFiles;
  std::vector<std::string> UnsafeFiles; // names leading outside the sheet's folder: not read
  std::string CountProblem;             // "the sheet has 12 tracks, 11 are chosen"
  std::vector<TCueTrackCheck> Tracks;
  bool AllOk() const;
};

// Every FILE beside the sheet (a name that leads outside its folder, by ".." or a link, is
// never opened); each track's length (from its INDEX 01 to the next, or to
// its file's end) against the file it is in, or, for a sheet of one image whose folder
// holds as many track files as it has tracks, against those tracks in name order; within
// a frame. Track lengths come from lengthOf (the track record's duration); nothing when
// the file does not read.
// With chosen (an album's tracks, in its order), an image's tracks are compared with those
// instead, and a count that differs is the check's finding (CountProblem).
TCueCheck CheckCueSheet(const TCueSheet& sheet, const std::string& sheetPath,
                        const std::function<std::optional<double>(const std::string&)>& lengthOf,
                        const std::vector<std::string>* chosen = nullptr);
