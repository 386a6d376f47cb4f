// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/MPEGaudio.h"
#include "support/Mp3Builder.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <vector>

namespace {
struct TAnalysis {
  bool Result;
  TMPEGaudio Audio;
};

TAnalysis Analyze(const TBytes& bytes) {
  TTempFolder folder;
  TAnalysis analysis{false, {}};
  analysis.Result = analysis.Audio.Analyze(folder.Write("t.mp3", bytes));
  return analysis;
}

std::vector<std::uint8_t> Block(const TBytes& bytes) {
  std::vector<std::uint8_t> block(bytes.begin(), bytes.end());
  block.resize(mpeg::BlockSize, 0);
  return block;
}

const THeaderFields Cbr128; // MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, joint stereo

// LAME's 36-byte tag: its version, VBR method, ABR or lowest rate and preset.
TBytes LameTag(int method, int rate, int preset) {
  TBytes tag = "LAME3.100" + TBytes(27, '\0');
  tag[9] = static_cast<char>(method);
  tag[20] = static_cast<char>(rate);
  tag[26] = static_cast<char>(preset >> 8);
  tag[27] = static_cast<char>(preset & 0xFF);
  return tag;
}

// The Xing header's quality, the last byte of its field before the LAME tag at 36 + 120.
TBytes WithQuality(TBytes frame, int quality) {
  frame[36 + 119] = static_cast<char>(quality);
  return frame;
}
} // namespace

