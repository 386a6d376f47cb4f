// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The 128-byte ID3v1 / ID3v1.1 tag at the end of an MP3 file.
#include <cstdint>
#include <span>
#include <string>

class TReadOnlyFile;

class TID3v1 {
public:
  static constexpr std::size_t TagLength = 128;

  TID3v1() { Clear(); }

  // True when the last 128 bytes could be read, tag or not.
  bool Load(const std::string& fileName);
  bool Load(TReadOnlyFile& file);
  // Reads the tag from its 128 bytes (they need not begin with "TAG").
  void Parse(std::span<const std::uint8_t, TagLength> bytes);
  void Clear();

  // The genre's name, or "" for an index the table does not hold.
  std::string GenreName() const;

  bool Present;
  std::uint8_t Version; // 1 = version 1.0, 2 = version 1.1
  std::string Title;
  std::string Artist;
  std::string Album;
  std::string Year;
  std::string Comment;
  std::uint8_t Track;
  std::uint8_t GenreIndex;
};
