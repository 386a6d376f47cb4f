// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A FLAC stream's metadata blocks, walked from its mark to the first audio frame: the
// stream's properties, its Vorbis comment and its picture's size. Every other block (padding,
// a seek table) is stepped over unread, so a large picture costs nothing but its head.
#include "common/FileUnit.h"
#include "common/ImageSize.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// A stream whose information makes sense: FLAC's rates stop at 655,350 Hz and its channels at
// 8. A rate of 0 would make every length and every time axis endless.
constexpr bool SensibleFlacStream(std::uint32_t sampleRate, std::uint32_t channels) {
  return sampleRate > 0 && sampleRate <= 655350 && channels > 0 && channels <= 8;
}

struct TFlacMetadata {
  std::uint32_t SampleRate = 0;
  std::uint32_t Channels = 0;
  std::uint32_t BitsPerSample = 0;
  std::uint64_t SampleFrames = 0;          // 0: not known (an encoder writing to a pipe)
  std::uint32_t MaxBlockSize = 0;          // samples a frame holds; a fixed-size stream's own
  std::uint32_t MaxFrameSize = 0;          // bytes; 0: not known
  std::array<std::uint8_t, 16> AudioMd5{}; // of the decoded samples; all zero: not set
  std::vector<std::uint8_t> VorbisComment; // the first comment block's body; empty when none
  std::string Picture; // "600x600 JPEG": the front cover, else the first picture
  bool FrontPicture = false;
  std::int64_t AudioStart = 0; // where the frames begin
  std::int64_t AudioEnd = 0;   // the file's end, or where an ID3v1 tag begins
};

// A picture block's image: its size read from the image's own header where the bytes hold
// it, else as the block declares it, with the kind its MIME type names; type is the
// picture's type (3: the front cover). Nothing for a block that holds none.
std::optional<TImageSize> ReadFlacPicture(std::span<const std::uint8_t> block, std::uint32_t& type);

// Walks the blocks that begin at the offset (just past "fLaC"). Nothing when a block runs
// past the end of the file, the first is not the stream's information, or a block that
// must hold something is empty, or there are more blocks than any encoder writes (1,024):
// the stream cannot be trusted then.
std::optional<TFlacMetadata> ReadFlacMetadata(TReadOnlyFile& file, std::int64_t offset);

// The stream information of a FLAC file (after an ID3v2 tag, where one stands first);
// nothing for a file that is no FLAC stream.
std::optional<TFlacMetadata> ReadFlacFileMetadata(const std::string& path);
