// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/AlbumAnalysis.h"
#include "common/TextListUnit.h"
#include "generate/AnalysisTexts.h"
#include "generate/CoverImage.h"
#include "generate/ExpandUnit.h"
#include "generate/NFOUnit.h"
#include "generate/SFVUnit.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace {
TGenerateContext Context(std::vector<std::string> policy = {}) {
  TGenerateContext context;
  context.DateText = "12/8/2026";
  context.TimeText = "2:05 PM";
  context.ProductName = "Tamberlon";
  context.VersionText = "1.0.469";
  context.ProductURL = "https://tamberlon.example.org/";
  context.PostingPolicy = std::move(policy);
  return context;
}

void AddTrack(TAlbumInfo& album, const std::string& path, const std::string& title,
              const std::string& duration, bool hasTag = true) {
  auto info = std::make_unique<TTrackInfo>();
  info->HasTag = hasTag;
  if (hasTag)
    info->Title = title;
  info->Artist = hasTag ? "Artist of " + title : "";
  info->DurationText = duration;
  info->FileSize = 1048576;
  info->Checksum = "CBF43926";
  album.Tracks.push_back({path, std::move(info)});
}

std::string Lines(const std::vector<std::string>& lines) {
  return JoinTextLines(lines);
}

std::string Template(bool various) {
  return Lines(DefaultNfoTemplate(various, TAudioFamily::Mp3, true));
}

struct Expansion : ::testing::Test {
  TAlbumInfo Album;
  std::vector<std::string> Groups;
  Expansion() { Album.NewsGroups = &Groups; }
  std::string Expand(std::string_view text, const TGenerateContext& context = Context()) {
    return ExpandTemplate(text, Album, context);
  }
};
} // namespace

TEST_F(Expansion, DefaultSingleArtistTemplateWholeDocument) {
  Album.SetArtist("Artist");
  Album.SetAlbumTitle("Album");
  Album.Source = "CD";
  Album.RecordLabel = "Label";
  Album.Year = "2001";
  Album.Genre = "Rock";
  Album.Encoder = "LAME";
  Album.Codec = "LAME 3.100";
  Album.BitRate = "128 K/sec";
  Album.SampleRate = "44100 Hz";
  Album.StereoMode = "Joint Stereo";
  Album.ID3Version = "ID3v2.3";
  Album.RippedBy = "Ripper";
  Album.RipDate = "12/1/2026";
  Album.PostedBy = "Poster";
  Album.PostDate = "12/8/2026";
  Album.PlayingTime = "13:02";
  Album.TotalSize = "4.5 MB";
  Album.TotalBytes = 4718592;
  Groups = {"alt.binaries.one", "alt.binaries.two"};
  AddTrack(Album, "/music/01.mp3", "Intro", "0:59");
  AddTrack(Album, "/music/02.mp3", "Long Song", "12:03");

  EXPECT_EQ(Expand(Template(false)), Lines({
                                         "Artist     : Artist",
                                         "Album      : Album",
                                         "Source     : CD",
                                         "Label      : Label",
                                         "Year       : 2001",
                                         "Genre      : Rock",
                                         "",
                                         "Encoder    : LAME",
                                         "Codec      : LAME 3.100",
                                         "Bitrate    : 128 K/sec  44100 Hz  Joint Stereo",
                                         "ID3-Tag    : ID3v2.3",
                                         "",
                                         "Ripped By  : Ripper on 12/1/2026",
                                         "Posted By  : Poster on 12/8/2026",
                                         "",
                                         "Posted to  :",
                                         "  alt.binaries.one",
                                         "  alt.binaries.two",
                                         "",
                                         "",
                                         "Track Listing",
                                         "-------------",
                                         " 1. Intro      ( 0:59)",
                                         " 2. Long Song  (12:03)",
                                         "",
                                         "Total Playing Time: 13:02 (min:sec)",
                                         "Total Size        : 4.5 MB (4,718,592 bytes)",
                                         "",
                                         std::string(70, '='),
                                         ".NFO file created with Tamberlon V1.0.469 on 12/8/2026 "
                                         "at 2:05 PM",
                                         "",
                                         "For more information on Tamberlon",
                                         "visit https://tamberlon.example.org/",
                                     }));
}

