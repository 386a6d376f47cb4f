// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/NaturalOrder.h"
#include "generate/AlbumFieldsUnit.h"
#include "generate/AlbumSession.h"
#include "support/ScriptedHost.h"

#include <gtest/gtest.h>

namespace {
struct TTrackFields {
  std::string Artist = "";
  std::string Year = "";
  int BitRate = 128;
  int SampleRate = 44100;
  int ChannelMode = 1;
  bool VBR = false;
  std::string Codec = "";
  std::string EncodedBy = "";
  std::string EncoderSetting = "";
  double Day = 45000.5;
  bool Analysed = true;
  std::string AlbumArtist = "";
  bool Compilation = false;
  std::string Format = "MP3";
  int BitsPerSample = 0;
  double Duration = 0;
  std::string TagVersion = "None";
};

TAlbumInfo Album(const std::vector<TTrackFields>& fields) {
  TAlbumInfo album;
  for (const TTrackFields& s : fields) {
    auto info = std::make_unique<TTrackInfo>();
    info->HasTag = true;
    info->Artist = s.Artist;
    info->Year = s.Year;
    info->BitRate = s.BitRate;
    info->SampleRate = s.SampleRate;
    info->ChannelMode = s.ChannelMode;
    info->IsVBR = s.VBR;
    info->Codec = s.Codec;
    info->EncodedBy = s.EncodedBy;
    info->EncoderSetting = s.EncoderSetting;
    info->FileDate = s.Day;
    info->Analysed = s.Analysed;
    info->AlbumArtist = s.AlbumArtist;
    info->Compilation = s.Compilation;
    info->Format = s.Format;
    info->BitsPerSample = s.BitsPerSample;
    info->Duration = s.Duration;
    info->TagVersion = s.TagVersion;
    album.Tracks.push_back({"/x.mp3", std::move(info)});
  }
  return album;
}
} // namespace

TEST(AlbumFields, VariousArtistsThreshold) {
  const struct {
    std::size_t Tracks, Artists;
    bool Various;
  } cases[] = {{1, 1, false}, {2, 2, true},  {3, 2, false},  {4, 4, true},
               {4, 3, false}, {10, 8, true}, {10, 7, false}, {0, 0, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Tracks) + " tracks, " + std::to_string(c.Artists) + " artists");
    EXPECT_EQ(IsVariousArtists(c.Tracks, c.Artists), c.Various);
  }
}

TEST(AlbumFields, MajoritiesAndTheirTextForms) {
  TWithScriptedHost scripted;
  const TAlbumInfo album =
      Album({{.Artist = "A", .Year = "2001", .BitRate = 128, .Day = 45001.7},
             {.Artist = "A", .Year = "1999", .BitRate = 192, .VBR = true, .Day = 45000.2},
             {.Artist = "B", .Year = "1999", .ChannelMode = 4, .VBR = true, .Day = 45000.9}});
  const TAlbumDecision decision = DecideAlbumFields(album, 2);
  EXPECT_FALSE(decision.VariousArtists);
  EXPECT_EQ(decision.Proposed.Artist, "A");
  EXPECT_EQ(decision.Year, 1999);
  EXPECT_EQ(decision.Proposed.BitRate, "128K/s");
  EXPECT_TRUE(decision.Proposed.VBR);
  EXPECT_EQ(decision.Proposed.SampleRate, "44100Hz");
  EXPECT_EQ(decision.Proposed.StereoMode, 1);
  EXPECT_EQ(decision.Proposed.Encoder, "Unknown");
  EXPECT_EQ(decision.Proposed.Codec, "Unknown");
  EXPECT_EQ(decision.Proposed.RipDate, 45000);
  EXPECT_EQ(decision.Proposed.ID3Version, "None");
}

TEST(AlbumFields, TracksWhoseAudioWasNotReadDoNotVoteOnTechnicalFields) {
  TWithScriptedHost scripted;
  const TTrackFields unread{.BitRate = 0, .SampleRate = 0, .ChannelMode = 0, .Analysed = false};
  const TAlbumDecision decision = DecideAlbumFields(
      Album({unread, {.BitRate = 192, .SampleRate = 48000, .Codec = "LAME3.100"}, unread}), 0);
  EXPECT_EQ(decision.Proposed.BitRate, "192K/s");
  EXPECT_EQ(decision.Proposed.SampleRate, "48000Hz");
  EXPECT_EQ(decision.Proposed.StereoMode, 1);
  EXPECT_EQ(decision.Proposed.Codec, "LAME3.100");
  // With no track read, they are all there is.
  EXPECT_EQ(DecideAlbumFields(Album({unread, unread}), 0).Proposed.BitRate, "0K/s");
}

