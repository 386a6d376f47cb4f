// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The evidence an album is posted with, measured in one decode of each track on
// worker threads: dynamic range, peak and RMS, and EBU R128 loudness, per track and for
// the album, and what a rip log gives of each track.
#include "analysis/DynamicRange.h"
#include "analysis/FrequencyLevels.h"
#include "analysis/LossyQuality.h"
#include "analysis/Loudness.h"
#include "analysis/RipChecksums.h"
#include "common/FileUnit.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TTrackInfo;

struct TTrackAnalysis {
  std::string Path;
  std::string Problem; // why it was not measured; empty when it was
  double Seconds = 0;
  TDynamicRange Dr;
  std::optional<TLoudness> Loudness;
  TCutoff Cutoff; // LossyShape (of a lossless track): possibly transcoded from a lossy source
  // Of a lossy track: its cutoff against what its encoder keeps at its bit rate.
  std::optional<TLossyQuality> Quality;
  std::string Format;                        // "FLAC, 44.1 kHz, 16 bits, stereo"
  std::shared_ptr<const TSonogram> Sonogram; // when the hooks keep them
  // Of CD audio (16 bits, stereo): its CRCs and AccurateRip checksums, as rip logs give them.
  std::optional<TRipChecksums> RipSums;
  // The file's CRC-32 (an .sfv's), taken in the same reading, and the file as it was before.
  std::optional<std::uint32_t> FileCrc;
  std::optional<TFileStamp> Stamp;
  bool Measured() const { return Problem.empty(); }
};

struct TAlbumAnalysis {
  std::vector<TTrackAnalysis> Tracks; // in the order given
  std::optional<int> Dr;              // the tracks' mean, rounded, as the meters give it
  std::optional<TLoudness> Loudness;
  bool Cancelled = false;
  bool DynamicRangeOnly = false; // measured so: no loudness, no frequency levels
};

struct TAnalysisHooks {
  // The bytes read of all the tracks so far, and all there are: heard on the caller's
  // thread, a few times a second.
  std::function<void(std::uint64_t done, std::uint64_t total)> Progress;
  // Each track as it is done (in any order), with its index.
  std::function<void(std::size_t index, const TTrackAnalysis& track)> Measured;
  const std::atomic<bool>* Cancelled = nullptr;
  unsigned Threads = 0; // 0: one a processor
  // The dynamic range alone (a DR log): no loudness and no frequency levels, whose true
  // peak's oversampling costs most of the work.
  bool DynamicRangeOnly = false;
  // Each track's levels through time, for its picture.
  bool KeepSonograms = false;
  // Each file's CRC-32 taken in the same reading (for a save's .sfv).
  bool WithFileCrc = false;
  // The tracks' records when the caller has read them (or nullptr): a lossy track's stated
  // rate is taken from its record instead of its tags being read again.
  std::function<const TTrackInfo*(std::size_t index)> Records;
};

TAlbumAnalysis AnalyzeAlbum(const std::vector<std::string>& paths, const TAnalysisHooks& hooks);

// The words for a track whose content stops as a lossy encoder's does.
inline constexpr const char* TranscodeWarning = "possibly transcoded from a lossy source";

// The album's bit rate check: "2 of 12 tracks: probably encoded from a lower-rate source
// (about 128 kbps)", or "every track's content reaches what its bit rate keeps"; empty when no
// track was checked (a lossless album).
std::string AlbumQualityText(const TAlbumAnalysis& album);

// The tracks' pictures side by side, each as wide as its share of the album's length, in
// a picture as wide as one track's: the album's picture. Nothing without a picture.
std::optional<TSonogram> AlbumSonogram(const TAlbumAnalysis& album);

// "01 - One.flac - FLAC, 44.1 kHz, 16 bits, stereo - 3:25": a track picture's caption.
std::string SonogramCaption(const TTrackAnalysis& track);

// "DR12": the value rounded as the meters show it.
std::string DrText(double value);
// A level to one decimal, as the meters print them ("-14.2").
std::string LevelText(double value);
// The album's line: "DR9, -14.2 LUFS, range 6.1 LU, true peak -0.3 dBTP, gain -3.8 dB";
// empty when no track was measured.
std::string AlbumAnalysisText(const TAlbumAnalysis& album);
