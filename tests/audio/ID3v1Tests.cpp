// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/ID3GenresUnit.h"
#include "audio/ID3v1.h"
#include "support/Mp3Builder.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace {
TID3v1 LoadTag(const TBytes& fileBytes) {
  TTempFolder folder;
  TID3v1 tag;
  EXPECT_TRUE(tag.Load(folder.Write("t.mp3", fileBytes)));
  return tag;
}

TBytes RawTag(std::uint8_t byte125, std::uint8_t byte126) {
  TBytes tag = Id3v1Tag({.Title = "Song", .Comment = std::string(30, 'c')});
  tag[125] = static_cast<char>(byte125);
  tag[126] = static_cast<char>(byte126);
  return tag;
}
} // namespace

TEST(ID3v1, LoadNeedsTheLast128Bytes) {
  TTempFolder folder;
  TID3v1 tag;
  EXPECT_FALSE(tag.Load(folder.Write("short.mp3", TBytes(127, 'x'))));
  EXPECT_FALSE(tag.Load(folder.Path() + "missing.mp3"));
  EXPECT_FALSE(tag.Load(folder.Path()));
  EXPECT_TRUE(tag.Load(folder.Write("exact.mp3", Id3v1Tag({.Title = "Only tag"}))));
  EXPECT_TRUE(tag.Present);
  EXPECT_EQ(tag.Title, "Only tag");
}

TEST(ID3v1, VersionMarkerDecidesTrackAndCommentWidth) {
  const struct {
    const char* Name;
    std::uint8_t Byte125, Byte126;
    int Version, Track;
    std::size_t CommentLength;
  } cases[] = {
      {"zero then track", 0, 7, 2, 7, 28},
      {"zero then zero", 0, 0, 1, 0, 28}, // comment bytes 125.. are zero and trimmed
      {"space then letter", ' ', 'A', 2, 'A', 28},
      {"comment padded with spaces", ' ', ' ', 1, 0, 28},
      {"comment fills 30", 'c', 'c', 1, 0, 30},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TID3v1 tag = LoadTag(TBytes(500, 'a') + RawTag(c.Byte125, c.Byte126));
    EXPECT_EQ(tag.Version, c.Version);
    EXPECT_EQ(tag.Track, c.Track);
    EXPECT_EQ(tag.Comment.size(), c.CommentLength);
  }
}

TEST(ID3v1, FieldsTrimTrailingControlsOnlyAndConvertLegacyText) {
  TBytes tag = Id3v1Tag({.Title = "  Song", .Artist = "Caf\xE9", .Year = "1999"});
  tag.replace(3 + 6, 24, std::string(24, ' '));
  tag.replace(63, 4, std::string("A\0B\0", 4)); // zero inside the album stays
  const TID3v1 loaded = LoadTag(tag);
  EXPECT_EQ(loaded.Title, "  Song");
  EXPECT_EQ(loaded.Artist, "Café");
  EXPECT_EQ(loaded.Album, std::string("A\0B", 3));
  EXPECT_EQ(loaded.Year, "1999");
}

TEST(ID3v1, LowerCaseTagIsNoTag) {
  TBytes tag = Id3v1Tag({.Title = "x"});
  tag.replace(0, 3, "tag");
  const TID3v1 loaded = LoadTag(tag);
  EXPECT_FALSE(loaded.Present);
  EXPECT_EQ(loaded.GenreIndex, 255);
  EXPECT_EQ(loaded.Version, 1);
}

TEST(Genres, StandardNamesInNumberOrder) {
  const struct {
    int Number;
    const char* Name;
  } cases[] = {
      {0, "Blues"},
      {7, "Hip- Hop"},
      {17, "Rock"},
      {41, "Bass"},
      {42, "Soul"},
      {43, "Punk"},
      {52, "Electronic"},
      {67, "Psychadelic"},
      {118, "Rhytmic Soul"},
      {146, "JPop"},
      {147, "SynthPop"},
      {148, ""},
      {255, ""},
      {-1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Number);
    EXPECT_EQ(ID3GenreName(c.Number), c.Name);
  }
  TID3v1 tag;
  tag.GenreIndex = 17;
  EXPECT_EQ(tag.GenreName(), "Rock");
  tag.GenreIndex = 200;
  EXPECT_EQ(tag.GenreName(), "");
}
