// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/FlacMetadata.h"

#include "audio/ID3v2.h"
#include "common/ByteReader.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace {
enum TBlockType : std::uint8_t {
  StreamInfoBlock = 0,
  PaddingBlock = 1,
  SeekTableBlock = 3,
  VorbisCommentBlock = 4,
  PictureBlock = 6,
};
constexpr std::uint8_t LastBlockFlag = 0x80;
constexpr std::size_t BlockHeaderBytes = 4;
// The stream information whole: its sizes, format, sample count and the audio's MD5.
constexpr std::size_t StreamInfoBytes = 34;
// The format sets no limit on the count of blocks; an encoder writes a handful (a few
// pictures at most), and millions of empty padding blocks would cost seconds to walk.
constexpr int MaximumBlocks = 1024;

// A picture's head is read (its image's header included), never the whole picture.
void TakePicture(TReadOnlyFile& file, std::int64_t body, std::uint32_t length,
                 TFlacMetadata& metadata) {
  std::vector<std::uint8_t> head(std::min<std::size_t>(length, ImageHeadBytes));
  std::uint32_t type = 0;
  if (!file.ReadExactly(body, head))
    return;
  const auto image = ReadFlacPicture(head, type);
  if (image && (metadata.Picture.empty() || (type == 3 && !metadata.FrontPicture))) {
    metadata.Picture = ImageSizeText(*image);
    metadata.FrontPicture = type == 3;
  }
}

void TakeStreamInfo(const TByteReader& info, TFlacMetadata& metadata) {
  metadata.MaxBlockSize = info.U16BE(2);
  metadata.MaxFrameSize = info.U24BE(7);
  // After the block and frame sizes: 20 bits of sample rate, 3 of channels less one, 5 of
  // bits per sample less one and 36 of samples.
  const std::uint32_t fields = info.U32BE(10);
  metadata.SampleRate = fields >> 12;
  metadata.Channels = ((fields >> 9) & 7) + 1;
  metadata.BitsPerSample = ((fields >> 4) & 31) + 1;
  metadata.SampleFrames = (std::uint64_t{fields & 0xF} << 32) | info.U32BE(14);
  for (std::size_t i = 0; i < metadata.AudioMd5.size(); ++i)
    metadata.AudioMd5[i] = info.U8(18 + i);
}
} // namespace

std::optional<TImageSize> ReadFlacPicture(std::span<const std::uint8_t> block,
                                          std::uint32_t& type) {
  const TByteReader bytes(block);
  type = bytes.U32BE(0);
  const std::uint64_t mimeLength = bytes.U32BE(4);
  if (!bytes.Has(8, mimeLength))
    return std::nullopt;
  const std::string mime = bytes.Text(8, mimeLength);
  const std::uint64_t descriptionAt = 8 + mimeLength;
  const std::uint64_t fieldsAt = descriptionAt + 4 + bytes.U32BE(descriptionAt);
  if (!bytes.Has(fieldsAt, 20))
    return std::nullopt;
  if (const auto image = ReadImageSize(bytes.Sub(fieldsAt + 20, block.size())))
    return image;
  // The image's header lies past what was read: as the block declares it.
  static constexpr std::array<std::pair<std::string_view, const char*>, 4> kinds = {
      {{"image/jpeg", "JPEG"}, {"image/jpg", "JPEG"}, {"image/png", "PNG"}, {"image/gif", "GIF"}}};
  for (const auto& [name, kind] : kinds)
    if (mime == name && bytes.U32BE(fieldsAt) > 0 && bytes.U32BE(fieldsAt + 4) > 0)
      return TImageSize{kind, bytes.U32BE(fieldsAt), bytes.U32BE(fieldsAt + 4)};
  return std::nullopt;
}

std::optional<TFlacMetadata> ReadFlacMetadata(TReadOnlyFile& file, std::int64_t offset) {
  TFlacMetadata metadata;
  for (int blocks = 0;; ++blocks) {
    const bool first = blocks == 0;
    if (blocks == MaximumBlocks)
      return std::nullopt;
    std::array<std::uint8_t, BlockHeaderBytes> bytes{};
    if (!file.ReadExactly(offset, bytes))
      return std::nullopt;
    const TByteReader header(bytes);
    const auto type = static_cast<std::uint8_t>(header.U8(0) & ~LastBlockFlag);
    const bool last = (header.U8(0) & LastBlockFlag) != 0;
    const std::uint32_t length = header.U24BE(1);
    const std::int64_t body = offset + static_cast<std::int64_t>(BlockHeaderBytes);
    const bool mayBeEmpty = type == PaddingBlock || type == SeekTableBlock;
    if ((first && type != StreamInfoBlock) || (length == 0 && !mayBeEmpty) ||
        length > file.Size() - body)
      return std::nullopt;

    if (first) {
      std::array<std::uint8_t, StreamInfoBytes> info{};
      if (length < info.size() || !file.ReadExactly(body, info))
        return std::nullopt;
      TakeStreamInfo(TByteReader(info), metadata);
    } else if (type == PictureBlock) {
      TakePicture(file, body, length, metadata);
    } else if (type == VorbisCommentBlock && metadata.VorbisComment.empty()) {
      // The length was held to what the file has left, so it cannot size more than that.
      metadata.VorbisComment.resize(length);
      if (!file.ReadExactly(body, metadata.VorbisComment))
        return std::nullopt;
    }
    offset = body + length;
    if (last)
      break;
  }
  metadata.AudioStart = offset;
  metadata.AudioEnd = file.Size();
  std::array<std::uint8_t, 3> tag{};
  constexpr std::int64_t Id3v1Bytes = 128;
  if (file.Size() - Id3v1Bytes >= offset && file.ReadExactly(file.Size() - Id3v1Bytes, tag) &&
      TByteReader(tag).Matches(0, "TAG"))
    metadata.AudioEnd = file.Size() - Id3v1Bytes;
  return metadata;
}

std::optional<TFlacMetadata> ReadFlacFileMetadata(const std::string& path) {
  auto file = TReadOnlyFile::Open(path);
  if (!file)
    return std::nullopt;
  std::array<std::uint8_t, TID3v2::HeaderLength> head{};
  const std::size_t got = file->ReadAt(0, head).value_or(0);
  const std::int64_t mark = ID3v2StatedTagSize(std::span(head.data(), got));
  std::array<std::uint8_t, 4> bytes{};
  if (!file->ReadExactly(mark, bytes) || !TByteReader(bytes).Matches(0, "fLaC"))
    return std::nullopt;
  return ReadFlacMetadata(*file, mark + 4);
}
