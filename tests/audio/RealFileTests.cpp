// SPDX-License-Identifier: GPL-3.0-or-later
// Files made by real encoders and taggers (scripts/make-fixtures), checked field by field.
// Checksums agree with cksfv and rhash; VBR durations with ffprobe.
#include "audio/TrackInfo.h"
#include "support/ScriptedHost.h"

#include <gtest/gtest.h>

namespace {
struct RealFiles : ::testing::Test {
  TWithScriptedHost Scripted; // any message box fails the test
  std::unique_ptr<TTrackInfo> Read(const char* name) {
    return MakeTrackInfo(std::string(TAMBERLON_TEST_DATA) + "/" + name, true);
  }
};
} // namespace

TEST_F(RealFiles, LameCbrWithItsOwnTags) {
  const auto t = Read("lame-cbr128-tags.mp3");
  EXPECT_EQ(t->TagVersion, "ID3v2.3");
  EXPECT_EQ(t->Title, "Lame Title");
  EXPECT_EQ(t->Artist, "Lame Artist");
  EXPECT_EQ(t->Album, "Lame Album");
  EXPECT_EQ(t->Year, "2001");
  EXPECT_EQ(t->Track, "3/10");
  EXPECT_EQ(t->Genre, "Rock");
  EXPECT_FALSE(t->IsVBR); // lame's "Info" header marks a CBR file
  EXPECT_EQ(t->BitRate, 128);
  EXPECT_EQ(t->SampleRate, 44100);
  EXPECT_EQ(t->ChannelMode, 1);
  EXPECT_EQ(t->FileSize, 17503);
  EXPECT_EQ(t->DurationText, "0:01");
  EXPECT_EQ(t->Codec, "LAME 3.100");
  EXPECT_EQ(t->Checksum, "9AAB5B18");
}

TEST_F(RealFiles, LameVbrMonoWithoutTags) {
  const auto t = Read("lame-vbr-mono.mp3");
  EXPECT_FALSE(t->HasTag);
  EXPECT_EQ(t->TagVersion, "None");
  EXPECT_TRUE(t->IsVBR);
  EXPECT_EQ(t->ChannelMode, 3);
  EXPECT_EQ(t->BitRate, 36);
  EXPECT_NEAR(t->Duration, 2.0376, 0.001);
  EXPECT_EQ(t->Codec, "LAME 3.100");
  EXPECT_EQ(t->Checksum, "A5C86647");
}