// Each default shows what the rip log (a lossless album's) and the measurement found, each
// line only where there is something to show: an unmeasured album, or a lossless track, has
// no empty heading.
TEST_F(Expansion, DefaultsShowTheEvidenceThereIs) {
  const std::string log = "X Lossless Decoder version 20230627\nUsed drive : D\nRipper mode : "
                          "XLD Secure Ripper\nDisable audio cache : OK\nMake use of C2 pointers "
                          ": NO\nRead offset correction : 6\nGap status : Analyzed, "
                          "Appended\nTrack 01\n CRC32 hash (test run) : 1\n CRC32 hash : 1\n "
                          "->Accurately ripped (v2, confidence 3/3)\nEnd of status report\n"
                          "-----BEGIN XLD SIGNATURE-----\n";
  const struct {
    const char* Name;
    TAudioFamily Family;
    bool Log;
    std::optional<int> Dr;
    std::optional<TLossyQuality> Quality;
    std::string Evidence, Track; // after the audio lines; under the track's line
  } cases[] = {
      {"nothing measured", TAudioFamily::Lossless, false, std::nullopt, std::nullopt, "", ""},
      {"the DR alone", TAudioFamily::Lossless, false, 11, std::nullopt, "Dynamics   : DR11\r\n",
       ""},
      {"the log and the DR", TAudioFamily::Lossless, true, 9, std::nullopt,
       "Log Score  : 98\r\nAccurateRip: 1 of 1 tracks accurate (confidence 3)\r\n"
       "Dynamics   : DR9\r\n",
       ""},
      {"an MP3 album not measured", TAudioFamily::Mp3, false, std::nullopt, std::nullopt, "", ""},
      {"an MP3 album's DR and a doubted rate", TAudioFamily::Mp3, false, 8,
       TLossyQuality{320, 16000, 20500, 128}, "Dynamics   : DR8\r\n",
       "    320 kbps, content to 16.0 kHz: probably encoded from a lower-rate source (about 128 "
       "kbps)\r\n"},
      {"a Vorbis album's", TAudioFamily::Lossy, false, 7, TLossyQuality{192, 22050, 22050, 0},
       "Dynamics   : DR7\r\n", "    192 kbps, content to 22.1 kHz: as the rate keeps\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TTempFolder folder;
    TAlbumInfo album;
    album.Lossless = c.Family == TAudioFamily::Lossless;
    AddTrack(album, folder.Write("01.flac", ""), "One", "0:59");
    if (c.Log)
      folder.Write("rip.log", log);
    auto analysis = std::make_shared<TAlbumAnalysis>();
    analysis->Dr = c.Dr;
    analysis->Tracks.emplace_back().Path = album.Tracks[0].Path;
    analysis->Tracks[0].Quality = c.Quality;
    album.Analysis = analysis;
    const std::string text =
        ExpandTemplate(Lines(DefaultNfoTemplate(false, c.Family, false)), album, Context());
    const std::string from = c.Family == TAudioFamily::Mp3 ? "ID3-Tag    : \r\n" : "(average)\r\n";
    const std::size_t start = text.find(from) + from.size();
    EXPECT_EQ(text.substr(start, text.find("\r\nRipped By") - start), c.Evidence);
    const std::size_t track = text.find("(0:59)\r\n") + 8;
    EXPECT_EQ(text.substr(track, text.find("\r\nTotal Playing") - track), c.Track);
  }
}

// What the strip and the save say of a measured album: each doubted track counted against the
// album's, a transcode and a lower-rate source each in its words, an unmeasured track neither.
TEST(AnalysisTexts, WarningsCountTheDoubtedTracks) {
  enum TFinding { Fine, Transcoded, LowerRate, Unmeasured };
  const struct {
    const char* Name;
    std::vector<TFinding> Tracks;
    std::string Warning;
  } cases[] = {
      {"nothing doubted", {Fine, Fine}, ""},
      {"two of three from a lower rate",
       {LowerRate, Fine, LowerRate},
       "2 of 3 tracks probably encoded from a lower-rate source"},
      {"the one track transcoded",
       {Transcoded},
       "the track possibly transcoded from a lossy source"},
      {"every track from a lower rate",
       {LowerRate, LowerRate},
       "all 2 tracks probably encoded from a lower-rate source"},
      {"both kinds, one not measured",
       {Transcoded, LowerRate, Unmeasured},
       "1 of 3 tracks possibly transcoded from a lossy source; 1 of 3 tracks probably encoded "
       "from a lower-rate source"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TAlbumInfo album;
    auto analysis = std::make_shared<TAlbumAnalysis>();
    std::vector<std::string> doubted;
    for (std::size_t i = 0; i < c.Tracks.size(); ++i) {
      TTrackAnalysis& track = analysis->Tracks.emplace_back();
      track.Path = "/music/" + std::to_string(i + 1) + ".mp3";
      track.Cutoff.LossyShape = c.Tracks[i] == Transcoded;
      if (c.Tracks[i] == LowerRate || c.Tracks[i] == Unmeasured)
        track.Quality = TLossyQuality{320, 16000, 20500, 128};
      if (c.Tracks[i] == Unmeasured)
        track.Problem = "the file cannot be read";
      if (c.Tracks[i] == Transcoded || c.Tracks[i] == LowerRate)
        doubted.push_back(track.Path);
    }
    album.Analysis = analysis;
    EXPECT_EQ(MeasuredWarning(album), c.Warning);
    std::vector<std::string> noted;
    for (const TProblem& note : MeasuredNotes(album))
      noted.push_back(note.Path);
    EXPECT_EQ(noted, doubted);
  }
}

TEST_F(Expansion, VariousArtistsLineAndUntaggedTracks) {
  AddTrack(Album, "/music/One.mp3", "First", "3:05");
  AddTrack(Album, "/music/a\\b:c.mp3", "", "12:40", false);
  const std::string text = "@FOR_EACH_TRACK\r\n$TRACK_NUMBER. $TRACK_TITLE ($TRACK_ARTIST)  "
                           "@RIGHT($TRACK_DURATION) $TRACK_FILENAME\r\n@END_TRACK\r\n";
  EXPECT_EQ(Expand(text),
            Lines({" 1. First (Artist of First)  ( 3:05) One.mp3",
                   " 2. a\\b:c.mp3 ()" + std::string(13, ' ') + "(12:40) a\\b:c.mp3", ""}));
}

TEST_F(Expansion, SfvTemplate) {
  AddTrack(Album, "/music/01 Intro.mp3", "Intro", "0:59");
  Album.Tracks.push_back({"/music/02.mp3", std::make_unique<TTrackInfo>()});
  EXPECT_EQ(Expand(Lines(DefaultSfvTemplate(true))),
            Lines({"01 Intro.mp3 CBF43926", "02.mp3 Chksum N/A", "", ";" + std::string(70, '='),
                   ";.SFV file created with Tamberlon V1.0.469 on 12/8/2026 at 2:05 PM",
                   ";For more information on Tamberlon", ";visit https://tamberlon.example.org/"}));
}

TEST_F(Expansion, AlbumTokensInOrderEverywhere) {
  Album.SetArtist("Band $YEAR");
  Album.SetAlbumTitle("@FOR_EACH_TRACK $TRACK_TITLE @END_TRACK @RIGHT");
  Album.Year = "1999";
  Album.PostedBy = "me";
  Album.TotalBytes = 123456789;
  const struct {
    const char* Name;
    std::string Template;
    std::string Expected;
    std::string Url = "https://tamberlon.example.org/";
  } cases[] = {
      {"a value's token text stays as it is", "$ARTIST", "Band $YEAR"},
      {"a value's markers stay too", "@FOR_EACH_TRACK$ALBUM@END_TRACK", ""},
      {"a value's markers stay outside blocks", "$ALBUM",
       "@FOR_EACH_TRACK $TRACK_TITLE @END_TRACK @RIGHT"},
      {"every occurrence", "$YEAR-$YEAR", "1999-1999"},
      {"inside longer words", "$ARTISTS", "Band $YEARS"},
      {"unknown and lower case stay", "$artist $FOO $", "$artist $FOO $"},
      {"thousands", "$TOTAL_BYTES", "123,456,789"},
      {"track count", "$TRACK_COUNT", "0"},
      {"policy is replaced last", "$POSTING_POLICY", "by $POSTED_BY\r\n$TRACK_TITLE\r\n"},
      {"track tokens outside the block stay", "$TRACK_TITLE $GROUP_NAME",
       "$TRACK_TITLE $GROUP_NAME"},
      {"@RIGHT outside a block stays", "a@RIGHT b", "a@RIGHT b"},
      {"empty template", "", ""},
      {"the address", "visit $NFO_URL\r\n", "visit https://tamberlon.example.org/\r\n"},
      {"without an address its line goes", "a\r\nvisit $NFO_URL\r\nb", "a\r\nb", ""},
      {"also the last line, after any break", "a\nsee $NFO_URL or $NFO_URL", "a\n", ""},
      {"a section with a value, without its markers", "@IF_VALUE\r\nYear $YEAR\r\n@END_IF\r\nz",
       "Year 1999\r\nz"},
      {"a section whose values are empty goes whole", "a\n@IF_VALUE\nLabel $LABEL\n@END_IF\nz",
       "a\nz"},
      {"each section on its own", "@IF_VALUE $LABEL @END_IF@IF_VALUE $YEAR @END_IF", " 1999 "},
      {"a policy is a value", "@IF_VALUE\r\nPolicy:\r\n$POSTING_POLICY@END_IF",
       "Policy:\r\nby $POSTED_BY\r\n$TRACK_TITLE\r\n"},
      {"a section without its end stays", "@IF_VALUE $YEAR", "@IF_VALUE 1999"},
      {"binary bytes pass", std::string("\xFF\x00\xC3", 3), std::string("\xFF\x00\xC3", 3)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TGenerateContext context = Context({"by $POSTED_BY", "$TRACK_TITLE"});
    context.ProductURL = c.Url;
    EXPECT_EQ(Expand(c.Template, context), c.Expected);
  }
}

TEST_F(Expansion, NumbersPadToTheWidestAndTitlesTwice) {
  for (int i = 1; i <= 12; ++i)
    AddTrack(Album, "/t.mp3", "T" + std::to_string(i), "1:00");
  const std::string numbers = Expand("@FOR_EACH_TRACK[$TRACK_NUMBER]@END_TRACK");
  EXPECT_EQ(numbers.substr(0, 12), "[ 1]\r\n[ 2]\r\n");
  EXPECT_NE(numbers.find("[ 9]\r\n[10]\r\n[11]\r\n[12]\r\n"), std::string::npos);

  // A hundred tracks or groups: every number takes three columns, so titles stay aligned.
  for (int i = 13; i <= 100; ++i)
    AddTrack(Album, "/t.mp3", "T" + std::to_string(i), "1:00");
  Groups.assign(100, "g");
  for (const char* block : {"@FOR_EACH_TRACK[$TRACK_NUMBER]@END_TRACK",
                            "@FOR_EACH_NEWSGROUP[$GROUP_NUMBER]@END_NEWSGROUP"}) {
    const std::string wide = Expand(block);
    EXPECT_EQ(wide.substr(0, 7), "[  1]\r\n") << block;
    EXPECT_NE(wide.find("[ 99]\r\n[100]\r\n"), std::string::npos) << block;
  }

  Album.Tracks.resize(3);
  EXPECT_EQ(Expand("@FOR_EACH_TRACK$TRACK_TITLE,$TRACK_TITLE@END_TRACK"),
            "T1,T2\r\nT3,$TRACK_TITLE\r\n$TRACK_TITLE,$TRACK_TITLE\r\n");
}

TEST_F(Expansion, BlocksInsideEachOther) {
  AddTrack(Album, "/a.mp3", "A", "1:00");
  AddTrack(Album, "/b.mp3", "B", "1:00");
  Groups = {"g1", "g2"};
  // A track block in the newsgroup body: expanded first, then repeated per group.
  EXPECT_EQ(Expand("@FOR_EACH_NEWSGROUP$GROUP_NAME:@FOR_EACH_TRACK$TRACK_TITLE@END_TRACK"
                   "@END_NEWSGROUP"),
            "g1:A\r\nB\r\ng2:A\r\nB\r\n");
  // A newsgroup block in the track body: repeated with every track, only the first copy
  // expanded.
  EXPECT_EQ(Expand("@FOR_EACH_TRACK$TRACK_TITLE @FOR_EACH_NEWSGROUP$GROUP_NAME@END_NEWSGROUP"
                   "@END_TRACK"),
            "A g1\r\ng2\r\n\r\nB @FOR_EACH_NEWSGROUP$GROUP_NAME@END_NEWSGROUP\r\n");
}

TEST_F(Expansion, MissingPiecesLeaveTextAlone) {
  AddTrack(Album, "/a.mp3", "A", "1:00");
  EXPECT_EQ(Expand("@FOR_EACH_TRACK $TRACK_TITLE"), "@FOR_EACH_TRACK $TRACK_TITLE");
  EXPECT_EQ(Expand("@END_TRACK @FOR_EACH_TRACK $TRACK_TITLE"),
            "@END_TRACK @FOR_EACH_TRACK $TRACK_TITLE");
  Album.NewsGroups = nullptr; // not yet set: no groups, never a crash
  EXPECT_EQ(Expand("x@FOR_EACH_NEWSGROUP $GROUP_NAME @END_NEWSGROUP\r\ny"), "x\r\ny");
}

TEST(Album, DefaultFileNames) {
  const struct {
    const char* Artist;
    const char* Title;
    const char* Expected;
  } cases[] = {
      {"Artist", "Title", "Artist - Title.nfo"},
      {"AC/DC", "Live: 1991?", "ACDC - Live 1991.nfo"},
      {"a//b", "", "ab.nfo"},
      {"Artist", "", "Artist.nfo"},
      {"", "Title", "Title.nfo"},
      {"", "", "Untitled.nfo"},
      {"<>", "", "Untitled.nfo"},
      {" ", "x", "  - x.nfo"},
      {"<\\*|\">", "t", " - t.nfo"},
      {"My $ALBUM", "Disc $SEPERATOR", "My $ALBUM - Disc $SEPERATOR.nfo"},
      {"Line\r\nbreak\t", "x\x7F", "Linebreak - x.nfo"},
      {"A\u202Egalf.3pm",
       "B\u009B"
       "2J",
       "Agalf.3pm - B2J.nfo"}, // "A" then "mp3.flag" shown
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Expected);
    TAlbumInfo album;
    album.SetArtist(c.Artist);
    album.SetAlbumTitle(c.Title);
    EXPECT_EQ(album.DefaultFileName(), c.Expected);
  }
  // A long name is cut to what a file system takes, with its extension, never inside a
  // character (two bytes each here).
  TAlbumInfo album;
  std::string greek;
  for (int i = 0; i < 200; ++i)
    greek += "α";
  album.SetArtist(greek);
  EXPECT_EQ(album.DefaultFileName(), greek.substr(0, 250) + ".nfo");
}

TEST(Album, LongestDurationCountsCharacters) {
  TAlbumInfo album;
  EXPECT_EQ(album.LongestDurationLength(), 0);
  AddTrack(album, "/a", "a", "3:05");
  AddTrack(album, "/b", "b", "12:40");
  EXPECT_EQ(album.LongestDurationLength(), 5);
  AddTrack(album, "/c", "c", "1·05"); // a separator of two bytes, one character
  EXPECT_EQ(album.LongestDurationLength(), 5);
}

TEST(TextLists, LinesEndAtAnyBreakAndNulEndsTheText) {
  const struct {
    const char* Name;
    std::string Text;
    std::vector<std::string> Lines;
  } cases[] = {
      {"CR LF", "a\r\nb\r\n", {"a", "b"}},
      {"no final break", "a\nb", {"a", "b"}},
      {"CR alone and empty lines", "a\r\rb\n\n", {"a", "", "b", ""}},
      {"LF CR is two breaks", "a\n\rb", {"a", "", "b"}},
      {"NUL ends the text", std::string("a\r\nb\0c\r\nd", 9), {"a", "b"}},
      {"empty", "", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(SplitTextLines(c.Text), c.Lines);
  }
  EXPECT_EQ(JoinTextLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
}

// $COVER's size comes from each kind's own header; a JPEG's frame may follow other
// segments (EXIF, fill bytes); truncated or foreign bytes give no size.
TEST(CoverImage, SizeFromEachKindsHeader) {
  const auto bytes = [](std::string text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
  };
  const std::string png = std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16) +
                          std::string("\0\0\x05\x78\0\0\x01\x2c", 8);
  const std::string exif = std::string("\xFF\xE1\x00\x08"
                                       "Exif",
                                       8) +
                           std::string("\0\0", 2);
  const std::string frame = std::string("\xFF\xC2\x00\x11\x08\x02\x58\x03\x20", 9);
  const struct {
    const char* Name;
    std::string Bytes;
    std::string Size; // "" for none
  } cases[] = {
      {"png", png, "1400x300 PNG"},
      {"gif", std::string("GIF89a\x20\x03\x58\x02", 10), "800x600 GIF"},
      {"progressive jpeg after exif and fill", "\xFF\xD8" + exif + "\xFF" + frame, "800x600 JPEG"},
      {"jpeg cut in its frame", "\xFF\xD8" + frame.substr(0, 6), ""},
      {"jpeg whose scan comes first", std::string("\xFF\xD8\xFF\xDA\x00\x02", 6) + frame, ""},
      {"huffman table is no frame", std::string("\xFF\xD8\xFF\xC4\x00\x02", 6), ""},
      {"png cut", png.substr(0, 20), ""},
      {"text", "not an image", ""},
  };
  for (const auto& c : cases) {
    const auto size = ReadImageSize(bytes(c.Bytes));
    EXPECT_EQ(size ? std::to_string(size->Width) + "x" + std::to_string(size->Height) + " " +
                         size->Kind
                   : "",
              c.Size)
        << c.Name;
  }
}
