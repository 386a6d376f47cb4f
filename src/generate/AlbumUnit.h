// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The album record: everything the generators need to write a document.
#include "audio/TrackInfo.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct TTrackEntry {
  std::string Path; // the full path of the track file
  std::unique_ptr<TTrackInfo> Info;
};

// One of the album's other files: beside its tracks, neither a track nor a document of
// the release (a cover, the CUE sheet, the rip log).
struct TExtraFile {
  std::string Path;
  std::uint64_t Size = 0;
  std::string Checksum;                    // "1A2B3C4D" once a document that lists it computed it
  std::optional<TFileStamp> ChecksumStamp; // the file as it was then
};

struct TAlbumAnalysis;

class TAlbumInfo {
public:
  void SetArtist(const std::string& artist);
  void SetAlbumTitle(const std::string& albumTitle);
  const std::string& Artist() const { return FArtist; }
  const std::string& AlbumTitle() const { return FAlbumTitle; }
  // The name proposed when the document is saved, rebuilt by both setters.
  const std::string& DefaultFileName() const { return FDefaultFileName; }

  std::int32_t TrackCount() const { return static_cast<std::int32_t>(Tracks.size()); }
  // The greatest length, in characters, of the tracks' duration texts.
  std::int32_t LongestDurationLength() const;

  std::string FileName;
  bool VariousArtists = false;
  // The format most of the read tracks have ("MP3", "FLAC"), and whether most keep every
  // sample, as Fill Album Fields found them; they choose the template pair.
  std::string Format;
  bool Lossless = false;
  std::string Year;
  std::string RecordLabel;
  std::string Genre;
  std::string Source;
  std::string Encoder;
  std::string Codec;
  std::string BitRate;
  std::string SampleRate;
  std::string BitsPerSample;
  std::string StereoMode;
  std::string Quality;
  std::string ID3Version;
  std::string PostedBy;
  std::string PostDate;
  std::string RippedBy;
  std::string RipDate;
  // The chosen newsgroups, owned by the album session; unset until it fills the record.
  const std::vector<std::string>* NewsGroups = nullptr;
  std::vector<TTrackEntry> Tracks;
  std::vector<TExtraFile> Extras; // listed after the tracks, where the face chose them
  // The tracks' dynamic range, loudness and frequency content, once a document that shows
  // them had them measured (each track found by its path).
  std::shared_ptr<const TAlbumAnalysis> Analysis;
  double PlayingSeconds = 0;
  std::string PlayingTime;
  std::int64_t TotalBytes = 0;
  std::string TotalSize;

private:
  void RebuildDefaultFileName();

  std::string FArtist;
  std::string FAlbumTitle;
  std::string FDefaultFileName = ".nfo";
};

// The longest name a file system takes, in bytes.
inline constexpr std::size_t MaxFileNameBytes = 255;

// The default document name for an artist and album title: "Artist - Title.nfo", without
// control characters, cut to fit MaxFileNameBytes.
std::string DefaultNfoFileName(const std::string& artist, const std::string& albumTitle);
