// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/MPEGaudio.h"

#include "audio/LameTag.h"
#include "common/ByteReader.h"
#include "common/FileUnit.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace mpeg {
namespace {
constexpr std::uint8_t MPEG1 = 3; // 0 is MPEG 2.5, 2 MPEG 2
constexpr std::uint8_t Layer3 = 1, Layer2 = 2, Layer1 = 3;
constexpr std::uint8_t Mono = 3;

using TRateRow = std::array<std::uint16_t, 16>;
constexpr TRateRow NoRates{};
constexpr TRateRow Mpeg1Layer1 = {0,   32,  64,  96,  128, 160, 192, 224,
                                  256, 288, 320, 352, 384, 416, 448, 0};
constexpr TRateRow Mpeg1Layer2 = {0,   32,  48,  56,  64,  80,  96,  112,
                                  128, 160, 192, 224, 256, 320, 384, 0};
constexpr TRateRow Mpeg1Layer3 = {0,   32,  40,  48,  56,  64,  80,  96,
                                  112, 128, 160, 192, 224, 256, 320, 0};
constexpr TRateRow Mpeg2Layer1 = {0,   32,  48,  56,  64,  80,  96,  112,
                                  128, 144, 160, 176, 192, 224, 256, 0};
constexpr TRateRow Mpeg2Layer23 = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};

// [version][layer][index]; MPEG 2.5 shares the MPEG 2 rows.
constexpr std::array<std::array<TRateRow, 4>, 4> BitRates = {{
    {NoRates, Mpeg2Layer23, Mpeg2Layer23, Mpeg2Layer1},
    {NoRates, NoRates, NoRates, NoRates},
    {NoRates, Mpeg2Layer23, Mpeg2Layer23, Mpeg2Layer1},
    {NoRates, Mpeg1Layer3, Mpeg1Layer2, Mpeg1Layer1},
}};

constexpr std::array<std::array<std::uint16_t, 4>, 4> SampleRates = {{
    {11025, 12000, 8000, 0},
    {0, 0, 0, 0},
    {22050, 24000, 16000, 0},
    {44100, 48000, 32000, 0},
}};

bool IsDigit(std::uint8_t c) {
  return c >= '0' && c <= '9';
}

// A version field of eight characters, with a ninth when it is a digit (LAME3.100).
std::string VersionField(const TByteReader& bytes, std::size_t at) {
  std::string text = bytes.Text(at, 8);
  if (bytes.Has(at + 8, 1) && IsDigit(bytes.U8(at + 8)))
    text += static_cast<char>(bytes.U8(at + 8));
  return text;
}
} // namespace

bool HeaderIsValid(std::span<const std::uint8_t, 4> b) {
  const int version = (b[1] >> 3) & 3;
  const int layer = (b[1] >> 1) & 3;
  const int bitRateIndex = b[2] >> 4;
  const int sampleRateIndex = (b[2] >> 2) & 3;
  return b[0] == 255 && (b[1] & 0xE0) == 0xE0 && version != 1 && layer != 0 && bitRateIndex != 0 &&
         bitRateIndex != 15 && sampleRateIndex != 3 && (b[3] & 3) != 2;
}

TMPEGFrame ParseHeader(std::span<const std::uint8_t, 4> b) {
  TMPEGFrame frame;
  std::copy(b.begin(), b.end(), frame.HeaderBytes.begin());
  frame.VersionCode = (b[1] >> 3) & 3;
  frame.LayerCode = (b[1] >> 1) & 3;
  frame.CrcProtected = (b[1] & 1) == 0;
  frame.BitRateIndex = b[2] >> 4;
  frame.SampleRateIndex = (b[2] >> 2) & 3;
  frame.Padded = (b[2] & 2) != 0;
  frame.PrivateBit = (b[2] & 1) != 0;
  frame.ChannelMode = b[3] >> 6;
  frame.ModeExtension = (b[3] >> 4) & 3;
  frame.Copyrighted = (b[3] & 8) != 0;
  frame.Original = (b[3] & 4) != 0;
  frame.EmphasisCode = b[3] & 3;
  return frame;
}

