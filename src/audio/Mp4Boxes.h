// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The walk of an MP4 file's boxes that its audio's facts and its sample table share: the
// movie box read whole within bounds, a box's children by type, the sound track, its sample
// entry and the decoder configuration in it. Every read is bounds-checked; a box that runs
// past its parent ends the walk.
#include "common/FileUnit.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace mp4 {
using TBytes = std::span<const std::uint8_t>;

// A box's body within its parent, by its type; empty when it is not there.
TBytes Child(TBytes parent, std::string_view type);
TBytes Path(TBytes from, std::initializer_list<std::string_view> types);

// A full box's timescale and duration (mvhd, mdhd), by its version.
struct TTiming {
  std::uint32_t Timescale = 0;
  std::uint64_t Duration = 0;
};
TTiming TimingOf(TBytes box);

// The movie box's bytes, read whole when it is within bounds.
std::optional<std::vector<std::uint8_t>> MovieBox(TReadOnlyFile& file);
// The first track whose handler is "soun"; empty without one.
TBytes SoundTrack(TBytes moov);

// The sample description's first entry: its type ("mp4a", "alac") and its body, whose
// children start after the sound fields (Children).
struct TSampleEntry {
  std::string_view Type;
  TBytes Body;
  TBytes Children;
};
std::optional<TSampleEntry> FirstSampleEntry(TBytes stsd);
// An "mp4a" entry's decoder configuration (the AAC stream's setup bytes) from its esds box.
TBytes AacConfiguration(const TSampleEntry& entry);
} // namespace mp4
