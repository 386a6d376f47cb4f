// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/AlbumFieldTable.h"

#include "common/Host.h"
#include "generate/AlbumDiscs.h"
#include "generate/AlbumRipLog.h"
#include "generate/AnalysisTexts.h"
#include "generate/CoverImage.h"
#include "generate/TokenUnit.h"

#include <cctype>
#include <cmath>

namespace {
template <std::string TAlbumInfo::*Member> std::string Get(const TAlbumInfo& album) {
  return album.*Member;
}
template <std::string TAlbumInfo::*Member> void Set(TAlbumInfo& album, const std::string& value) {
  album.*Member = value;
}

std::string ShortDate(TDateTime value) {
  return CurrentHost().ShortDateText(std::floor(value));
}

// What the window's boxes offer besides the tracks' own values.
constexpr std::string_view VariousArtistsItems[] = {"Various Artists"};
constexpr std::string_view SourceItems[] = {"CD", "Cassette", "FM Radio", "Vinyl", "DVD", "DAT"};
constexpr std::string_view BitRateItems[] = {"32 K/sec",  "64 K/sec",  "96 K/sec",  "128 K/sec",
                                             "160 K/sec", "192 K/sec", "224 K/sec", "256 K/sec",
                                             "298 K/sec", "320 K/sec"};
constexpr std::string_view SampleRateItems[] = {"8,000 Hz",  "11,025 Hz", "12,000 Hz",
                                                "16,000 Hz", "22,050 Hz", "24,000 Hz",
                                                "32,000 Hz", "44,100 Hz", "48,000 Hz"};
constexpr std::string_view BitsPerSampleItems[] = {"16-bit", "24-bit"};
constexpr std::string_view Id3TagItems[] = {"None",    "ID3v1.0", "ID3v1.1",
                                            "ID3v2.0", "ID3v2.3", "ID3v2.4"};
constexpr std::string_view StereoModeItems[] = {"Stereo", "Joint Stereo", "Dual", "Mono"};

using T = TAlbumInfo;
using B = TAlbumFieldTexts;
using L = TTrackLists;
using P = TPreferences;
} // namespace

