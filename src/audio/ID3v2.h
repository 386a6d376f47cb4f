// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ID3v2 tag at the start of an MP3 file: its size (where the audio begins) and the
// text frames of versions 2.2, 2.3 and 2.4 that a track record shows.
#include <array>
#include <cstdint>
#include <span>
#include <string>

class TReadOnlyFile;

class TID3v2 {
public:
  // The tag header's bytes ("ID3", version, flags, size).
  static constexpr std::size_t HeaderLength = 10;
  static constexpr std::size_t SlotCount = 21;
  static constexpr std::size_t SlotSize = 500;

  TID3v2() { Clear(); }

  // True when the first 10 bytes could be read, tag or not.
  bool Load(const std::string& fileName);
  bool Load(TReadOnlyFile& file);
  void Clear();

  bool Present;
  std::uint8_t MajorVersion;
  std::int64_t TagSize; // the whole tag, header and footer included; 0 without a tag
  std::string Title;
  std::string Artist;
  std::string Album;
  std::uint16_t TrackNumber;
  std::string TrackText;
  std::string Year;
  std::string Genre;
  std::string Comment;
  std::string Composer;
  std::string EncodedBy;
  std::string Copyright;
  std::string Language;
  std::string Url;
  std::string MediaType;
  std::string Publisher;
  std::string AlbumArtist; // the band, or "Various Artists", whoever sings each track
  bool Compilation = false;
  std::string DiscText; // "1/2"
  // The attached picture (the front cover where there are several): "600x600 JPEG".
  std::string Picture;
  bool FrontPicture = false;

private:
  // The raw data of the last frame that matched each slot: its first 500 bytes, four zero
  // bytes after a shorter one (up to 500); empty when no frame matched.
  using TSlots = std::array<std::string, SlotCount>;

  void ReadFrames(TReadOnlyFile& file, std::uint8_t flags, TSlots& slots);
  void ReadPicture(TReadOnlyFile& file, std::int64_t at, std::int64_t size, bool indicated);
  void DecodeFields(const TSlots& slots);
};

// The size the ID3v2 header at the start of these bytes states (header and footer
// included); 0 when they do not begin with one.
std::int64_t ID3v2StatedTagSize(std::span<const std::uint8_t> head);

// The text of a raw frame: its encoding byte, then the text in that encoding.
std::string DecodeID3v2Text(std::string_view raw);
// The value of a frame that carries a description (and a language) before it.
std::string DecodeID3v2DescribedText(std::string_view raw, bool withLanguage);
