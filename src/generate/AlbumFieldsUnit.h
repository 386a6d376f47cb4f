// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The decisions about the album fields, as plain functions over the
// track records: what Choose Tracks fills in and what a document receives.
#include "common/FileUnit.h"
#include "generate/AlbumUnit.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

inline constexpr const char* VariousArtistsText = "Various Artists";
inline constexpr const char* UnknownText = "Unknown";

// The window's texts as StoreAlbumFields copies them into the album record.
struct TAlbumFieldTexts {
  std::string Artist, AlbumTitle, Year, Genre, Source, RecordLabel, Encoder, Codec, BitRate;
  bool VBR = false;
  std::string SampleRate, BitsPerSample;
  int StereoMode = 0; // -1: none (a stream without MPEG's modes)
  std::string ID3Version, PostedBy;
  TDateTime PostDate = 0;
  std::string RippedBy;
  TDateTime RipDate = 0;
  const std::vector<std::string>* NewsGroups = nullptr;
};
// The texts into the record, field by field as the field table has them.
void StoreAlbumFields(TAlbumInfo& album, const TAlbumFieldTexts& texts);

// What FillAlbumFields finds in the tracks: the box texts it proposes (empty where the
// tracks name nothing) and what it decides of the album.
struct TAlbumDecision {
  TAlbumFieldTexts Proposed;
  bool VariousArtists = false;
  std::string Format;    // most read tracks' ("MP3", "FLAC"); empty when none was read
  bool Lossless = false; // most read tracks keep every sample (FLAC, ALAC)
  // The majority year as a number; a year that is not a number counts as a value no
  // other track shares.
  std::int32_t Year = 0;
  std::string PlayingTime;
  std::string TotalSize;
};

// artistCount: the number of distinct artists in the artist box's list.
TAlbumDecision DecideAlbumFields(const TAlbumInfo& album, std::size_t artistCount);

// More than one track and more distinct artists than 75% of the tracks (integer).
bool IsVariousArtists(std::size_t trackCount, std::size_t artistCount);

// The lists Choose Tracks builds from the tracks, each sorted and free of entries equal
// ignoring case: the artists of tagged tracks, the albums and the years.
struct TTrackLists {
  std::vector<std::string> Artists, Albums, Years;
};
void AddTrackToLists(TTrackLists& lists, const TTrackInfo& track);

// One step of Choose Tracks: the file's record joins the album, its lists and totals.
void AddTrackRecord(TAlbumInfo& album, TTrackLists& lists, const std::string& path,
                    std::unique_ptr<TTrackInfo> record);

// FillAlbumFields: the album's totals and flag, and the proposals put into the boxes as
// each field's row of the field table says (a majority, else the list's first entry;
// some boxes keep their text when the tracks name nothing).
void FillAlbumBoxes(TAlbumInfo& album, const TTrackLists& lists, TAlbumFieldTexts& boxes);

// The long names of the stereo modes, by radio index.
inline constexpr std::array<const char*, 4> StereoModeNames = {"Stereo", "Joint Stereo",
                                                               "Dual Channel", "Mono"};

// One listing line: "%2d. %s" with the title, the file name or the full path.
std::string TrackLine(std::size_t position, const TTrackEntry& track, bool useTagInfo,
                      bool hidePaths);
// "1 Track", "0 Tracks", "12 Tracks".
std::string TrackCountText(std::size_t count);

// Computes the checksums that tracks chosen without them lack, in listing order, and
// stops at a file that cannot be read, whose path it returns (its placeholder stays).
// progress(done, total) follows each track.
std::optional<std::string>
ComputeMissingChecksums(TAlbumInfo& album,
                        const std::function<void(std::size_t, std::size_t)>& progress);
