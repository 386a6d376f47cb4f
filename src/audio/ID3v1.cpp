// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/ID3v1.h"

#include "audio/ID3GenresUnit.h"
#include "common/ByteReader.h"
#include "common/FileUnit.h"
#include "common/TextUnit.h"

#include <array>

namespace {
// Trailing bytes of code 32 or less go before the legacy bytes become UTF-8.
std::string Field(const TByteReader& tag, std::size_t at, std::size_t length) {
  return Cp1252ToUtf8(TrimControlRight(tag.Text(at, length)));
}
} // namespace

void TID3v1::Clear() {
  Present = false;
  Version = 1;
  Title.clear();
  Artist.clear();
  Album.clear();
  Year.clear();
  Comment.clear();
  Track = 0;
  GenreIndex = 255;
}

bool TID3v1::Load(const std::string& fileName) {
  Clear();
  auto file = TReadOnlyFile::Open(fileName);
  return file && Load(*file);
}

bool TID3v1::Load(TReadOnlyFile& file) {
  Clear();
  std::array<std::uint8_t, TagLength> bytes{};
  if (file.Size() < static_cast<std::int64_t>(TagLength) ||
      !file.ReadExactly(file.Size() - static_cast<std::int64_t>(TagLength), bytes))
    return false;
  Parse(bytes);
  return true;
}

void TID3v1::Parse(std::span<const std::uint8_t, TagLength> bytes) {
  Clear();
  const TByteReader tag(bytes);
  if (!tag.Matches(0, "TAG"))
    return;
  Present = true;
  const std::uint8_t marker = tag.U8(125);
  const std::uint8_t track = tag.U8(126);
  const bool version11 = (marker == 0 && track != 0) || (marker == ' ' && track != ' ');
  Version = version11 ? 2 : 1;
  Title = Field(tag, 3, 30);
  Artist = Field(tag, 33, 30);
  Album = Field(tag, 63, 30);
  Year = Field(tag, 93, 4);
  Comment = Field(tag, 97, version11 ? 28 : 30);
  Track = version11 ? track : 0;
  GenreIndex = tag.U8(127);
}

std::string TID3v1::GenreName() const {
  return ID3GenreName(GenreIndex);
}