std::uint16_t TableBitRate(const TMPEGFrame& f) {
  return BitRates[f.VersionCode & 3][f.LayerCode & 3][f.BitRateIndex & 15];
}

std::uint16_t TableSampleRate(const TMPEGFrame& f) {
  return SampleRates[f.VersionCode & 3][f.SampleRateIndex & 3];
}

std::uint32_t SamplesPerFrame(const TMPEGFrame& f) {
  switch (f.LayerCode) {
  case Layer1:
    return 384;
  case Layer2:
    return 1152;
  case Layer3:
    return f.VersionCode == MPEG1 ? 1152 : 576;
  default:
    return 0;
  }
}

std::uint32_t PaddingSize(const TMPEGFrame& f) {
  if (!f.Padded)
    return 0;
  return f.LayerCode == Layer1 ? 4 : 1;
}

std::uint16_t FrameLengthOf(const TMPEGFrame& f) {
  const std::uint64_t rate = TableSampleRate(f);
  if (rate == 0)
    return 0;
  const std::uint64_t bits = std::uint64_t{TableBitRate(f)} * 1000;
  // Layer I counts in four-byte slots.
  if (f.LayerCode == Layer1)
    return static_cast<std::uint16_t>((12 * bits / rate + (f.Padded ? 1 : 0)) * 4);
  const std::uint64_t coefficient = SamplesPerFrame(f) / 8;
  return static_cast<std::uint16_t>(coefficient * bits / rate + PaddingSize(f));
}

std::size_t VBRHeaderOffset(const TMPEGFrame& f) {
  if (f.VersionCode == MPEG1)
    return f.ChannelMode == Mono ? 21 : 36;
  return f.ChannelMode == Mono ? 13 : 21;
}

TVBRHeader ReadVBRHeader(std::span<const std::uint8_t> block, std::size_t frameStart,
                         const TMPEGFrame& frame) {
  // The Fraunhofer encoder always writes its VBRI header at 36, whatever the mode.
  constexpr std::size_t VbriOffset = 36;
  const TByteReader bytes(block);
  TVBRHeader header;
  const std::size_t xing = frameStart + VBRHeaderOffset(frame);
  const std::size_t vbri = frameStart + VbriOffset;
  if (bytes.Matches(xing, "Xing")) {
    header.Present = true;
    header.Kind = {'X', 'i', 'n', 'g'};
    header.FrameCount = static_cast<std::int32_t>(bytes.U32BE(xing + 8));
    header.ByteCount = static_cast<std::int32_t>(bytes.U32BE(xing + 12));
    header.Quality = bytes.U8(xing + 119);
    header.EncoderTag = VersionField(bytes, xing + 120);
  } else if (bytes.Matches(vbri, "VBRI")) {
    header.Present = true;
    header.Kind = {'V', 'B', 'R', 'I'};
    header.Quality = bytes.U8(vbri + 9);
    header.ByteCount = static_cast<std::int32_t>(bytes.U32BE(vbri + 10));
    header.FrameCount = static_cast<std::int32_t>(bytes.U32BE(vbri + 14));
  }
  return header;
}

TScanResult ScanForFrame(std::span<const std::uint8_t> block) {
  TScanResult result;
  for (std::size_t i = 0; i <= LastCandidate && i + 4 <= block.size(); ++i) {
    const auto window = block.subspan(i).first<4>();
    if (!HeaderIsValid(window))
      continue;
    result.Frame = ParseHeader(window);
    const std::size_t length = FrameLengthOf(result.Frame);
    const std::size_t next = i + length;
    if (next + 4 > block.size() || !HeaderIsValid(block.subspan(next).first<4>()))
      continue;
    TMPEGFrame& frame = result.Frame;
    frame.Present = true;
    frame.Offset = static_cast<std::int32_t>(i);
    frame.Length = static_cast<std::uint16_t>(length);
    const auto after = TByteReader(block).Sub(i + 4, 6);
    frame.ZeroAfterHeader =
        after.size() == 6 && std::all_of(after.begin(), after.end(), [](auto b) { return b == 0; });
    result.VBRHeader = ReadVBRHeader(block, i, frame);
    result.LameSetting = LameSetting(block, i, frame);
    return result;
  }
  return result;
}

