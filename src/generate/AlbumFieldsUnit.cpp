// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/AlbumFieldsUnit.h"

#include "common/ErrorsUnit.h"
#include "common/Host.h"
#include "common/IntToAbbrStrUnit.h"
#include "common/MostPopularUnit.h"
#include "common/PreferencesUnit.h"
#include "common/RememberedListsUnit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {
// The records that vote on a field, in listing order; nullptr for a track without one.
using TVoters = std::vector<const TTrackInfo*>;

TVoters AllTracks(const TAlbumInfo& album) {
  TVoters voters;
  for (const TTrackEntry& track : album.Tracks)
    voters.push_back(track.Info.get());
  return voters;
}

// A file whose audio could not be read knows nothing of bit rates or codecs: it votes
// on the technical fields only when no track could be read.
TVoters AnalysedTracks(const TAlbumInfo& album) {
  TVoters voters;
  for (const TTrackEntry& track : album.Tracks)
    if (track.Info && track.Info->Analysed)
      voters.push_back(track.Info.get());
  return voters.empty() ? AllTracks(album) : voters;
}

template <typename Field> std::string MajorityText(const TVoters& voters, Field field) {
  std::vector<std::string> values;
  for (const TTrackInfo* track : voters)
    values.push_back(track ? std::invoke(field, *track) : std::string());
  return MostPopularStr(values);
}

template <typename Value> std::int32_t MajorityNumber(const TVoters& voters, Value value) {
  std::vector<std::int32_t> values;
  for (std::size_t i = 0; i < voters.size(); ++i)
    values.push_back(voters[i] ? value(*voters[i], i) : 0);
  return MostPopularInt(values);
}

std::string OrUnknown(std::string text) {
  return text.empty() ? UnknownText : text;
}
} // namespace

bool IsVariousArtists(std::size_t trackCount, std::size_t artistCount) {
  return trackCount > 1 && artistCount > trackCount * 75 / 100;
}

TAlbumFieldChoices DecideAlbumFields(const TAlbumInfo& album, std::size_t artistCount) {
  const TVoters all = AllTracks(album);
  const TVoters analysed = AnalysedTracks(album);
  TAlbumFieldChoices c;
  c.PlayingTime = DurationToStr(album.PlayingSeconds);
  c.TotalSize = IntToAbbrStr(album.TotalBytes);
  c.Album = MajorityText(all, &TTrackInfo::Album);
  c.VariousArtists = IsVariousArtists(album.Tracks.size(), artistCount);
  c.Artist = c.VariousArtists ? VariousArtistsText : MajorityText(all, &TTrackInfo::Artist);
  // A year that is not a number counts as a value no other track shares.
  c.Year = MajorityNumber(all, [](const TTrackInfo& t, std::size_t position) {
    const auto year = ParsePreferenceInteger(t.Year);
    return year && *year >= INT32_MIN && *year <= INT32_MAX
               ? static_cast<std::int32_t>(*year)
               : -static_cast<std::int32_t>(position + 1);
  });
  c.Source = MajorityText(all, &TTrackInfo::MediaType);
  c.RecordLabel = MajorityText(all, &TTrackInfo::Publisher);
  c.Genre = MajorityText(all, &TTrackInfo::Genre);
  c.Encoder = OrUnknown(MajorityText(analysed, &TTrackInfo::EncodedBy));
  c.Codec = OrUnknown(MajorityText(analysed, &TTrackInfo::Codec));
  c.BitRate = std::to_string(MajorityNumber(
                  analysed, [](const TTrackInfo& t, std::size_t) { return t.BitRate; })) +
              "K/s";
  c.VBR = MajorityNumber(analysed,
                         [](const TTrackInfo& t, std::size_t) { return t.IsVBR ? 1 : 0; }) != 0;
  c.SampleRate = std::to_string(MajorityNumber(
                     analysed, [](const TTrackInfo& t, std::size_t) { return t.SampleRate; })) +
                 "Hz";
  const int mode =
      MajorityNumber(analysed, [](const TTrackInfo& t, std::size_t) { return t.ChannelMode; });
  c.StereoMode = mode >= 0 && mode <= 3 ? mode : 0;
  c.TagVersion = MajorityText(analysed, &TTrackInfo::TagVersion);
  c.RipDate = MajorityNumber(all, [](const TTrackInfo& t, std::size_t) {
    return static_cast<std::int32_t>(std::floor(t.FileDate));
  });
  return c;
}

