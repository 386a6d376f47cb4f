// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small builders for the bytes of test streams: frame headers, whole frames, Xing and
// VBRI headers, ID3v1 and ID3v2 tags.
#include <cstdint>
#include <string>
#include <string_view>

using TBytes = std::string;

enum class TMpegVersion { Mpeg25 = 0, Mpeg2 = 2, Mpeg1 = 3 };
enum class TLayer { Layer3 = 1, Layer2 = 2, Layer1 = 3 };
enum TChannel { Stereo = 0, JointStereo = 1, DualChannel = 2, Mono = 3 };

struct THeaderFields {
  TMpegVersion Version = TMpegVersion::Mpeg1;
  TLayer Layer = TLayer::Layer3;
  int BitRateIndex = 9; // 128 kbit/s for MPEG-1 Layer III
  int SampleRateIndex = 0;
  bool Padded = false;
  bool Crc = false;
  TChannel Channel = JointStereo;
  bool Copyrighted = false;
  bool Original = false;
  int Emphasis = 0;
};

TBytes FrameHeader(const THeaderFields& fields);
// The standard frame length of the header (bit rate and sample rate from the standard).
std::size_t StandardFrameLength(const THeaderFields& fields);
// One whole frame: the header, then filler bytes.
TBytes Frame(const THeaderFields& fields, char filler = '\x55');
TBytes Frames(const THeaderFields& fields, int count);
// A first frame carrying a Xing (or "Info") header at the given offset.
TBytes XingFrame(const THeaderFields& fields, std::size_t offset, std::int32_t frames,
                 std::int32_t bytes, std::string_view encoderTag = "",
                 std::string_view id = "Xing");
TBytes VbriFrame(const THeaderFields& fields, std::size_t offset, std::int32_t frames,
                 std::int32_t bytes);

struct TId3v1Fields {
  std::string Title{}, Artist{}, Album{}, Year{}, Comment{};
  int Track = -1; // -1: version 1.0 (the comment fills 30 bytes)
  int Genre = 255;
};
TBytes Id3v1Tag(const TId3v1Fields& fields);

// An ID3v2 frame; the size is written as the version writes it (synchsafe for 2.4
// unless plainSize).
TBytes Id3v2Frame(int major, std::string_view id, std::string_view data, int flags2 = 0,
                  bool plainSize = false);
// Text frame data: the encoding byte, then the text bytes as given.
TBytes TextData(int encoding, std::string_view text);
TBytes Utf16Le(std::u16string_view text, bool bom = true);
TBytes Utf16Be(std::u16string_view text, bool bom = false);
// A whole tag: header, body (frames), padding.
TBytes Id3v2Tag(int major, std::string_view body, std::size_t padding = 0, int flags = 0);
TBytes Synchsafe(std::uint32_t value);
TBytes BigEndian32(std::uint32_t value);
