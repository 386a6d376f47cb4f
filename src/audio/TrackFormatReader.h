// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One reader a track format: whether a file's first bytes are of its kind, and the
// reading of such a file into the record. The record's Fill takes the reader of the kind
// the file's name says; adding a format adds its row to the track kinds, a row here and its
// own reader file.
#include "audio/TrackInfo.h"
#include "common/FileUnit.h"
#include "common/TrackKinds.h"

#include <array>
#include <cstdint>
#include <span>

enum class TTrackReadOutcome {
  Read,
  NotOpened,  // no stream of the kind was found in the file at all
  OtherKind,  // the first bytes are of another kind than the name says
  Unreadable, // the stream does not read (damaged, cut short)
};

struct TTrackFormatReader {
  TTrackKind Kind;
  // Whether the file's first bytes (head, at least 64 of them where the file has them)
  // are of this kind; nullptr: the reader judges the file as it reads it.
  bool (*Shows)(TReadOnlyFile& file, std::span<const std::uint8_t> head) = nullptr;
  // Fills the record's tag texts and stream properties; what was found is kept on a
  // failure.
  TTrackReadOutcome (*Read)(TReadOnlyFile& file, std::span<const std::uint8_t> head,
                            TTrackInfo& track) = nullptr;
};

// Each reader's own code, in its own file.
namespace reader {
TTrackReadOutcome ReadMp3(TReadOnlyFile& file, std::span<const std::uint8_t> head,
                          TTrackInfo& track);
bool ShowsFlac(TReadOnlyFile& file, std::span<const std::uint8_t> head);
TTrackReadOutcome ReadFlac(TReadOnlyFile& file, std::span<const std::uint8_t> head,
                           TTrackInfo& track);
bool ShowsVorbis(TReadOnlyFile& file, std::span<const std::uint8_t> head);
TTrackReadOutcome ReadVorbis(TReadOnlyFile& file, std::span<const std::uint8_t> head,
                             TTrackInfo& track);
bool ShowsOpus(TReadOnlyFile& file, std::span<const std::uint8_t> head);
TTrackReadOutcome ReadOpus(TReadOnlyFile& file, std::span<const std::uint8_t> head,
                           TTrackInfo& track);
bool ShowsM4a(TReadOnlyFile& file, std::span<const std::uint8_t> head);
TTrackReadOutcome ReadM4a(TReadOnlyFile& file, std::span<const std::uint8_t> head,
                          TTrackInfo& track);
} // namespace reader

// In the track kinds' order, one for each.
inline constexpr std::array TrackFormatReaders = {
    TTrackFormatReader{TTrackKind::MP3, nullptr, reader::ReadMp3},
    TTrackFormatReader{TTrackKind::FLAC, reader::ShowsFlac, reader::ReadFlac},
    TTrackFormatReader{TTrackKind::OggVorbis, reader::ShowsVorbis, reader::ReadVorbis},
    TTrackFormatReader{TTrackKind::Opus, reader::ShowsOpus, reader::ReadOpus},
    TTrackFormatReader{TTrackKind::M4A, reader::ShowsM4a, reader::ReadM4a},
};

constexpr bool EveryKindHasItsReader() {
  if (TrackFormatReaders.size() != TrackKinds.size())
    return false;
  for (std::size_t i = 0; i < TrackKinds.size(); ++i)
    if (TrackFormatReaders[i].Kind != TrackKinds[i].Kind)
      return false;
  return true;
}
static_assert(EveryKindHasItsReader(), "one reader for each track kind, in the kinds' order");

// Reads the file with the kind's reader once its first bytes show that kind.
TTrackReadOutcome ReadTrackOfKind(TReadOnlyFile& file, TTrackKind kind, TTrackInfo& track);