// Tracks of several kinds: the kind most tracks have decides what the technical boxes
// say. A lossless majority gets the average bit rate over the playing time, its bits per
// sample and no MPEG mode or ID3 version; an MP3 majority keeps MP3's own majorities.
TEST(AlbumFields, MixedAlbumsFollowTheirMajorityKind) {
  TWithScriptedHost scripted;
  const TTrackFields flacA{.BitRate = 800,
                           .ChannelMode = -1,
                           .Codec = "FLAC",
                           .Format = "FLAC",
                           .BitsPerSample = 16,
                           .Duration = 100,
                           .TagVersion = "Vorbis comment"};
  TTrackFields flacB = flacA;
  flacB.BitRate = 1000;
  flacB.Duration = 300;
  const TTrackFields mp3{.BitRate = 128,
                         .Codec = "LAME 3.100",
                         .EncoderSetting = "-V2",
                         .Duration = 100,
                         .TagVersion = "ID3v2.3"};
  TTrackFields tagged = mp3;
  tagged.EncodedBy = "EAC";
  const struct {
    const char* Name;
    std::vector<TTrackFields> Tracks;
    const char *Format, *Codec, *BitRate, *Bits, *ID3;
    int StereoMode;
    const char* Encoder;
  } cases[] = {
      {"two FLAC, one MP3",
       {flacA, flacB, mp3},
       "FLAC",
       "FLAC",
       "786K/s",
       "16-bit",
       "",
       -1,
       "Unknown"},
      {"two MP3, one FLAC",
       {mp3, flacB, mp3},
       "MP3",
       "LAME 3.100",
       "128K/s",
       "",
       "ID3v2.3",
       1,
       "LAME 3.100 -V2"},
      {"a tag's encoder before the setting",
       {tagged, mp3, tagged},
       "MP3",
       "LAME 3.100",
       "128K/s",
       "",
       "ID3v2.3",
       1,
       "EAC"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TAlbumInfo album = Album(c.Tracks);
    const TAlbumDecision decision = DecideAlbumFields(album, 1);
    const TAlbumFieldTexts& p = decision.Proposed;
    EXPECT_EQ(decision.Format, c.Format);
    EXPECT_EQ(p.Codec, c.Codec);
    EXPECT_EQ(p.BitRate, c.BitRate);
    EXPECT_EQ(p.BitsPerSample, c.Bits);
    EXPECT_EQ(p.ID3Version, c.ID3);
    EXPECT_EQ(p.StereoMode, c.StereoMode);
    EXPECT_EQ(p.Encoder, c.Encoder);
    EXPECT_FALSE(p.VBR);
  }
}

TEST(AlbumFields, NonNumericYearsNeverAgreeAndUnknownModeIsStereo) {
  TWithScriptedHost scripted;
  const TAlbumDecision decision =
      DecideAlbumFields(Album({{.Year = "", .ChannelMode = 4}, {.Year = "", .ChannelMode = 4}}), 0);
  EXPECT_EQ(decision.Year, -1);
  EXPECT_EQ(decision.Proposed.StereoMode, 0);
  // Hexadecimal is no year: two tracks that say "0x7D0" do not outvote one that says 1999.
  EXPECT_EQ(
      DecideAlbumFields(Album({{.Year = "1999"}, {.Year = "0x7D0"}, {.Year = "0x7D0"}}), 0).Year,
      1999);
  EXPECT_EQ(decision.Proposed.Artist, "");
  const TAlbumDecision various = DecideAlbumFields(Album({{}, {}, {}, {}}), 4);
  EXPECT_TRUE(various.VariousArtists);
  EXPECT_EQ(various.Proposed.Artist, "Various Artists");
}

// The album-artist frame, when every tagged track agrees on it, names the album's artist
// however many sing on it, or (as "Various Artists") makes it a compilation; so does the
// compilation flag on every track. Otherwise the count of artists decides.
TEST(AlbumFields, AlbumArtistFrameAndCompilationFlag) {
  TWithScriptedHost scripted;
  const auto tracks = [](std::vector<std::string> artists, std::vector<std::string> albumArtists,
                         std::vector<bool> flags = {}) {
    std::vector<TTrackFields> fields;
    for (std::size_t i = 0; i < artists.size(); ++i)
      fields.push_back({.Artist = artists[i],
                        .AlbumArtist = albumArtists[i],
                        .Compilation = i < flags.size() && flags[i]});
    return fields;
  };
  const struct {
    const char* Name;
    std::vector<TTrackFields> Tracks;
    std::size_t Artists;
    bool Various;
    std::string Artist;
  } cases[] = {
      {"one band, guests on every track",
       tracks({"MC Lumen feat. A", "MC Lumen feat. B", "MC Lumen feat. C", "MC Lumen"},
              {"MC Lumen", "MC Lumen", "MC Lumen", "MC Lumen"}),
       4, false, "MC Lumen"},
      {"the frame says it is a compilation",
       tracks({"A", "A", "A"}, {"Various Artists", "Various Artists", "Various Artists"}), 1, true,
       "Various Artists"},
      {"frames that disagree leave it to the count",
       tracks({"A", "B", "C", "D"}, {"X", "X", "Y", "X"}), 4, true, "Various Artists"},
      {"a track without the frame leaves it to the count", tracks({"A", "A"}, {"X", ""}), 1, false,
       "A"},
      {"the compilation flag on every track", tracks({"A", "A"}, {"", ""}, {true, true}), 1, true,
       "Various Artists"},
      {"the flag on one track only", tracks({"A", "A"}, {"", ""}, {true, false}), 1, false, "A"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TAlbumDecision decision = DecideAlbumFields(Album(c.Tracks), c.Artists);
    EXPECT_EQ(decision.Proposed.Artist, c.Artist);
    EXPECT_EQ(decision.VariousArtists, c.Various);
  }
}

TEST(AlbumFields, StoreCopiesTheWindowIntoTheRecord) {
  TWithScriptedHost scripted;
  TAlbumInfo album;
  const std::vector<std::string> groups = {"a.b"};
  TAlbumFieldTexts texts;
  texts.Artist = "AC/DC";
  texts.AlbumTitle = "Live";
  texts.BitRate = "128K/s";
  texts.VBR = true;
  texts.StereoMode = 2;
  texts.PostDate = EncodeDateTime({2026, 12, 8, 23, 59, 0});
  texts.RipDate = EncodeDateTime({2026, 1, 2, 0, 0, 0});
  texts.NewsGroups = &groups;
  StoreAlbumFields(album, texts);
  EXPECT_EQ(album.DefaultFileName(), "ACDC - Live.nfo");
  EXPECT_EQ(album.BitRate, "VBR ~128K/s");
  EXPECT_EQ(album.StereoMode, "Dual Channel");
  EXPECT_EQ(album.Quality, "Hi");
  EXPECT_EQ(album.PostDate, "12/8/2026");
  EXPECT_EQ(album.RipDate, "1/2/2026");
  EXPECT_EQ(album.NewsGroups, &groups);
}

TEST(AlbumFields, ListingLines) {
  TTrackEntry tagged{"/music/01 Intro.mp3", std::make_unique<TTrackInfo>()};
  tagged.Info->Title = "Intro";
  EXPECT_EQ(TrackLine(0, tagged, true, true), " 1. Intro");
  EXPECT_EQ(TrackLine(0, tagged, false, true), " 1. 01 Intro.mp3");
  EXPECT_EQ(TrackLine(9, tagged, false, false), "10. /music/01 Intro.mp3");
  EXPECT_EQ(TrackCountText(0), "0 Tracks");
  EXPECT_EQ(TrackCountText(1), "1 Track");
  EXPECT_EQ(TrackCountText(2), "2 Tracks");
  EXPECT_EQ(FolderPart("/music/a.mp3"), "/music/");
}

// Sorted selections: names by their numbers as file managers show them, then the tags'
// track numbers when every track has one.
TEST(TrackOrder, NamesByTheirNumbersThenTagsByTrackNumber) {
  TWithScriptedHost scripted;
  const struct {
    const char* Name;
    std::vector<std::string> Chosen;
    std::vector<std::string> TrackTags; // one per chosen file ("2@1/2": track 2 of disc 1)
    std::vector<std::string> Listed;
  } cases[] = {
      {"numbers in names, no tags",
       {"/a/10 - J.mp3", "/a/2 - B.mp3", "/a/1 - A.mp3", "/a/11 - K.mp3"},
       {"", "", "", ""},
       {"/a/1 - A.mp3", "/a/2 - B.mp3", "/a/10 - J.mp3", "/a/11 - K.mp3"}},
      {"case and leading zeros",
       {"/a/b.mp3", "/a/A.mp3", "/a/track010.mp3", "/a/Track9.mp3", "/a/track001.mp3"},
       {"", "", "", "", ""},
       {"/a/A.mp3", "/a/b.mp3", "/a/track001.mp3", "/a/Track9.mp3", "/a/track010.mp3"}},
      {"every track numbered: the tags decide",
       {"/a/a.mp3", "/a/b.mp3", "/a/c.mp3"},
       {"3/3", "1/3", "2"},
       {"/a/b.mp3", "/a/c.mp3", "/a/a.mp3"}},
      {"two discs: by disc, then by track",
       {"/a/a.mp3", "/a/b.mp3", "/a/c.mp3", "/a/d.mp3"},
       {"1@2/2", "2@1", "2@2", "1"},
       {"/a/d.mp3", "/a/b.mp3", "/a/a.mp3", "/a/c.mp3"}},
      {"one track without a number: the names decide",
       {"/a/a.mp3", "/a/b.mp3", "/a/c.mp3"},
       {"3", "", "1"},
       {"/a/a.mp3", "/a/b.mp3", "/a/c.mp3"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<std::string> paths = c.Chosen;
    SortNaturally(paths);
    TAlbumSession session;
    for (const std::string& path : paths) {
      auto info = std::make_unique<TTrackInfo>();
      info->HasTag = true;
      const auto at = std::find(c.Chosen.begin(), c.Chosen.end(), path) - c.Chosen.begin();
      const std::string& tags = c.TrackTags[static_cast<std::size_t>(at)];
      info->Track = tags.substr(0, tags.find('@'));
      if (tags.find('@') != std::string::npos)
        info->Disc = tags.substr(tags.find('@') + 1);
      session.AddTrack(path, std::move(info));
    }
    session.OrderByTrackNumbers();
    std::vector<std::string> listed;
    for (const TTrackEntry& track : session.Album().Tracks)
      listed.push_back(track.Path);
    EXPECT_EQ(listed, c.Listed);
  }
}
