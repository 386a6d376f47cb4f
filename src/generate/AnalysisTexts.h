// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The measurements a document shows ($DR, $LOUDNESS, $ALBUM_GAIN; $TRACK_DR, $TRACK_GAIN,
// $TRACK_CUTOFF, $TRACK_QUALITY), measured once for the album when a template asks for them.
#include "common/Problem.h"
#include "generate/AlbumUnit.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct TAlbumAnalysis;
struct TTrackAnalysis;

// True when the template shows a measurement.
bool TemplateShowsAnalysis(std::string_view templateText);
// The album's tracks measured (unless they were already, the same tracks), with each
// file's checksum; false when progress said stop. A track that is not measured shows
// nothing. The dynamic range alone (a DR log's) is a tenth of the work.
bool MeasureAlbum(TAlbumInfo& album,
                  const std::function<bool(std::uint64_t done, std::uint64_t total)>& progress,
                  bool dynamicRangeOnly = false);

// The album's measurement when it measured the album's tracks as they are listed now (the
// whole measurement, or the dynamic range alone will do); nothing before.
const TAlbumAnalysis* MeasurementOfTheTracks(const TAlbumInfo& album, bool whole);
// The file checksums the measurement took of the tracks, given to those that lack one, so
// that a save reads each track once for both.
void TakeMeasuredChecksums(TAlbumInfo& album);

// "DR12", "-14.2 LUFS", "-3.8 dB"; "" before the album is measured.
std::string AlbumDrText(const TAlbumInfo& album);
std::string AlbumLoudnessText(const TAlbumInfo& album);
std::string AlbumGainText(const TAlbumInfo& album);
// A track's measurement; nothing before it is measured.
const TTrackAnalysis* TrackAnalysisOf(const TAlbumInfo& album, const std::string& path);
// "DR12", "-3.1 dB", "19.6 kHz" (with the transcode warning after it where the content
// stops as a lossy encoder's does); "" for a track not measured.
std::string TrackDrText(const TTrackAnalysis* track);
std::string TrackGainText(const TTrackAnalysis* track);
std::string TrackCutoffText(const TTrackAnalysis* track);

// The measured tracks whose content stops as a lossy encoder's does, each with where it
// stops: a lossless album made from MP3s is what a poster must hear of before posting it.
std::vector<TProblem> TranscodeNotes(const TAlbumInfo& album);
// "2 of 10 tracks possibly transcoded from a lossy source"; "" when none is, or nothing
// was measured.
std::string TranscodeSummary(const TAlbumInfo& album);
// The measured lossy tracks whose content stops at a lower rate's low-pass, each with its
// check ("320 kbps, content to 16.0 kHz: probably encoded from a lower-rate source (about 128
// kbps)"), and "3 of 10 tracks probably encoded from a lower-rate source"; "" when none is.
std::vector<TProblem> LowerRateNotes(const TAlbumInfo& album);
std::string LowerRateSummary(const TAlbumInfo& album);
// Both kinds of note, and both summaries in one line ("" when the measurement found neither):
// what the save and the window's strip say of the measured album.
std::vector<TProblem> MeasuredNotes(const TAlbumInfo& album);
std::string MeasuredWarning(const TAlbumInfo& album);
// The analysis kept for the album when it measured the album's tracks as they stand;
// false (nothing kept) when the tracks changed since.
bool KeepAnalysis(TAlbumInfo& album, std::shared_ptr<const TAlbumAnalysis> analysis);

// A lossy track's bit rate check ("320 kbps, content to 16.0 kHz: probably encoded from a
// lower-rate source (about 128 kbps)"); "" for a lossless track or one not measured.
std::string TrackQualityText(const TTrackAnalysis* track);