std::string ScanForVendor(std::span<const std::uint8_t> block, std::size_t window) {
  if (block.size() < 8)
    return {};
  window = std::min(window, block.size() - 8);
  // A name may start anywhere from block.size() - 8 - window to block.size() - 8; the one
  // nearest the end wins.
  const std::size_t first = block.size() - 8 - window;
  const std::string_view text(reinterpret_cast<const char*>(block.data()) + first, window + 4);
  auto last = [&text](std::string_view name) {
    std::size_t found = std::string_view::npos;
    for (std::size_t at = text.find(name); at != std::string_view::npos;
         at = text.find(name, at + 1))
      found = at;
    return found;
  };
  const std::size_t lame = last("LAME");
  const std::size_t gogo = last("GOGO");
  if (lame != std::string_view::npos && (gogo == std::string_view::npos || lame > gogo))
    return VersionField(TByteReader(block), first + lame);
  return gogo != std::string_view::npos ? "GOGO" : "";
}
} // namespace mpeg

using namespace mpeg;

void TMPEGaudio::Clear() {
  FFileBytes = 0;
  FTrailerVendor.clear();
  FLameSetting.clear();
  FVBRHeader = TVBRHeader{};
  FFrame = TMPEGFrame{};
  // The reserved or unknown codes, so that every derived value is 0 or unknown.
  FFrame.VersionCode = 1;
  FFrame.SampleRateIndex = 3;
  FFrame.ChannelMode = 4;
  FFrame.ModeExtension = 4;
  FFrame.EmphasisCode = 2;
  FID3v1Tag.Clear();
  FID3v2Tag.Clear();
}

bool TMPEGaudio::Analyze(const std::string& fileName) {
  auto file = TReadOnlyFile::Open(fileName);
  if (!file) {
    Clear();
    return false;
  }
  return Analyze(*file);
}

bool TMPEGaudio::Analyze(TReadOnlyFile& file) {
  Clear();
  bool result = false;
  // A file shorter than a tag has none; it is still a file to look at.
  const auto holds = [&](std::size_t bytes) {
    return file.Size() >= static_cast<std::int64_t>(bytes);
  };
  if ((!holds(TID3v2::HeaderLength) || FID3v2Tag.Load(file)) &&
      (!holds(TID3v1::TagLength) || FID3v1Tag.Load(file))) {
    FFileBytes = file.Size();
    result = AnalyzeStream(file);
  }
  // Without a confirmed frame the file reports nothing, tags included.
  if (!FFrame.Present)
    Clear();
  return result;
}

bool TMPEGaudio::AnalyzeStream(TReadOnlyFile& file) {
  std::array<std::uint8_t, BlockSize> block{};
  const std::int64_t tagSize = FID3v2Tag.TagSize;
  const auto firstRead = file.ReadAt(tagSize, block);
  if (!firstRead)
    return false;
  TScanResult scan = ScanForFrame(block);
  FFrame = scan.Frame;
  if (FFrame.Present) {
    FVBRHeader = scan.VBRHeader;
    FLameSetting = scan.LameSetting;
  }

  if (!FFrame.Present && *firstRead == BlockSize) {
    block.fill(0);
    if (!file.ReadAt((FFileBytes - tagSize) / 2, block))
      return false;
    scan = ScanForFrame(block);
    FFrame = scan.Frame;
    if (FFrame.Present) {
      FVBRHeader = scan.VBRHeader;
      FLameSetting = scan.LameSetting;
    }
  }

  if (FFrame.Present && !FVBRHeader.Present) {
    // The tail block ends where the audio ends; a short file gives a shorter block.
    const std::int64_t end =
        FFileBytes - (FID3v1Tag.Present ? static_cast<std::int64_t>(TID3v1::TagLength) : 0);
    const std::int64_t start = std::max<std::int64_t>(0, end - std::int64_t{BlockSize});
    const auto tail =
        std::span(block).first(static_cast<std::size_t>(std::max<std::int64_t>(0, end - start)));
    if (!file.ReadExactly(start, tail))
      return false;
    FTrailerVendor = ScanForVendor(tail, std::size_t{5} * FFrame.Length);
  }
  return true;
}

