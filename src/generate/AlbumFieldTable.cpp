// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/AlbumFieldTable.h"

#include "generate/TokenUnit.h"

namespace {
template <std::string TAlbumInfo::*Member> std::string Get(const TAlbumInfo& album) {
  return album.*Member;
}
template <std::string TAlbumInfo::*Member> void Set(TAlbumInfo& album, const std::string& value) {
  album.*Member = value;
}

template <std::string TAlbumInfo::*Member>
constexpr TAlbumField Field(std::string_view name, std::string_view token,
                            std::string_view option = {},
                            std::string TAlbumFieldTexts::*text = nullptr) {
  return {name, token, option, text, &Get<Member>, &Set<Member>};
}

using T = TAlbumInfo;
using B = TAlbumFieldTexts;
} // namespace

const std::array<TAlbumField, 17> AlbumFields = {{
    {"Artist", token::Artist, "--artist", &B::Artist, [](const T& album) { return album.Artist(); },
     [](T& album, const std::string& value) {
       album.SetArtist(value);
     }},
    {"AlbumTitle", token::Album, "--album", &B::AlbumTitle,
     [](const T& album) { return album.AlbumTitle(); },
     [](T& album, const std::string& value) {
       album.SetAlbumTitle(value);
     }},
    Field<&T::Source>("Source", token::Source, "--source", &B::Source),
    Field<&T::Year>("Year", token::Year, "--year", &B::Year),
    Field<&T::Genre>("Genre", token::Genre, "--genre", &B::Genre),
    Field<&T::RecordLabel>("RecordLabel", token::Label, "--label", &B::RecordLabel),
    Field<&T::Encoder>("Encoder", token::Encoder, "--encoder", &B::Encoder),
    Field<&T::Codec>("Codec", token::Codec, "--codec", &B::Codec),
    Field<&T::BitRate>("BitRate", token::BitRate, "--bitrate", &B::BitRate),
    Field<&T::SampleRate>("SampleRate", token::SampleRate, "--samplerate", &B::SampleRate),
    Field<&T::StereoMode>("StereoMode", token::Stereo), // --stereo picks one of four
    Field<&T::Quality>("Quality", token::Quality),
    Field<&T::ID3Version>("ID3Version", token::ID3Version, "--id3", &B::ID3Version),
    Field<&T::PostedBy>("PostedBy", token::PostedBy, "--posted-by", &B::PostedBy),
    Field<&T::PostDate>("PostDate", token::PostDate), // --post-date takes a date
    Field<&T::RippedBy>("RippedBy", token::RippedBy, "--ripped-by", &B::RippedBy),
    Field<&T::RipDate>("RipDate", token::RipDate), // --rip-date takes a date
}};
