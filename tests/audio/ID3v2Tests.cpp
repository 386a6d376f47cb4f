// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/ID3v2.h"
#include "support/Mp3Builder.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace {
TID3v2 LoadFile(const TBytes& bytes) {
  TTempFolder folder;
  TID3v2 tag;
  EXPECT_TRUE(tag.Load(folder.Write("t.mp3", bytes)));
  return tag;
}

// A tag of the given frames followed by some audio bytes.
TID3v2 LoadTag(int major, const TBytes& frames, int flags = 0) {
  return LoadFile(Id3v2Tag(major, frames, 16, flags) + TBytes(1000, '\x55'));
}

TID3v2 LoadTitle(int major, const TBytes& data) {
  return LoadTag(major, Id3v2Frame(major, major == 2 ? "TT2" : "TIT2", data));
}
} // namespace

TEST(ID3v2, TagSizeCountsHeaderAndFooter) {
  TBytes header("ID3\x03\x00\x00\x00\x00\x02\x01", 10);
  EXPECT_EQ(LoadFile(header + TBytes(400, '\0')).TagSize, 267);
  header[5] = 0x10;
  EXPECT_EQ(LoadFile(header + TBytes(400, '\0')).TagSize, 277);
  EXPECT_EQ(LoadFile(header + TBytes(100, '\0')).TagSize, 0); // larger than the file
  EXPECT_TRUE(LoadFile(header + TBytes(100, '\0')).Present);
}

TEST(ID3v2, SizeBytesAreUsedWholeWithoutMasking) {
  const TBytes header("ID3\x03\x00\x00\x00\x00\x00\x80", 10); // 128 + 10, top bit kept
  EXPECT_EQ(LoadFile(header + TBytes(200, '\0')).TagSize, 138);
  const TBytes huge("ID3\x03\x00\x00\xFF\xFF\xFF\xFF", 10);
  EXPECT_EQ(LoadFile(huge + TBytes(200, '\0')).TagSize, 0);
}

TEST(ID3v2, LoadNeedsTenBytesAndAnyOtherStartIsNoTag) {
  TTempFolder folder;
  TID3v2 tag;
  EXPECT_FALSE(tag.Load(folder.Write("nine.mp3", "ID3\x03\x00\x00\x00\x00\x00")));
  EXPECT_FALSE(tag.Load(folder.Path() + "missing.mp3"));
  EXPECT_TRUE(tag.Load(folder.Write("plain.mp3", TBytes(20, 'x'))));
  EXPECT_FALSE(tag.Present);
  EXPECT_TRUE(tag.Load(folder.Write("lower.mp3", "id3" + TBytes(20, '\0'))));
  EXPECT_FALSE(tag.Present);
}

