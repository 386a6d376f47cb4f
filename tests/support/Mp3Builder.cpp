// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/Mp3Builder.h"

#include <array>

namespace {
int StandardBitRate(const THeaderFields& s) {
  static constexpr std::array<std::array<int, 16>, 5> Rows = {{
      {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0}, // v1 L1
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},    // v1 L2
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},     // v1 L3
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},    // v2 L1
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},         // v2 L2/L3
  }};
  const bool v1 = s.Version == TMpegVersion::Mpeg1;
  int row = 4;
  if (v1)
    row = s.Layer == TLayer::Layer1 ? 0 : s.Layer == TLayer::Layer2 ? 1 : 2;
  else if (s.Layer == TLayer::Layer1)
    row = 3;
  return Rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(s.BitRateIndex)];
}

int StandardSampleRate(const THeaderFields& s) {
  static constexpr std::array<int, 3> Base = {44100, 48000, 32000};
  const int divisor = s.Version == TMpegVersion::Mpeg1   ? 1
                      : s.Version == TMpegVersion::Mpeg2 ? 2
                                                         : 4;
  return Base[static_cast<std::size_t>(s.SampleRateIndex)] / divisor;
}
} // namespace

TBytes FrameHeader(const THeaderFields& s) {
  TBytes h(4, '\0');
  h[0] = '\xFF';
  h[1] = static_cast<char>(0xE0 | (static_cast<int>(s.Version) << 3) |
                           (static_cast<int>(s.Layer) << 1) | (s.Crc ? 0 : 1));
  h[2] = static_cast<char>((s.BitRateIndex << 4) | (s.SampleRateIndex << 2) | (s.Padded ? 2 : 0));
  h[3] = static_cast<char>((s.Channel << 6) | (s.Copyrighted ? 8 : 0) | (s.Original ? 4 : 0) |
                           s.Emphasis);
  return h;
}

std::size_t StandardFrameLength(const THeaderFields& s) {
  const long long bits = StandardBitRate(s) * 1000LL;
  const long long rate = StandardSampleRate(s);
  if (s.Layer == TLayer::Layer1)
    return static_cast<std::size_t>((12 * bits / rate + (s.Padded ? 1 : 0)) * 4);
  const long long samples =
      s.Layer == TLayer::Layer3 && s.Version != TMpegVersion::Mpeg1 ? 576 : 1152;
  return static_cast<std::size_t>(samples / 8 * bits / rate + (s.Padded ? 1 : 0));
}

TBytes Frame(const THeaderFields& fields, char filler) {
  TBytes frame = FrameHeader(fields);
  frame.resize(StandardFrameLength(fields), filler);
  return frame;
}

TBytes Frames(const THeaderFields& fields, int count) {
  TBytes bytes;
  for (int i = 0; i < count; ++i)
    bytes += Frame(fields);
  return bytes;
}

TBytes BigEndian32(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

TBytes Synchsafe(std::uint32_t v) {
  return {static_cast<char>((v >> 21) & 0x7F), static_cast<char>((v >> 14) & 0x7F),
          static_cast<char>((v >> 7) & 0x7F), static_cast<char>(v & 0x7F)};
}

TBytes XingFrame(const THeaderFields& fields, std::size_t offset, std::int32_t frames,
                 std::int32_t bytes, std::string_view encoderTag, std::string_view id) {
  TBytes frame = Frame(fields, '\0');
  TBytes xing(id);
  xing += BigEndian32(15); // flags: frames, bytes, TOC, quality
  xing += BigEndian32(static_cast<std::uint32_t>(frames));
  xing += BigEndian32(static_cast<std::uint32_t>(bytes));
  xing.resize(120, '\0');
  xing += encoderTag;
  frame.replace(offset, xing.size(), xing);
  return frame;
}

TBytes VbriFrame(const THeaderFields& fields, std::size_t offset, std::int32_t frames,
                 std::int32_t bytes) {
  TBytes frame = Frame(fields, '\0');
  TBytes vbri("VBRI\x00\x01\x05\x39\x00\x4B", 10); // version 1, delay, quality 75
  vbri += BigEndian32(static_cast<std::uint32_t>(bytes));
  vbri += BigEndian32(static_cast<std::uint32_t>(frames));
  frame.replace(offset, vbri.size(), vbri);
  return frame;
}

TBytes Id3v1Tag(const TId3v1Fields& s) {
  auto field = [](const std::string& text, std::size_t width) {
    TBytes f = text.substr(0, width);
    f.resize(width, '\0');
    return f;
  };
  TBytes tag =
      "TAG" + field(s.Title, 30) + field(s.Artist, 30) + field(s.Album, 30) + field(s.Year, 4);
  if (s.Track < 0) {
    tag += field(s.Comment, 30);
  } else {
    tag += field(s.Comment, 28);
    tag += '\0';
    tag += static_cast<char>(s.Track);
  }
  tag += static_cast<char>(s.Genre);
  return tag;
}

TBytes Id3v2Frame(int major, std::string_view id, std::string_view data, int flags2,
                  bool plainSize) {
  TBytes frame(id);
  const auto size = static_cast<std::uint32_t>(data.size());
  if (major == 2) {
    frame += TBytes{static_cast<char>(size >> 16), static_cast<char>(size >> 8),
                    static_cast<char>(size)};
  } else {
    frame += major == 4 && !plainSize ? Synchsafe(size) : BigEndian32(size);
    frame += '\0';
    frame += static_cast<char>(flags2);
  }
  frame += data;
  return frame;
}

TBytes TextData(int encoding, std::string_view text) {
  return static_cast<char>(encoding) + TBytes(text);
}

TBytes Utf16Le(std::u16string_view text, bool bom) {
  TBytes bytes = bom ? TBytes("\xFF\xFE") : TBytes();
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

TBytes Utf16Be(std::u16string_view text, bool bom) {
  TBytes bytes = bom ? TBytes("\xFE\xFF") : TBytes();
  for (char16_t c : text) {
    bytes += static_cast<char>(c >> 8);
    bytes += static_cast<char>(c & 0xFF);
  }
  return bytes;
}

TBytes Id3v2Tag(int major, std::string_view body, std::size_t padding, int flags) {
  TBytes tag = "ID3";
  tag += static_cast<char>(major);
  tag += '\0';
  tag += static_cast<char>(flags);
  tag += Synchsafe(static_cast<std::uint32_t>(body.size() + padding));
  tag += body;
  tag.append(padding, '\0');
  return tag;
}