// LAME's tag tells how it was set; 3.100 writes --preset extreme as the -V0 it stands for.
TEST_F(RealFiles, LameSettingsFromItsTag) {
  const struct {
    const char* Name;
    bool VBR;
    const char* Setting;
  } cases[] = {
      {"lame-v2.mp3", true, "-V2"},
      {"lame-preset-extreme.mp3", true, "-V0"},
      {"lame-cbr320.mp3", false, "-b 320"},
      {"lame-abr192.mp3", true, "--abr 192"},
      {"lame-cbr128-tags.mp3", false, "-b 128"},
      {"lame-vbr-mono.mp3", true, "-V6"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto t = Read(c.Name);
    EXPECT_EQ(t->IsVBR, c.VBR);
    EXPECT_EQ(t->Codec, "LAME 3.100");
    EXPECT_EQ(t->EncoderSetting, c.Setting);
  }
}

TEST_F(RealFiles, Mpeg2WithOnlyAnId3v1Tag) {
  const auto t = Read("lame-mpeg2-id3v1.mp3");
  EXPECT_EQ(t->TagVersion, "ID3v1.0");
  EXPECT_EQ(t->Title, "Low Rate");
  EXPECT_EQ(t->Artist, "V1 Artist");
  EXPECT_EQ(t->Track, "0");
  EXPECT_EQ(t->Genre, "Jazz");
  EXPECT_EQ(t->SampleRate, 22050);
  EXPECT_EQ(t->BitRate, 64);
  EXPECT_EQ(t->Checksum, "F3A746EA");
}

TEST_F(RealFiles, MutagenVersion24InUtf8WithALongComment) {
  const auto t = Read("mutagen-v24-utf8.mp3");
  EXPECT_EQ(t->TagVersion, "ID3v2.4");
  EXPECT_EQ(t->Title, "Café Noir"); // stored after a comment frame of over 128 bytes
  EXPECT_EQ(t->Artist, "Zoë Keating");
  EXPECT_EQ(t->Album, "Into the Trees");
  EXPECT_EQ(t->Year, "2010");
  EXPECT_EQ(t->Track, "7/12");
  EXPECT_EQ(t->Genre, "Classical");
  EXPECT_EQ(t->Publisher, "Self-released");
  EXPECT_EQ(t->MediaType, "CD");
  EXPECT_EQ(t->Comment.substr(0, 4), "ÄÄ");
  EXPECT_EQ(t->SampleRate, 32000);
  EXPECT_EQ(t->Checksum, "E8CD54D7");
}

TEST_F(RealFiles, MutagenVersion23InUtf16) {
  const auto t = Read("mutagen-v23-utf16.mp3");
  EXPECT_EQ(t->TagVersion, "ID3v2.3");
  EXPECT_EQ(t->Title, "Übermorgen");
  EXPECT_EQ(t->Artist, "Die Ärzte");
  EXPECT_EQ(t->Comment, "Großartig");
  EXPECT_EQ(t->Genre, "Rock");
  EXPECT_EQ(t->EncodedBy, "EAC");
  EXPECT_EQ(t->Checksum, "A6DEE8B9");
}

// The other kinds. Sample rates, channels, bits per sample, lengths and bit rates agree
// with metaflac and ffprobe: an AAC length leaves out the encoder's priming samples (as the
// edit list says), the channels are the AAC stream's own, a bit rate counts the audio's
// bytes alone (not a cover nor an ID3v1 tag), a FLAC stream without its sample count is
// as long as its last frame says; several ARTIST comments are all kept.
TEST_F(RealFiles, OtherKindsGiveTheirTagsAndStreams) {
  const struct {
    const char* Name;
    const char *Format, *Codec, *Title, *Artist, *AlbumArtist, *Year, *Track, *Disc, *Label;
    std::int32_t SampleRate, BitsPerSample, Channels, BitRate;
    double Duration;
    bool VBR, Compilation;
  } cases[] = {
      {"flac-16bit-tags.flac", "FLAC", "FLAC", "Café Noir", "Zoë Keating", "Zoë Keating", "2010",
       "3/10", "1", "Self-released", 44100, 16, 2, 258, 1.0, false, false},
      {"flac-24bit-mono.flac", "FLAC", "FLAC", "Hi-Res", "", "", "", "2/9", "", "Studio", 96000, 24,
       1, 787, 0.5, false, false},
      {"ffmpeg-vorbis.ogg", "Ogg Vorbis", "Vorbis", "Übermorgen", "Die Ärzte", "", "2007", "4/12",
       "", "", 44100, 0, 2, 31, 1.0, true, false},
      {"ffmpeg-opus.opus", "Opus", "Opus", "Nachtflug", "Die Ärzte", "", "2007", "4/12", "", "",
       48000, 0, 2, 138, 1.0, false, false},
      {"ffmpeg-aac.m4a", "M4A", "AAC", "Lumen", "MC Lumen feat. Guest", "MC Lumen", "2019", "5/11",
       "2/2", "Lumen Records", 44100, 0, 2, 123, 1.0, false, false},
      {"ffmpeg-alac.m4a", "M4A", "ALAC", "Lossless", "Various", "", "", "", "", "", 44100, 16, 2,
       465, 1.0, false, true},
      {"ffmpeg-aac-51.m4a", "M4A", "AAC", "", "", "", "", "", "", "", 48000, 0, 6, 188, 1.0, false,
       false},
      {"ffmpeg-aac-mono.m4a", "M4A", "AAC", "", "", "", "", "", "", "", 44100, 0, 1, 65, 2.0, false,
       false},
      {"ffmpeg-alac-cover.m4a", "M4A", "ALAC", "", "", "", "", "", "", "", 44100, 16, 2, 311, 0.25,
       false, false},
      {"flac-id3v1.flac", "FLAC", "FLAC", NoTagTitle, "", "", "", "", "", "", 44100, 16, 2, 123,
       0.5, false, false},
      {"flac-piped.flac", "FLAC", "FLAC", NoTagTitle, "", "", "", "", "", "", 44100, 16, 2, 212,
       33211 / 44100.0, false, false},
      {"flac-two-artists.flac", "FLAC", "FLAC", "Duet", "Alpha; Beta", "", "", "", "", "", 44100,
       16, 2, 235, 0.25, false, false},
      {"flac-in-ogg.oga", "Ogg FLAC", "FLAC", NoTagTitle, "", "", "", "", "", "", 44100, 16, 2, 243,
       0.25, false, false},
      {"ffmpeg-flac-in-ogg.oga", "Ogg FLAC", "FLAC", "", "", "", "", "", "", "", 44100, 16, 2, 231,
       0.25, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto t = Read(c.Name);
    EXPECT_TRUE(t->Analysed);
    EXPECT_EQ(t->Format, c.Format);
    EXPECT_EQ(t->Codec, c.Codec);
    EXPECT_EQ(t->Title, c.Title);
    EXPECT_EQ(t->Artist, c.Artist);
    EXPECT_EQ(t->AlbumArtist, c.AlbumArtist);
    EXPECT_EQ(t->Year, c.Year);
    EXPECT_EQ(t->Track, c.Track);
    EXPECT_EQ(t->Disc, c.Disc);
    EXPECT_EQ(t->Publisher, c.Label);
    EXPECT_EQ(t->SampleRate, c.SampleRate);
    EXPECT_EQ(t->BitsPerSample, c.BitsPerSample);
    EXPECT_EQ(t->Channels, c.Channels);
    EXPECT_EQ(t->BitRate, c.BitRate);
    EXPECT_NEAR(t->Duration, c.Duration, 0.001);
    EXPECT_EQ(t->IsVBR, c.VBR);
    EXPECT_EQ(t->Compilation, c.Compilation);
    EXPECT_EQ(t->ChannelMode, -1);               // no MPEG stereo mode to tell
    EXPECT_EQ(t->Lossless, c.BitsPerSample > 0); // FLAC and ALAC alone keep every sample
  }
}

// A picture in the tags is told with the size its image's own header gives, the front
// cover before one that came first: ID3v2 frames with UTF-16 descriptions, FLAC picture
// blocks, an MP4 cover; a track without one tells none.
TEST_F(RealFiles, PicturesInTheTagsAreToldWithTheirSize) {
  const struct {
    const char* Name;
    const char* Cover;
  } cases[] = {
      {"mutagen-pictures.mp3", "20x10 JPEG"},
      {"flac-pictures.flac", "20x10 JPEG"},
      {"ffmpeg-alac-cover.m4a", "200x200 JPEG"},
      {"mutagen-v23-utf16.mp3", ""},
      {"flac-16bit-tags.flac", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Read(c.Name)->EmbeddedCover, c.Cover) << c.Name;
}
