// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/Mp4Boxes.h"

#include "audio/Mp4Atoms.h"
#include "audio/Mp4Audio.h"
#include "common/ByteReader.h"

#include <array>

namespace mp4 {
namespace {
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
} // namespace

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

TTiming TimingOf(TBytes box) {
  const TByteReader bytes(box);
  if (bytes.U8(0) == 1)
    return {bytes.U32BE(20), (std::uint64_t{bytes.U32BE(24)} << 32) | bytes.U32BE(28)};
  return {bytes.U32BE(12), bytes.U32BE(16)};
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

TBytes SoundTrack(TBytes moov) {
  for (TBytes rest = moov; !rest.empty();) {
    const TBytes trak = Child(rest, "trak");
    if (trak.empty())
      return {};
    rest = rest.subspan(static_cast<std::size_t>(trak.data() + trak.size() - rest.data()));
    if (TByteReader(Path(trak, {"mdia", "hdlr"})).Matches(8, "soun"))
      return trak;
  }
  return {};
}

std::optional<TSampleEntry> FirstSampleEntry(TBytes stsd) {
  const TByteReader bytes(stsd);
  constexpr std::size_t FirstEntry = 8; // version, flags and the entry count
  const std::uint32_t size = bytes.U32BE(FirstEntry);
  if (size < 8 || !bytes.Has(FirstEntry, size))
    return std::nullopt;
  const TBytes entry = bytes.Sub(FirstEntry + 8, size - 8);
  // A sound entry's fields take 28 bytes; QuickTime's versions 1 and 2 add 16 and 36.
  constexpr std::array<std::size_t, 3> Fields = {28, 44, 64};
  const std::uint32_t version = TByteReader(entry).U16BE(8);
  if (version > 2 || entry.size() < Fields[version])
    return std::nullopt;
  return TSampleEntry{
      std::string_view(reinterpret_cast<const char*>(stsd.data()) + FirstEntry + 4, 4), entry,
      entry.subspan(Fields[version])};
}

TBytes AacConfiguration(const TSampleEntry& entry) {
  if (entry.Type != "mp4a")
    return {};
  const TBytes esds = Child(entry.Children, "esds");
  const auto stream = Find(esds, 4, 0x03);
  if (!stream)
    return {};
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
    return {};
  const auto configuration = Find(decoder->Body, 13, 0x05); // after the decoder's fixed fields
  return configuration ? configuration->Body : TBytes{};
}
} // namespace mp4