TEST(ID3v2, TextEncodings) {
  const struct {
    const char* Name;
    TBytes Data;
    std::string Expected;
  } cases[] = {
      {"latin-1 is Windows-1252", TextData(0, "Caf\xE9 \x80"), "Café €"},
      {"UTF-16 little-endian mark", TextData(1, Utf16Le(u"Título")), "Título"},
      {"UTF-16 big-endian mark", TextData(1, Utf16Be(u"Título", true)), "Título"},
      {"UTF-16 without mark is little-endian", TextData(1, Utf16Le(u"Abc", false)), "Abc"},
      {"UTF-16 keeps characters whose low byte is 255", TextData(1, Utf16Le(u"\u00FF\u30FF")),
       "ÿヿ"},
      {"UTF-16 cut inside its last unit, which the zero after the frame completes",
       TextData(1, Utf16Le(u"Ab").substr(0, 5)), "Ab"},
      {"UTF-16 values, each ended by a zero unit",
       TextData(1, Utf16Le(u"One") + TBytes(2, '\0') + Utf16Le(u"Two", false) + TBytes(2, '\0')),
       "One; Two"},
      {"UTF-8 values, the empty one dropped", TextData(3, std::string("A\0\0B", 4)), "A; B"},
      {"UTF-16BE", TextData(2, Utf16Be(u"Grüße")), "Grüße"},
      {"UTF-8", TextData(3, "Grüße ✓"), "Grüße ✓"},
      {"UTF-8 with a leading mark", TextData(3, "\xEF\xBB\xBFHi"), "Hi"},
      {"invalid UTF-8", TextData(3, "a\xFFz"), "a\xEF\xBF\xBDz"},
      {"trimmed both ends", TextData(0, "  Song \t"), "Song"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(LoadTitle(3, c.Data).Title, c.Expected);
    EXPECT_EQ(LoadTitle(4, c.Data).Title, c.Expected);
  }
}

TEST(ID3v2, UnknownEncodingsAndSkippedFramesLeaveSlotsEmpty) {
  EXPECT_EQ(LoadTitle(3, TextData(4, "Nope")).Title, "");
  // Second flag byte 128 (compressed in 2.3) skips even a title frame.
  const TBytes compressed = Id3v2Frame(3, "TIT2", TextData(0, "Hidden"), 0x80);
  EXPECT_EQ(LoadTag(3, compressed).Title, "");
}

TEST(ID3v2, SlotFallbacksAndLastFrameWins) {
  const TBytes frames =
      Id3v2Frame(3, "TIT1", TextData(0, "Group")) +
      Id3v2Frame(3, "TOPE", TextData(0, "Original Artist")) +
      Id3v2Frame(3, "TOAL", TextData(0, "Original Album")) +
      Id3v2Frame(3, "TPE1", TextData(0, "First")) + Id3v2Frame(3, "TPE1", TextData(0, "Second")) +
      Id3v2Frame(3, "TDRC", TextData(0, "2003-05-01")) +
      Id3v2Frame(3, "TENC", TextData(0, "Encoder")) + Id3v2Frame(3, "TPUB", TextData(0, "Label")) +
      Id3v2Frame(3, "TMED", TextData(0, "CD"));
  const TID3v2 tag = LoadTag(3, frames);
  EXPECT_EQ(tag.Title, "Group");
  EXPECT_EQ(tag.Artist, "Second");
  EXPECT_EQ(tag.Album, "Original Album");
  EXPECT_EQ(tag.Year, "2003");
  EXPECT_EQ(tag.EncodedBy, "Encoder");
  EXPECT_EQ(tag.Publisher, "Label");
  EXPECT_EQ(tag.MediaType, "CD");
}

TEST(ID3v2, TrackNumberAndGenrePrefix) {
  const struct {
    const char* Track;
    int Number;
  } tracks[] = {{"5/12", 5}, {"7", 7}, {"A", 0}, {"/3", 0}, {"99999", 0}};
  for (const auto& c : tracks) {
    SCOPED_TRACE(c.Track);
    const TID3v2 tag = LoadTag(3, Id3v2Frame(3, "TRCK", TextData(0, c.Track)));
    EXPECT_EQ(tag.TrackNumber, c.Number);
    EXPECT_EQ(tag.TrackText, c.Track);
  }
  const struct {
    const char* Text;
    const char* Genre;
  } genres[] = {{"(13)Pop", "Pop"}, {"(13)", ""}, {"Rock", "Rock"}, {"(1)(2)Mixed", "Mixed"}};
  for (const auto& c : genres) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(LoadTag(3, Id3v2Frame(3, "TCON", TextData(0, c.Text))).Genre, c.Genre);
  }
}