void StoreAlbumFields(TAlbumInfo& album, const TAlbumFieldTexts& t) {
  THost& host = CurrentHost();
  album.SetArtist(t.Artist);
  album.SetAlbumTitle(t.AlbumTitle);
  album.Year = t.Year;
  album.Genre = t.Genre;
  album.Source = t.Source;
  album.RecordLabel = t.RecordLabel;
  album.Encoder = t.Encoder;
  album.Codec = t.Codec;
  album.BitRate = t.VBR ? "VBR ~" + t.BitRate : t.BitRate;
  album.SampleRate = t.SampleRate;
  album.StereoMode = StereoModeNames[t.StereoMode >= 0 && t.StereoMode <= 3 ? t.StereoMode : 0];
  album.Quality = "Hi";
  album.ID3Version = t.ID3Version;
  album.PostedBy = t.PostedBy;
  album.PostDate = host.ShortDateText(std::floor(t.PostDate));
  album.RippedBy = t.RippedBy;
  album.RipDate = host.ShortDateText(std::floor(t.RipDate));
  album.NewsGroups = t.NewsGroups;
}

std::string FileNamePart(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

std::string FolderPart(const std::string& path) {
  return path.substr(0, path.rfind('/') + 1);
}

std::string TrackLine(std::size_t position, const TTrackEntry& track, bool useTagInfo,
                      bool hidePaths) {
  std::string text = track.Path;
  if (useTagInfo)
    text = track.Info ? track.Info->Title : std::string(NoTagTitle);
  else if (hidePaths)
    text = FileNamePart(track.Path);
  char number[24];
  std::snprintf(number, sizeof number, "%2zu. ", position + 1);
  return number + text;
}

std::string TrackCountText(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " Track" : " Tracks");
}

std::optional<std::string>
ComputeMissingChecksums(TAlbumInfo& album,
                        const std::function<void(std::size_t, std::size_t)>& progress) {
  const std::size_t total = album.Tracks.size();
  for (std::size_t i = 0; i < total; ++i) {
    TTrackEntry& track = album.Tracks[i];
    if (track.Info && track.Info->Checksum == NoChecksum) {
      auto checksum = FileChecksumText(track.Path);
      if (!checksum)
        return track.Path;
      track.Info->Checksum = std::move(*checksum);
    }
    if (progress)
      progress(i + 1, total);
  }
  return std::nullopt;
}

void AddTrackToLists(TTrackLists& lists, const TTrackInfo& track) {
  auto add = [](std::vector<std::string>& list, const std::string& text) {
    if (!text.empty() && LacksIgnoringCase(list, text))
      InsertSortedIgnoringCase(list, text);
  };
  if (track.HasTag)
    add(lists.Artists, track.Artist);
  add(lists.Albums, track.Album);
  add(lists.Years, track.Year);
}

void AddTrackRecord(TAlbumInfo& album, TTrackLists& lists, const std::string& path,
                    std::unique_ptr<TTrackInfo> track) {
  AddTrackToLists(lists, *track);
  album.PlayingSeconds += track->Duration;
  album.TotalBytes += track->FileSize;
  album.Tracks.push_back({path, std::move(track)});
}

void FillAlbumBoxes(TAlbumInfo& album, const TTrackLists& lists, TAlbumFieldTexts& boxes) {
  const TAlbumFieldChoices c = DecideAlbumFields(album, lists.Artists.size());
  auto textOrFirst = [](std::string& box, const std::string& text,
                        const std::vector<std::string>& list) {
    if (!text.empty())
      box = text;
    else if (!list.empty())
      box = list.front();
  };
  album.PlayingTime = c.PlayingTime;
  album.TotalSize = c.TotalSize;
  album.VariousArtists = c.VariousArtists;
  textOrFirst(boxes.AlbumTitle, c.Album, lists.Albums);
  textOrFirst(boxes.Artist, c.Artist, lists.Artists);
  const std::string year = std::to_string(c.Year);
  const bool listed = std::find(lists.Years.begin(), lists.Years.end(), year) != lists.Years.end();
  textOrFirst(boxes.Year, listed ? year : std::string(), lists.Years);
  if (!c.Source.empty())
    boxes.Source = c.Source;
  if (!c.RecordLabel.empty())
    boxes.RecordLabel = c.RecordLabel;
  boxes.Genre = c.Genre;
  boxes.Encoder = c.Encoder;
  boxes.Codec = c.Codec;
  boxes.BitRate = c.BitRate;
  boxes.VBR = c.VBR;
  boxes.SampleRate = c.SampleRate;
  boxes.StereoMode = c.StereoMode;
  boxes.ID3Version = c.TagVersion;
  boxes.RipDate = c.RipDate;
}
