// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/Mp4Audio.h"

#include "audio/Mp4Boxes.h"
#include "common/ByteReader.h"

#include <array>
#include <string_view>
#include <vector>

namespace {
using namespace mp4;

// The time the edit list plays, in the movie's timescale: its edits that show media (an
// empty edit, media time -1, only delays).
std::uint64_t EditedDuration(TBytes elst) {
  const TByteReader bytes(elst);
  const bool wide = bytes.U8(0) == 1;
  const std::size_t entry = wide ? 20 : 12;
  std::uint64_t total = 0;
  const std::uint32_t count = bytes.U32BE(4);
  for (std::size_t i = 0, at = 8; i < count && bytes.Has(at, entry); ++i, at += entry) {
    const std::uint64_t segment =
        wide ? (std::uint64_t{bytes.U32BE(at)} << 32) | bytes.U32BE(at + 4) : bytes.U32BE(at);
    const std::uint32_t mediaTime = bytes.U32BE(at + (wide ? 12 : 4));
    if (mediaTime != 0xFFFFFFFFu)
      total += segment;
  }
  return total;
}

// The samples' bytes the sample size box lists.
std::uint64_t SampleBytes(TBytes stsz) {
  const TByteReader bytes(stsz);
  const std::uint32_t size = bytes.U32BE(4), count = bytes.U32BE(8);
  if (size != 0)
    return std::uint64_t{size} * count;
  std::uint64_t total = 0;
  for (std::size_t i = 0, at = 12; i < count && bytes.Has(at, 4); ++i, at += 4)
    total += bytes.U32BE(at);
  return total;
}

// The channels the AAC stream's own configuration names (ISO 14496-3: object type, sampling
// frequency index, channel configuration); 0 where a program configuration element holds them.
int ConfiguredChannels(TBytes config) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < 8; ++i)
    bits = (bits << 8) | TByteReader(config).U8(i);
  int used = 5;
  if ((bits >> (64 - 5)) == 31)
    used += 6; // an escaped object type
  const auto frequency = static_cast<unsigned>((bits >> (64 - used - 4)) & 0xF);
  used += frequency == 15 ? 4 + 24 : 4; // an explicit frequency
  const auto configuration = static_cast<unsigned>((bits >> (64 - used - 4)) & 0xF);
  constexpr std::array<int, 16> Channels = {0, 1, 2, 3, 4, 5, 6, 8, 0, 0, 0, 7, 8, 0, 8, 0};
  return config.size() < 2 ? 0 : Channels[configuration];
}

// The AAC channels of the sound track's sample entry, from its esds box.
int AacChannels(mp4::TBytes stsd) {
  const auto entry = mp4::FirstSampleEntry(stsd);
  return entry ? ConfiguredChannels(mp4::AacConfiguration(*entry)) : 0;
}
} // namespace

std::optional<TMp4Audio> ReadMp4Audio(TReadOnlyFile& file) {
  const auto movie = MovieBox(file);
  if (!movie)
    return std::nullopt;
  const TBytes moov(*movie);
  const TTiming movieTiming = TimingOf(Child(moov, "mvhd"));
  const TBytes trak = SoundTrack(moov);
  if (trak.empty())
    return std::nullopt;
  TMp4Audio audio;
  const TTiming media = TimingOf(Path(trak, {"mdia", "mdhd"}));
  const std::uint64_t edited = EditedDuration(Path(trak, {"edts", "elst"}));
  if (media.Timescale > 0)
    audio.MediaDuration = audio.Duration = static_cast<double>(media.Duration) / media.Timescale;
  if (edited > 0 && movieTiming.Timescale > 0)
    audio.Duration = static_cast<double>(edited) / movieTiming.Timescale;
  const TBytes stbl = Path(trak, {"mdia", "minf", "stbl"});
  audio.AudioBytes = SampleBytes(Child(stbl, "stsz"));
  audio.Channels = AacChannels(Child(stbl, "stsd"));
  return audio;
}