TEST(MPEGFrame, HeaderValidity) {
  const struct {
    const char* Name;
    TBytes Header;
    bool Valid;
  } cases[] = {
      {"MPEG-1 Layer III", FrameHeader(Cbr128), true},
      {"first byte not 255", TBytes("\xFE\xFB\x90\x44", 4), false},
      {"sync bits incomplete", TBytes("\xFF\xDB\x90\x44", 4), false},
      {"reserved version", TBytes("\xFF\xEB\x90\x44", 4), false},
      {"reserved layer", TBytes("\xFF\xF9\x90\x44", 4), false},
      {"free-format bit rate", TBytes("\xFF\xFB\x00\x44", 4), false},
      {"bad bit rate", TBytes("\xFF\xFB\xF0\x44", 4), false},
      {"reserved sample rate", TBytes("\xFF\xFB\x9C\x44", 4), false},
      {"reserved emphasis", TBytes("\xFF\xFB\x90\x46", 4), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto bytes = Block(c.Header);
    EXPECT_EQ(mpeg::HeaderIsValid(std::span(bytes).first<4>()), c.Valid);
  }
}

TEST(MPEGFrame, LengthsOfEveryLayer) {
  const struct {
    const char* Name;
    THeaderFields Fields;
    int Length;
  } cases[] = {
      {"MPEG-1 III 128k 44.1k", Cbr128, 417},
      {"MPEG-1 III 128k 44.1k padded", {.Padded = true}, 418},
      {"MPEG-2 III 64k 22.05k", {.Version = TMpegVersion::Mpeg2, .BitRateIndex = 8}, 208},
      {"MPEG-1 I 32k 32k", {.Layer = TLayer::Layer1, .BitRateIndex = 1, .SampleRateIndex = 2}, 48},
      {"MPEG-1 I 32k 32k padded",
       {.Layer = TLayer::Layer1, .BitRateIndex = 1, .SampleRateIndex = 2, .Padded = true},
       52},
      {"MPEG-1 I 32k 44.1k counts slots", {.Layer = TLayer::Layer1, .BitRateIndex = 1}, 32},
      {"MPEG-2 I 32k 22.05k",
       {.Version = TMpegVersion::Mpeg2, .Layer = TLayer::Layer1, .BitRateIndex = 1},
       68},
      {"MPEG-1 II 384k 48k",
       {.Layer = TLayer::Layer2, .BitRateIndex = 14, .SampleRateIndex = 1},
       1152},
      {"MPEG-2.5 III 8k 8k",
       {.Version = TMpegVersion::Mpeg25, .BitRateIndex = 1, .SampleRateIndex = 2},
       72},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto bytes = Block(FrameHeader(c.Fields));
    EXPECT_EQ(mpeg::FrameLengthOf(mpeg::ParseHeader(std::span(bytes).first<4>())), c.Length);
  }
}

TEST(MPEGScan, FirstConfirmedFrameWins) {
  // A false sync in junk: 255 then a byte with its top three bits set, no frame behind it.
  const TBytes junk = TBytes(100, '\0') + FrameHeader(Cbr128) + TBytes(50, '\0');
  auto scan = mpeg::ScanForFrame(Block(junk + Frames(Cbr128, 3)));
  ASSERT_TRUE(scan.Frame.Present);
  EXPECT_EQ(scan.Frame.Offset, static_cast<int>(junk.size()));
  EXPECT_EQ(scan.Frame.Length, 417);

  // The next header beyond the block: not confirmed.
  scan = mpeg::ScanForFrame(Block(TBytes(3458 - 417 - 3, '\0') + Frames(Cbr128, 1)));
  EXPECT_FALSE(scan.Frame.Present);

  // A frame starting after offset 1729 is not looked for.
  scan = mpeg::ScanForFrame(Block(TBytes(1730, '\0') + Frames(Cbr128, 3)));
  EXPECT_FALSE(scan.Frame.Present);
  scan = mpeg::ScanForFrame(Block(TBytes(1729, '\0') + Frames(Cbr128, 3)));
  EXPECT_TRUE(scan.Frame.Present);
}

TEST(MPEGScan, VbrHeaderPositions) {
  const THeaderFields mono1{.Channel = Mono};
  const THeaderFields mono2{.Version = TMpegVersion::Mpeg2, .BitRateIndex = 8, .Channel = Mono};
  const THeaderFields stereo2{.Version = TMpegVersion::Mpeg2, .BitRateIndex = 8};
  const struct {
    const char* Name;
    THeaderFields Fields;
    TBytes First;
    bool Present;
    const char* Kind;
  } cases[] = {
      {"Xing in MPEG-1 mono at 21", mono1, XingFrame(mono1, 21, 100, 41700), true, "Xing"},
      {"Xing in MPEG-2 mono at 13", mono2, XingFrame(mono2, 13, 100, 20800), true, "Xing"},
      {"Xing in MPEG-2 stereo at 21", stereo2, XingFrame(stereo2, 21, 100, 20800), true, "Xing"},
      {"Xing in MPEG-1 stereo at 36", Cbr128, XingFrame(Cbr128, 36, 100, 41700), true, "Xing"},
      {"Xing at the wrong offset", Cbr128, XingFrame(Cbr128, 21, 100, 41700), false, ""},
      {"Info is not a VBR header", Cbr128, XingFrame(Cbr128, 36, 100, 41700, "", "Info"), false,
       ""},
      {"VBRI at 36 in MPEG-1 stereo", Cbr128, VbriFrame(Cbr128, 36, 100, 41700), true, "VBRI"},
      {"VBRI at 36 in MPEG-1 mono", mono1, VbriFrame(mono1, 36, 100, 41700), true, "VBRI"},
      {"VBRI at 36 in MPEG-2", stereo2, VbriFrame(stereo2, 36, 100, 20800), true, "VBRI"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto scan = mpeg::ScanForFrame(Block(c.First + Frames(c.Fields, 3)));
    ASSERT_TRUE(scan.Frame.Present);
    EXPECT_EQ(scan.VBRHeader.Present, c.Present);
    EXPECT_EQ(std::string(scan.VBRHeader.Kind.data(), c.Present ? 4 : 0), c.Kind);
  }
}

TEST(MPEGAnalysis, CbrStreamBehindTagsAndItsDuration) {
  const TBytes v2 = Id3v2Tag(3, "", 4096 - 10);
  const TBytes audio = Frames(Cbr128, 60);
  const TBytes v1 = Id3v1Tag({.Title = "t"});
  auto [result, mp3] = Analyze(v2 + audio + v1);
  ASSERT_TRUE(result);
  EXPECT_EQ(mp3.Frame().Offset, 0);
  EXPECT_EQ(mp3.FileBytes(), static_cast<std::int64_t>(v2.size() + audio.size() + v1.size()));
  EXPECT_FALSE(mp3.IsVBR());
  EXPECT_EQ(mp3.BitRate(), 128);
  EXPECT_EQ(mp3.SampleRate(), 44100);
  EXPECT_EQ(mp3.ChannelMode(), JointStereo);
  EXPECT_DOUBLE_EQ(mp3.Duration(), audio.size() / 128.0 / 1000.0 * 8.0);
}

TEST(MPEGAnalysis, VbrHeaderGivesBitRateAndDuration) {
  auto [result, mp3] = Analyze(XingFrame(Cbr128, 36, 10000, 10000 * 418) + Frames(Cbr128, 20));
  ASSERT_TRUE(result);
  EXPECT_TRUE(mp3.IsVBR());
  EXPECT_NEAR(mp3.Duration(), 1152.0 * 10000 / 44100, 1e-9); // 261.22 s
  EXPECT_EQ(mp3.BitRate(), 128);                             // 418 * 44100 / 144 / 1000 = 128.0

  // 2^31 - 1 frames: the sample count needs 64 bits.
  auto [big, longFile] = Analyze(XingFrame(Cbr128, 36, INT32_MAX, 1000) + Frames(Cbr128, 20));
  ASSERT_TRUE(big);
  EXPECT_NEAR(longFile.Duration(), 1152.0 * INT32_MAX / 44100, 1e-3);

  // A header counting no frames: table bit rate and the CBR duration, still VBR.
  const TBytes zero = XingFrame(Cbr128, 36, 0, 0) + Frames(Cbr128, 20);
  auto [ok, zeroFrames] = Analyze(zero);
  ASSERT_TRUE(ok);
  EXPECT_TRUE(zeroFrames.IsVBR());
  EXPECT_EQ(zeroFrames.BitRate(), 128);
  EXPECT_DOUBLE_EQ(zeroFrames.Duration(), zero.size() / 128.0 / 1000.0 * 8.0);
}

TEST(MPEGAnalysis, FramesFarBehindTheTagAreFoundInTheMiddleBlock) {
  const TBytes audio = TBytes(4000, '\0') + Frames(Cbr128, 40);
  auto [result, mp3] = Analyze(audio);
  ASSERT_TRUE(result);
  EXPECT_TRUE(mp3.Frame().Present);
  EXPECT_EQ(mp3.BitRate(), 128);
}

TEST(MPEGAnalysis, NotAudioIsSuccessWithEverythingCleared) {
  const TBytes text = Id3v2Tag(3, Id3v2Frame(3, "TIT2", TextData(0, "Lost"))) + TBytes(5000, 'x') +
                      Id3v1Tag({.Title = "Gone"});
  auto [result, mp3] = Analyze(text);
  EXPECT_TRUE(result);
  EXPECT_EQ(mp3.FileBytes(), 0);
  EXPECT_EQ(mp3.BitRate(), 0);
  EXPECT_EQ(mp3.SampleRate(), 0);
  EXPECT_EQ(mp3.ChannelMode(), 4);
  EXPECT_EQ(mp3.Duration(), 0);
  EXPECT_EQ(mp3.EncoderText(), "Unknown");
  EXPECT_FALSE(mp3.ID3v2Tag().Present);
  EXPECT_FALSE(mp3.ID3v1Tag().Present);
}

TEST(MPEGAnalysis, FailuresOfTheFile) {
  // A file shorter than a tag is still looked at (it failed before): it holds no audio.
  for (const TBytes& bytes : {TBytes(9, '\xFF'), TBytes(127, '\0'), TBytes()}) {
    const auto analysed = Analyze(bytes);
    EXPECT_TRUE(analysed.Result);
    EXPECT_FALSE(analysed.Audio.HasAudio());
  }
  TTempFolder folder;
  TMPEGaudio audio;
  EXPECT_FALSE(audio.Analyze(folder.Path()));
  EXPECT_FALSE(audio.Analyze(folder.Path() + "missing.mp3"));
}

TEST(MPEGAnalysis, ShortCbrFileIsAnalysed) {
  auto [result, mp3] = Analyze(Frames(Cbr128, 4) + Id3v1Tag({.Title = "Short"}));
  ASSERT_TRUE(result);
  EXPECT_EQ(mp3.BitRate(), 128);
  EXPECT_TRUE(mp3.ID3v1Tag().Present);
  EXPECT_DOUBLE_EQ(mp3.Duration(), 4 * 417 / 128.0 / 1000.0 * 8.0);
}

TEST(MPEGEncoder, TrailerVendorWithinTheWindow) {
  const THeaderFields plain{.Channel = Mono};
  const TBytes audio = Frames(plain, 30);
  const struct {
    const char* Name;
    TBytes Tail;
    const char* Expected;
  } cases[] = {
      {"LAME version", "LAME3.90" + TBytes(100, '\0'), "LAME 3.90"},
      {"LAME 3.100 keeps three digits", "LAME3.100" + TBytes(100, '\0'), "LAME 3.100"},
      {"LAME3.99r", "LAME3.99r" + TBytes(100, '\0'), "LAME 3.99"},
      {"one digit after the point", "LAME3.9 " + TBytes(100, '\0'), "LAME"},
      {"GOGO", "GOGO" + TBytes(100, '\0'), "GoGo"},
      {"at the very end", "LAME3.97", "LAME 3.97"},
      {"before the window", "LAME3.90" + TBytes(5 * 417 + 1, '\0'), "Fraunhofer"},
      {"at the window's edge", "LAME3.90" + TBytes(5 * 417, '\0'), "LAME 3.90"},
      {"the name nearest the end wins", "LAME3.90" + TBytes(20, '\0') + "GOGO" + TBytes(9, '\0'),
       "GoGo"},
      {"the later of two LAME names", "GOGO LAME3.90 LAME3.98" + TBytes(9, '\0'), "LAME 3.98"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    auto [result, mp3] = Analyze(audio + c.Tail);
    ASSERT_TRUE(result);
    EXPECT_EQ(mp3.EncoderText(), c.Expected);
  }
}

TEST(MPEGEncoder, HeaderRulesInOrder) {
  const struct {
    const char* Name;
    THeaderFields Fields;
    const char* Expected;
  } cases[] = {
      {"plain mono", {.Channel = Mono}, "Fraunhofer"},
      {"stereo at 128", {.Channel = Stereo}, "Blade"},
      {"stereo above 160", {.BitRateIndex = 11, .Channel = Stereo}, "Fraunhofer"},
      {"original with CRC", {.Crc = true, .Channel = Mono, .Original = true}, "LAME"},
      {"copyrighted original", {.Channel = Mono, .Copyrighted = true, .Original = true}, "Xing"},
      {"Layer II", {.Layer = TLayer::Layer2, .Channel = Mono}, "QDesign"},
      {"dual channel with CRC", {.Crc = true, .Channel = DualChannel}, "Shine"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    auto [result, mp3] = Analyze(Frames(c.Fields, 30));
    ASSERT_TRUE(result);
    EXPECT_EQ(mp3.EncoderText(), c.Expected);
  }
  // The six bytes behind the header are zero and the frame is original: Xing.
  const THeaderFields original{.Channel = Mono, .Original = true};
  auto [result, mp3] = Analyze(Frame(original, '\0') + Frames(original, 30));
  ASSERT_TRUE(result);
  EXPECT_EQ(mp3.EncoderText(), "Xing");
}

TEST(MPEGEncoder, VbrHeaderTags) {
  const auto lame = [](int method, int rate, int preset, std::string_view id = "Xing") {
    return XingFrame(Cbr128, 36, 100, 41800, LameTag(method, rate, preset), id);
  };
  const struct {
    const char* Name;
    TBytes First;
    const char* Expected;
    const char* Setting = "";
  } cases[] = {
      {"Xing with LAME", XingFrame(Cbr128, 36, 100, 41800, "LAME3.97"), "LAME 3.97"},
      {"Xing with LAME 3.100", XingFrame(Cbr128, 36, 100, 41800, "LAME3.100"), "LAME 3.100"},
      {"Xing with GOGO", XingFrame(Cbr128, 36, 100, 41800, "GOGO"), "GoGo"},
      {"Xing with MPGE", XingFrame(Cbr128, 36, 100, 41800, "MPGE"), "GoGo"},
      {"Xing alone", XingFrame(Cbr128, 36, 100, 41800), "Xing"},
      {"VBRI", VbriFrame(Cbr128, 36, 100, 41800), "Fraunhofer"},
      {"VBR by its V preset", lame(4, 32, 480), "LAME 3.100", "-V2"},
      {"VBR by the quality alone", WithQuality(lame(3, 32, 0), 67), "LAME 3.100", "-V3"},
      {"VBR without either", lame(4, 32, 0), "LAME 3.100", ""},
      {"a named preset of LAME 3.9x", lame(4, 32, 1002), "LAME 3.100", "--preset extreme"},
      {"ABR", lame(2, 192, 192), "LAME 3.100", "--abr 192"},
      {"ABR above 255 from the preset", lame(9, 255, 320), "LAME 3.100", "--abr 320"},
      // The name stays the frames' guess: a real file names LAME at its end.
      {"CBR in an Info header, at the frame's rate", lame(1, 255, 320, "Info"), "Fraunhofer",
       "-b 128"},
      {"an unknown method", lame(0, 0, 0), "LAME 3.100", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    auto [result, mp3] = Analyze(c.First + Frames(Cbr128, 10));
    ASSERT_TRUE(result);
    EXPECT_EQ(mp3.EncoderText(), c.Expected);
    EXPECT_EQ(mp3.EncoderSetting(), c.Setting);
  }
}