namespace {
const auto Fields = std::to_array<TAlbumField>({
    // Measured (once a document shows them): replaced first, so that "$ALBUM"
    // does not take the start of "$ALBUM_GAIN".
    {.Name = "DR", .Token = token::Dr, .Get = AlbumDrText},
    {.Name = "Loudness", .Token = token::Loudness, .Get = AlbumLoudnessText},
    {.Name = "AlbumGain", .Token = token::AlbumGain, .Get = AlbumGainText},
    {.Name = "Artist",
     .Token = token::Artist,
     .Box = "ComboBoxArtist",
     .Text = &B::Artist,
     .Place = {.Group = TBoxGroup::Album,
               .Row = 0,
               .Column = 0,
               .Span = 3,
               .Label = "&Artist ",
               .Items = VariousArtistsItems},
     .Option = "--artist",
     .OptionValue = "TEXT",
     .OptionHelp = "the album's artist",
     .Fill = TFill::Replace,
     .TrackList = &L::Artists,
     .ClearedWithTracks = true,
     .Get = [](const T& album) { return album.Artist(); },
     .Set =
         [](T& album, const std::string& value) {
           album.SetArtist(value);
         }},
    {.Name = "AlbumTitle",
     .Token = token::Album,
     .Box = "ComboBoxAlbumTitle",
     .Text = &B::AlbumTitle,
     .Place =
         {.Group = TBoxGroup::Album, .Row = 1, .Column = 0, .Span = 3, .Label = "A&lbum Title "},
     .Option = "--album",
     .OptionValue = "TEXT",
     .OptionHelp = "the album's title",
     .Fill = TFill::Replace,
     .TrackList = &L::Albums,
     .ClearedWithTracks = true,
     .Get = [](const T& album) { return album.AlbumTitle(); },
     .Set =
         [](T& album, const std::string& value) {
           album.SetAlbumTitle(value);
         }},
    {.Name = "Source",
     .Token = token::Source,
     .Box = "ComboBoxSource",
     .Text = &B::Source,
     .Place = {.Group = TBoxGroup::Album,
               .Row = 2,
               .Column = 2,
               .Label = "Sou&rce ",
               .Items = SourceItems},
     .Option = "--source",
     .OptionValue = "TEXT",
     .OptionHelp = "its source (CD, Vinyl, ...)",
     .Fill = TFill::KeepWhenNone,
     .Get = Get<&T::Source>,
     .Set = Set<&T::Source>},
    {.Name = "Year",
     .Token = token::Year,
     .Box = "ComboBoxYear",
     .Text = &B::Year,
     .Place = {.Group = TBoxGroup::Album, .Row = 2, .Column = 0, .Label = "&Year "},
     .Option = "--year",
     .OptionValue = "TEXT",
     .OptionHelp = "its year",
     .Fill = TFill::Replace,
     .TrackList = &L::Years,
     .ClearedWithTracks = true,
     .Get = Get<&T::Year>,
     .Set = Set<&T::Year>},
    {.Name = "Genre",
     .Token = token::Genre,
     .Box = "ComboBoxGenre",
     .Text = &B::Genre,
     .Place = {.Group = TBoxGroup::Album,
               .Row = 3,
               .Column = 0,
               .Span = 3,
               .Label = "&Genre ",
               .Characters = 22},
     .Option = "--genre",
     .OptionValue = "TEXT",
     .OptionHelp = "its genre",
     .Fill = TFill::Replace,
     .ClearedWithTracks = true,
     .Get = Get<&T::Genre>,
     .Set = Set<&T::Genre>},
    {.Name = "RecordLabel",
     .Token = token::Label,
     .Box = "ComboBoxRecordLabel",
     .Text = &B::RecordLabel,
     .Place = {.Group = TBoxGroup::Album,
               .Row = 4,
               .Column = 0,
               .Span = 3,
               .Label = "Record La&bel ",
               .Characters = 40},
     .Option = "--label",
     .OptionValue = "TEXT",
     .OptionHelp = "its record label",
     .Fill = TFill::KeepWhenNone,
     .Remembered = rlLabels,
     .Get = Get<&T::RecordLabel>,
     .Set = Set<&T::RecordLabel>},
    {.Name = "Encoder",
     .Token = token::Encoder,
     .Box = "ComboBoxEncoder",
     .Text = &B::Encoder,
     .Place =
         {.Group = TBoxGroup::Technical, .Row = 0, .Column = 0, .Span = 2, .Label = "Encoder "},
     .Option = "--encoder",
     .OptionValue = "TEXT",
     .OptionHelp = "the encoder",
     .Fill = TFill::Replace,
     .Remembered = rlEncoders,
     .Preference = &P::Encoder,
     .Get = Get<&T::Encoder>,
     .Set = Set<&T::Encoder>},
    {.Name = "Codec",
     .Token = token::Codec,
     .Box = "ComboBoxCodec",
     .Text = &B::Codec,
     .Place = {.Group = TBoxGroup::Technical, .Row = 1, .Column = 0, .Span = 2, .Label = "Codec "},
     .Option = "--codec",
     .OptionValue = "TEXT",
     .OptionHelp = "the codec",
     .Fill = TFill::Replace,
     .Remembered = rlCodecs,
     .Preference = &P::Codec,
     .Get = Get<&T::Codec>,
     .Set = Set<&T::Codec>},
    {.Name = "BitRate",
     .Token = token::BitRate,
     .Box = "ComboBoxBitRate",
     .Text = &B::BitRate,
     .Place = {.Group = TBoxGroup::Technical,
               .Row = 2,
               .Column = 0,
               .Label = "B&it Rate ",
               .Items = BitRateItems},
     .Option = "--bitrate",
     .OptionValue = "TEXT",
     .OptionHelp = "the bit rate",
     .Fill = TFill::Replace,
     .ClearedWithTracks = true,
     .Get = Get<&T::BitRate>,
     .Set = Set<&T::BitRate>,
     .Stored =
         [](const B& texts) {
           return texts.VBR ? "VBR ~" + texts.BitRate : texts.BitRate;
         }},
    {.Name = "SampleRate",
     .Token = token::SampleRate,
     .Box = "ComboBoxSampleRate",
     .Text = &B::SampleRate,
     .Place = {.Group = TBoxGroup::Technical,
               .Row = 3,
               .Column = 0,
               .Label = "Sa&mple Rate ",
               .Items = SampleRateItems},
     .Option = "--samplerate",
     .OptionValue = "TEXT",
     .OptionHelp = "the sample rate",
     .Fill = TFill::Replace,
     .ClearedWithTracks = true,
     .Get = Get<&T::SampleRate>,
     .Set = Set<&T::SampleRate>},
    {.Name = "BitsPerSample",
     .Token = token::BitsPerSample,
     .Box = "ComboBoxBitsPerSample",
     .Text = &B::BitsPerSample,
     .Place = {.Group = TBoxGroup::Technical,
               .Row = 3,
               .Column = 2,
               .Items = BitsPerSampleItems,
               .Hint = "Bits per sample (lossless albums)"},
     .Option = "--bits-per-sample",
     .OptionValue = "TEXT",
     .OptionHelp = "the bits per sample of a lossless album (16-bit, 24-bit)",
     .Fill = TFill::Replace,
     .ClearedWithTracks = true,
     .Get = Get<&T::BitsPerSample>,
     .Set = Set<&T::BitsPerSample>},
    {.Name = "StereoMode",
     .Token = token::Stereo,
     .Box = "RadioGroupStereoMode",
     .Text = &B::StereoMode,
     .Place = {.Group = TBoxGroup::Technical,
               .Row = 5,
               .Column = 0,
               .Span = 3,
               .Label = "Stereo Mode",
               .Items = StereoModeItems},
     .Option = "--stereo",
     .OptionValue = "stereo|joint|dual|mono",
     .OptionHelp = "the stereo mode",
     .Fill = TFill::Replace,
     .ClearedWithTracks = true,
     .Get = Get<&T::StereoMode>,
     .Set = Set<&T::StereoMode>,
     .Stored =
         [](const B& texts) {
           if (texts.StereoMode == -1) // the stream has no MPEG mode
             return std::string();
           return std::string(StereoModeNames[texts.StereoMode >= 0 && texts.StereoMode <= 3
                                                  ? static_cast<std::size_t>(texts.StereoMode)
                                                  : 0]);
         }},
    {.Name = "Quality",
     .Token = token::Quality,
     .Get = Get<&T::Quality>,
     .Set = Set<&T::Quality>,
     .Stored =
         [](const B&) {
           return std::string("Hi");
         }},
    {.Name = "ID3Version",
     .Token = token::ID3Version,
     .Box = "ComboBoxID3Tag",
     .Text = &B::ID3Version,
     .Place = {.Group = TBoxGroup::Technical,
               .Row = 4,
               .Column = 0,
               .Span = 2,
               .Label = "ID&3 Tag ",
               .Items = Id3TagItems},
     .Option = "--id3",
     .OptionValue = "TEXT",
     .OptionHelp = "the ID3 tag version",
     .Fill = TFill::Replace,
     .ClearedWithTracks = true,
     .Get = Get<&T::ID3Version>,
     .Set = Set<&T::ID3Version>},
    {.Name = "PostedBy",
     .Token = token::PostedBy,
     .Box = "ComboBoxPostedBy",
     .Text = &B::PostedBy,
     .Place = {.Group = TBoxGroup::Posting, .Row = 1, .Column = 0, .Label = "Posted by "},
     .Option = "--posted-by",
     .OptionValue = "TEXT",
     .OptionHelp = "the poster",
     .Remembered = rlPostedBy,
     .Preference = &P::PostedBy,
     .Get = Get<&T::PostedBy>,
     .Set = Set<&T::PostedBy>},
    {.Name = "PostDate",
     .Token = token::PostDate,
     .Box = "DateTimePickerPostDate",
     .Text = &B::PostDate,
     .Place = {.Group = TBoxGroup::Posting, .Row = 1, .Column = 2, .Label = "On ", .Help = 794},
     .Option = "--post-date",
     .OptionValue = "YYYY-MM-DD",
     .OptionHelp = "the post date",
     .Get = Get<&T::PostDate>,
     .Set = Set<&T::PostDate>,
     .Stored =
         [](const B& texts) {
           return ShortDate(texts.PostDate);
         }},
    {.Name = "RippedBy",
     .Token = token::RippedBy,
     .Box = "ComboBoxRippedBy",
     .Text = &B::RippedBy,
     .Place = {.Group = TBoxGroup::Posting, .Row = 0, .Column = 0, .Label = "Ripped by "},
     .Option = "--ripped-by",
     .OptionValue = "TEXT",
     .OptionHelp = "the ripper",
     .Remembered = rlRippedBy,
     .Preference = &P::RippedBy,
     .Get = Get<&T::RippedBy>,
     .Set = Set<&T::RippedBy>},
    {.Name = "RipDate",
     .Token = token::RipDate,
     .Box = "DateTimePickerRipDate",
     .Text = &B::RipDate,
     .Place = {.Group = TBoxGroup::Posting, .Row = 0, .Column = 2, .Label = "On ", .Help = 793},
     .Option = "--rip-date",
     .OptionValue = "YYYY-MM-DD",
     .OptionHelp = "the rip date",
     .Fill = TFill::Replace,
     .Get = Get<&T::RipDate>,
     .Set = Set<&T::RipDate>,
     .Stored =
         [](const B& texts) {
           return ShortDate(texts.RipDate);
         }},
    // Known from the album's other files: no box, no option, nothing to set.
    {.Name = "Cover", .Token = token::Cover, .Get = CoverText},
    {.Name = "LogScore", .Token = token::LogScore, .Get = LogScoreText},
    {.Name = "LogSummary", .Token = token::LogSummary, .Get = LogSummaryText},
    {.Name = "RipperDrive", .Token = token::RipperDrive, .Get = AlbumRipperDriveText},
    {.Name = "AccurateRip", .Token = token::AccurateRip, .Get = AlbumAccurateRipText},
    {.Name = "LogMatch", .Token = token::LogMatch, .Get = AlbumLogMatchText},
    {.Name = "DiscCount",
     .Token = token::DiscCount,
     .Get =
         [](const T& album) {
           return std::to_string(DiscCount(album));
         }},
    // The VBR mark is a box of its own that the bit rate's text carries.
    {.Box = "CheckBoxVBR",
     .Text = &B::VBR,
     .Place = {.Group = TBoxGroup::Technical, .Row = 2, .Column = 2, .Label = "&VBR", .Help = 693},
     .Option = "--vbr",
     .OptionHelp = "the bit rate is variable (VBR)",
     .Fill = TFill::Replace},
});
} // namespace

const std::span<const TAlbumField> AlbumFields = Fields;

std::optional<int> StereoModeIndex(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  constexpr std::array<std::string_view, 4> Words = {"stereo", "joint", "dual", "mono"};
  constexpr std::array<std::string_view, 4> Long = {"stereo", "joint stereo", "dual channel",
                                                    "mono"};
  for (std::size_t i = 0; i < Words.size(); ++i)
    if (text == Words[i] || text == Long[i] || text == std::to_string(i))
      return static_cast<int>(i);
  return std::nullopt;
}
