// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What an MP4 file's own boxes say of its audio track where TagLib's properties fall
// short: how long the track plays (the edit list leaves out an AAC encoder's priming
// samples), how many bytes its samples take (not the cover or the tags), and the channels
// the AAC stream's configuration names (the sample entry says 2 whatever the stream).
#include "common/FileUnit.h"

#include <cstdint>
#include <optional>

struct TMp4Audio {
  double Duration = 0;          // seconds played; 0 when the boxes do not say
  double MediaDuration = 0;     // seconds the samples hold, the priming ones too
  std::uint64_t AudioBytes = 0; // the sample table's bytes; 0 when it has none
  int Channels = 0;             // from the AAC configuration; 0 when it does not say
};

// A movie box larger than this is not read (no album track's comes near: an hour of AAC
// lists about 160,000 samples, 640 KB).
inline constexpr std::int64_t MaximumMovieBytes = 32 << 20;

// The first sound track's facts; nothing when the file has no movie box within bounds or
// no sound track.
std::optional<TMp4Audio> ReadMp4Audio(TReadOnlyFile& file);
