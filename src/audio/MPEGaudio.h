// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Analysis of an MPEG audio stream: the first frame, its VBR header, and from them the
// bit rate, sample rate, channel mode, playing time and a guess at the encoder.
#include "audio/ID3v1.h"
#include "audio/ID3v2.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

struct TMPEGFrame {
  bool Present = false;
  std::int32_t Offset = 0; // within the block it was found in, not the file
  std::uint16_t Length = 0;
  bool ZeroAfterHeader = false;
  std::array<std::uint8_t, 4> HeaderBytes{};
  std::uint8_t VersionCode = 0; // 0 = MPEG 2.5, 1 = reserved, 2 = MPEG 2, 3 = MPEG 1
  std::uint8_t LayerCode = 0;   // 0 = reserved, 1 = Layer III, 2 = Layer II, 3 = Layer I
  bool CrcProtected = false;
  std::uint16_t BitRateIndex = 0;
  std::uint16_t SampleRateIndex = 0;
  bool Padded = false;
  bool PrivateBit = false;
  std::uint8_t ChannelMode = 0; // 0 stereo, 1 joint, 2 dual, 3 mono, 4 unknown
  std::uint8_t ModeExtension = 0;
  bool Copyrighted = false;
  bool Original = false;
  std::uint8_t EmphasisCode = 0;
};

struct TVBRHeader {
  bool Present = false;
  std::array<char, 4> Kind{}; // "Xing" or "VBRI"
  std::int32_t FrameCount = 0;
  std::int32_t ByteCount = 0;
  std::uint8_t Quality = 0;
  std::string EncoderTag;
};

namespace mpeg {
inline constexpr std::size_t BlockSize = 3458;
// The last offset at which a frame may start within a block.
inline constexpr std::size_t LastCandidate = BlockSize - 1729;

bool HeaderIsValid(std::span<const std::uint8_t, 4> bytes);
TMPEGFrame ParseHeader(std::span<const std::uint8_t, 4> bytes);
std::uint16_t TableBitRate(const TMPEGFrame& frame);
std::uint16_t TableSampleRate(const TMPEGFrame& frame);
std::uint16_t FrameLengthOf(const TMPEGFrame& frame);
std::uint32_t SamplesPerFrame(const TMPEGFrame& frame);
std::uint32_t PaddingSize(const TMPEGFrame& frame);
std::size_t VBRHeaderOffset(const TMPEGFrame& frame);

// The first confirmed frame of a block, with the VBR header it carries.
struct TScanResult {
  TMPEGFrame Frame;
  TVBRHeader VBRHeader;
  std::string LameSetting; // "-V2", "-b 320": see LameTag.h
};
TScanResult ScanForFrame(std::span<const std::uint8_t> block);
TVBRHeader ReadVBRHeader(std::span<const std::uint8_t> block, std::size_t frameStart,
                         const TMPEGFrame& frame);
// The encoder name near the end of a block, searched backwards within window bytes.
std::string ScanForVendor(std::span<const std::uint8_t> block, std::size_t window);
} // namespace mpeg

class TMPEGaudio {
public:
  TMPEGaudio() { Clear(); }

  bool Analyze(const std::string& fileName);
  bool Analyze(TReadOnlyFile& file);
  void Clear();

  std::int64_t FileBytes() const { return FFileBytes; }
  const TMPEGFrame& Frame() const { return FFrame; }
  const TVBRHeader& VBRHeader() const { return FVBRHeader; }
  const TID3v1& ID3v1Tag() const { return FID3v1Tag; }
  const TID3v2& ID3v2Tag() const { return FID3v2Tag; }

  bool IsVBR() const { return FVBRHeader.Present; }
  // A frame was confirmed: the file holds MPEG audio.
  bool HasAudio() const { return FFrame.Present; }
  std::uint16_t BitRate() const;
  std::uint16_t SampleRate() const;
  std::uint8_t ChannelMode() const { return FFrame.ChannelMode; }
  double Duration() const;
  std::uint8_t EncoderId() const;
  std::string EncoderText() const;
  // How LAME was set for the file ("-V2", "-b 320", "--abr 192"); "" when it does not say.
  const std::string& EncoderSetting() const { return FLameSetting; }

private:
  bool AnalyzeStream(TReadOnlyFile& file);

  std::int64_t FFileBytes = 0;
  std::string FTrailerVendor;
  std::string FLameSetting;
  TVBRHeader FVBRHeader;
  TMPEGFrame FFrame;
  TID3v1 FID3v1Tag;
  TID3v2 FID3v2Tag;
};
