// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/Mp4Audio.h"

#include "audio/Mp4Atoms.h"
#include "common/ByteReader.h"

#include <array>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace {
using TBytes = std::span<const std::uint8_t>;

// A box's body within its parent, by its type; empty when it is not there. A box whose
// size runs past its parent ends the walk.
TBytes Child(TBytes parent, std::string_view type) {
  const TByteReader bytes(parent);
  std::size_t at = 0;
  while (bytes.Has(at, 8)) {
    std::uint64_t size = bytes.U32BE(at);
    std::size_t header = 8;
    if (size == 1) {
      size = (std::uint64_t{bytes.U32BE(at + 8)} << 32) | bytes.U32BE(at + 12);
      header = 16;
    } else if (size == 0) {
      size = parent.size() - at;
    }
    if (size < header || size > parent.size() - at)
      return {};
    if (bytes.Matches(at + 4, type))
      return bytes.Sub(at + header, static_cast<std::size_t>(size) - header);
    at += static_cast<std::size_t>(size);
  }
  return {};
}

TBytes Path(TBytes from, std::initializer_list<std::string_view> types) {
  for (const std::string_view type : types)
    from = Child(from, type);
  return from;
}

// A full box's timescale and duration (mvhd, mdhd), by its version.
struct TTiming {
  std::uint32_t Timescale = 0;
  std::uint64_t Duration = 0;
};
TTiming TimingOf(TBytes box) {
  const TByteReader bytes(box);
  if (bytes.U8(0) == 1)
    return {bytes.U32BE(20), (std::uint64_t{bytes.U32BE(24)} << 32) | bytes.U32BE(28)};
  return {bytes.U32BE(12), bytes.U32BE(16)};
}

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

// An MPEG-4 descriptor: its tag, then a length of up to four 7-bit groups.
struct TDescriptor {
  std::uint8_t Tag = 0;
  TBytes Body;
  std::size_t End = 0;
};
std::optional<TDescriptor> DescriptorAt(TBytes from, std::size_t at) {
  const TByteReader bytes(from);
  TDescriptor descriptor{bytes.U8(at), {}, 0};
  std::size_t length = 0, i = at + 1;
  for (int n = 0; n < 4; ++n, ++i) {
    if (!bytes.Has(i, 1))
      return std::nullopt;
    length = (length << 7) | (bytes.U8(i) & 0x7Fu);
    if ((bytes.U8(i) & 0x80u) == 0) {
      ++i;
      break;
    }
  }
  if (!bytes.Has(i, length))
    return std::nullopt;
  descriptor.Body = bytes.Sub(i, length);
  descriptor.End = i + length;
  return descriptor;
}

// The descriptor of the tag among those in from (at its start, or after a few fixed bytes).
std::optional<TDescriptor> Find(TBytes from, std::size_t at, std::uint8_t tag) {
  while (auto descriptor = DescriptorAt(from, at)) {
    if (descriptor->Tag == tag)
      return descriptor;
    at = descriptor->End;
  }
  return std::nullopt;
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

// The AAC channels of a sound sample entry ("mp4a"), from its esds box.
int AacChannels(TBytes stsd) {
  const TByteReader bytes(stsd);
  constexpr std::size_t FirstEntry = 8; // version, flags and the entry count
  if (!bytes.Matches(FirstEntry + 4, "mp4a"))
    return 0;
  const TBytes entry = bytes.Sub(FirstEntry + 8, bytes.U32BE(FirstEntry) - 8);
  // A sound entry's fields take 28 bytes; QuickTime's versions 1 and 2 add 16 and 36.
  constexpr std::array<std::size_t, 3> Fields = {28, 44, 64};
  const std::uint32_t version = TByteReader(entry).U16BE(8);
  if (version > 2)
    return 0;
  const TBytes esds = Child(TByteReader(entry).Sub(Fields[version], entry.size()), "esds");
  const auto stream = Find(esds, 4, 0x03);
  if (!stream)
    return 0;
  const TByteReader es(stream->Body);
  const std::uint8_t flags = es.U8(2);
  std::size_t at = 3;
  if (flags & 0x80u)
    at += 2; // depends on another stream
  if (flags & 0x40u)
    at += 1 + es.U8(at); // a URL
  if (flags & 0x20u)
    at += 2; // an OCR stream
  const auto decoder = Find(stream->Body, at, 0x04);
  if (!decoder)
    return 0;
  const auto configuration = Find(decoder->Body, 13, 0x05); // after the decoder's fixed fields
  return configuration ? ConfiguredChannels(configuration->Body) : 0;
}

// The movie box's bytes, read whole when it is within bounds.
std::optional<std::vector<std::uint8_t>> MovieBox(TReadOnlyFile& file) {
  std::int64_t at = 0;
  for (int atoms = 0; atoms < MaximumAtoms && at + 8 <= file.Size(); ++atoms) {
    std::array<std::uint8_t, 16> header{};
    const TByteReader bytes(std::span(header.data(), file.ReadAt(at, header).value_or(0)));
    std::uint64_t size = bytes.U32BE(0);
    std::int64_t body = 8;
    if (size == 1) {
      size = (std::uint64_t{bytes.U32BE(8)} << 32) | bytes.U32BE(12);
      body = 16;
    } else if (size == 0) {
      size = static_cast<std::uint64_t>(file.Size() - at);
    }
    if (size < static_cast<std::uint64_t>(body) ||
        size > static_cast<std::uint64_t>(file.Size() - at))
      return std::nullopt;
    if (bytes.Matches(4, "moov")) {
      if (static_cast<std::int64_t>(size) - body > MaximumMovieBytes)
        return std::nullopt;
      std::vector<std::uint8_t> movie(static_cast<std::size_t>(size) - body);
      if (!file.ReadExactly(at + body, movie))
        return std::nullopt;
      return movie;
    }
    at += static_cast<std::int64_t>(size);
  }
  return std::nullopt;
}
} // namespace

std::optional<TMp4Audio> ReadMp4Audio(TReadOnlyFile& file) {
  const auto movie = MovieBox(file);
  if (!movie)
    return std::nullopt;
  const TBytes moov(*movie);
  const TTiming movieTiming = TimingOf(Child(moov, "mvhd"));
  // The sound track: the first whose handler is "soun".
  for (TBytes rest = moov; !rest.empty();) {
    const TBytes trak = Child(rest, "trak");
    if (trak.empty())
      return std::nullopt;
    rest = rest.subspan(static_cast<std::size_t>(trak.data() + trak.size() - rest.data()));
    if (!TByteReader(Path(trak, {"mdia", "hdlr"})).Matches(8, "soun"))
      continue;
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
  return std::nullopt;
}