std::uint16_t TMPEGaudio::SampleRate() const {
  return TableSampleRate(FFrame);
}

std::uint16_t TMPEGaudio::BitRate() const {
  if (FVBRHeader.Present && FVBRHeader.FrameCount > 0 && FFrame.Present) {
    const double bytesPerFrame =
        static_cast<double>(FVBRHeader.ByteCount) / FVBRHeader.FrameCount - PaddingSize(FFrame);
    const double coefficient = SamplesPerFrame(FFrame) / 8.0;
    const double rate = std::nearbyint(bytesPerFrame * SampleRate() / coefficient / 1000.0);
    return static_cast<std::uint16_t>(std::clamp(rate, 0.0, 65535.0));
  }
  return TableBitRate(FFrame);
}

double TMPEGaudio::Duration() const {
  if (!FFrame.Present)
    return 0;
  if (FVBRHeader.Present && FVBRHeader.FrameCount > 0) {
    const std::int64_t samples = std::int64_t{SamplesPerFrame(FFrame)} * FVBRHeader.FrameCount;
    return static_cast<double>(samples) / SampleRate();
  }
  const std::int64_t audioBytes =
      FFileBytes - FID3v2Tag.TagSize -
      (FID3v1Tag.Present ? static_cast<std::int64_t>(TID3v1::TagLength) : 0) - FFrame.Offset;
  return static_cast<double>(audioBytes) / TableBitRate(FFrame) / 1000.0 * 8.0;
}

std::uint8_t TMPEGaudio::EncoderId() const {
  enum : std::uint8_t { Unknown, Xing, Fraunhofer, Lame, Blade, GoGo, Shine, QDesign };
  if (!FFrame.Present)
    return Unknown;
  const std::string_view kind(FVBRHeader.Kind.data(), FVBRHeader.Kind.size());
  if (FVBRHeader.Present) {
    const std::string_view vendor = std::string_view(FVBRHeader.EncoderTag).substr(0, 4);
    std::uint8_t id = Unknown;
    if (vendor == "LAME")
      id = Lame;
    if (vendor == "GOGO" || vendor == "MPGE")
      id = GoGo;
    if (kind == "Xing" && vendor != "LAME" && vendor != "GOGO" && vendor != "MPGE")
      id = Xing;
    if (kind == "VBRI")
      id = Fraunhofer;
    return id;
  }
  const TMPEGFrame& f = FFrame;
  const std::string_view trailer = std::string_view(FTrailerVendor).substr(0, 4);
  std::uint8_t id = Fraunhofer;
  if (f.Original && f.CrcProtected)
    id = Lame;
  if (TableBitRate(f) <= 160 && f.ChannelMode == 0)
    id = Blade;
  if (f.Copyrighted && f.Original && !f.CrcProtected)
    id = Xing;
  if (f.ZeroAfterHeader && f.Original)
    id = Xing;
  if (f.LayerCode == Layer2)
    id = QDesign;
  if (f.ChannelMode == 2 && f.CrcProtected)
    id = Shine;
  if (trailer == "LAME")
    id = Lame;
  if (trailer == "GOGO")
    id = GoGo;
  return id;
}

std::string TMPEGaudio::EncoderText() const {
  static constexpr std::array<std::string_view, 8> Names = {
      "Unknown", "Xing", "Fraunhofer", "LAME", "Blade", "GoGo", "Shine", "QDesign"};
  const std::uint8_t id = EncoderId();
  std::string text(Names[id]);
  std::string vendor = FVBRHeader.EncoderTag;
  if (!FTrailerVendor.empty())
    vendor = FTrailerVendor;
  auto digit = [&](std::size_t i) {
    return i < vendor.size() && IsDigit(vendor[i]);
  };
  if (id == 3 && vendor.size() >= 8 && digit(4) && vendor[5] == '.' && digit(6) && digit(7))
    text.append(" ").append(vendor, 4, digit(8) ? 5 : 4);
  return text;
}