TEST(ID3v2, DescribedTextSkipsTheDescription) {
  const struct {
    const char* Name;
    TBytes Data;
    const char* Expected;
  } cases[] = {
      {"latin-1 with description", TBytes("\0engNote\0Great", 14), "Great"},
      {"latin-1 empty description", TBytes("\0eng\0Great", 10), "Great"},
      {"UTF-16 description on even offsets",
       "\x01"
       "eng" +
           Utf16Le(u"Note") + TBytes(2, '\0') + Utf16Le(u"Great"),
       "Great"},
      {"UTF-16 description with a zero pair at an odd offset",
       "\x01"
       "eng" +
           Utf16Le(u"A\u0100") + TBytes(2, '\0') + Utf16Le(u"Value"),
       "Value"},
      {"UTF-16 description the frame ends inside, at an odd length: no value",
       "\x01"
       "eng" +
           Utf16Le(u"Note") + "X",
       ""},
      {"UTF-16BE",
       "\x02"
       "eng" +
           Utf16Be(u"D") + TBytes(2, '\0') + Utf16Be(u"Wert"),
       "Wert"},
      {"UTF-8",
       TBytes("\x03"
              "engBeschreibung",
              16) +
           '\0' + "Größe",
       "Größe"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(LoadTag(3, Id3v2Frame(3, "COMM", c.Data)).Comment, c.Expected);
  }
  const TBytes url = Id3v2Frame(3, "WXXX", TBytes("\0Home\0http://x.example/", 23));
  EXPECT_EQ(LoadTag(3, url).Url, "http://x.example/");
}

TEST(ID3v2, Version22Frames) {
  const TBytes frames = Id3v2Frame(2, "TT2", TextData(0, "Old Title")) +
                        Id3v2Frame(2, "TP1", TextData(1, Utf16Le(u"Old Artist"))) +
                        Id3v2Frame(2, "TYE", TextData(0, "1998")) +
                        Id3v2Frame(2, "COM", TBytes("\0engd\0Comment", 13)) +
                        Id3v2Frame(2, "TP2", TextData(0, "Band")) +
                        Id3v2Frame(2, "TPA", TextData(0, "2/2")) +
                        Id3v2Frame(2, "TCP", TextData(0, "1"));
  const TID3v2 tag = LoadTag(2, frames);
  EXPECT_EQ(tag.MajorVersion, 2);
  EXPECT_EQ(tag.Title, "Old Title");
  EXPECT_EQ(tag.Artist, "Old Artist");
  EXPECT_EQ(tag.Year, "1998");
  EXPECT_EQ(tag.Comment, "Comment");
  EXPECT_EQ(tag.AlbumArtist, "Band");
  EXPECT_EQ(tag.DiscText, "2/2");
  EXPECT_TRUE(tag.Compilation);
  // The same frames under their 2.3 names; a flag other than "1" is no compilation.
  const TID3v2 modern = LoadTag(3, Id3v2Frame(3, "TPE2", TextData(0, "Band")) +
                                       Id3v2Frame(3, "TCMP", TextData(0, "0")));
  EXPECT_EQ(modern.AlbumArtist, "Band");
  EXPECT_FALSE(modern.Compilation);
}

TEST(ID3v2, Version24SizesAreSynchsafeWithAPlainSizeFallback) {
  const TBytes longComment = TBytes("\0eng\0", 5) + TBytes(300, 'c');
  const TBytes synchsafe =
      Id3v2Frame(4, "COMM", longComment) + Id3v2Frame(4, "TIT2", TextData(3, "After art"));
  EXPECT_EQ(LoadTag(4, synchsafe).Title, "After art");

  const TBytes plain = Id3v2Frame(4, "COMM", longComment, 0, true) +
                       Id3v2Frame(4, "TIT2", TextData(3, "Plain writer"), 0, true);
  EXPECT_EQ(LoadTag(4, plain).Title, "Plain writer");

  // Size bytes 0,0,1,0 are 128 data bytes in a 2.4 tag.
  TBytes frame = Id3v2Frame(4, "TPE1", TextData(0, TBytes(127, 'a')));
  ASSERT_EQ(frame.substr(4, 4), TBytes("\0\0\x01\0", 4));
  EXPECT_EQ(LoadTag(4, frame + Id3v2Frame(4, "TIT2", TextData(0, "Next"))).Title, "Next");
}

TEST(ID3v2, ExtendedHeadersAreSkipped) {
  const TBytes title = Id3v2Frame(3, "TIT2", TextData(0, "Behind"));
  const TBytes extended23 = BigEndian32(6) + TBytes(6, '\0');
  EXPECT_EQ(LoadTag(3, extended23 + title, 0x40).Title, "Behind");
  const TBytes extended24 = Synchsafe(6) + TBytes("\x01\x00", 2);
  EXPECT_EQ(LoadTag(4, extended24 + Id3v2Frame(4, "TIT2", TextData(0, "Behind")), 0x40).Title,
            "Behind");
}

TEST(ID3v2, OtherMajorVersionsArePresentWithEmptyTexts) {
  const TID3v2 tag = LoadTag(5, Id3v2Frame(3, "TIT2", TextData(0, "Future")));
  EXPECT_TRUE(tag.Present);
  EXPECT_EQ(tag.MajorVersion, 5);
  EXPECT_GT(tag.TagSize, 0);
  EXPECT_EQ(tag.Title, "");
}

TEST(ID3v2, DamagedFrameListsEndQuietly) {
  const TBytes good = Id3v2Frame(3, "TIT2", TextData(0, "Kept"));
  // A frame claiming far more data than the file holds: the earlier frames stay.
  TBytes cut = Id3v2Tag(3, good + Id3v2Frame(3, "TPE1", TextData(0, "Cut")));
  cut.replace(10 + good.size() + 4, 4, "\x7F\xFF\xFF\xFF");
  const TID3v2 tag = LoadFile(cut + TBytes(20, '\0'));
  EXPECT_EQ(tag.Title, "Kept");
  EXPECT_EQ(tag.Artist, "");

  // A tag whose body is cut off by the end of the file.
  TBytes truncated = Id3v2Tag(3, good + good);
  truncated.resize(truncated.size() - 3);
  TTempFolder folder;
  TID3v2 reader;
  EXPECT_TRUE(reader.Load(folder.Write("t.mp3", truncated)));
  EXPECT_EQ(reader.TagSize, 0); // the stated size exceeds the file

  // Long frames are cut at 500 bytes.
  const TID3v2 longTitle = LoadTitle(3, TextData(0, TBytes(800, 'x')));
  EXPECT_EQ(longTitle.Title, TBytes(499, 'x'));
}

// A tag of 16 MB of empty frames is walked in time linear in its bytes, reading nothing
// it does not hold.
TEST(ID3v2, HugeTagsOfEmptyFramesAreWalkedLinearly) {
  TBytes frames;
  const TBytes empty = Id3v2Frame(3, "TXXX", "");
  frames.reserve(16u << 20);
  while (frames.size() + empty.size() < (16u << 20))
    frames += empty;
  frames += Id3v2Frame(3, "TIT2", TextData(0, "Last"));
  const TID3v2 tag = LoadTag(3, frames);
  EXPECT_EQ(tag.Title, "Last");
}
