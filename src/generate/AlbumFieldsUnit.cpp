// SPDX-License-Identifier: GPL-3.0-or-later
#include "generate/AlbumFieldsUnit.h"

#include "audio/TrackReaderUnit.h"
#include "common/ErrorsUnit.h"
#include "common/Host.h"
#include "common/IntToAbbrStrUnit.h"
#include "common/MostPopularUnit.h"
#include "common/PreferencesUnit.h"
#include "common/RememberedListsUnit.h"
#include "common/TextUnit.h"
#include "common/TrackKinds.h"
#include "generate/AlbumFieldTable.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <type_traits>
#include <variant>

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

// The album artist every tagged track names, when they all name the same one.
std::optional<std::string> AgreedAlbumArtist(const TVoters& voters) {
  std::optional<std::string> agreed;
  for (const TTrackInfo* track : voters) {
    if (!track || !track->HasTag)
      continue;
    if (track->AlbumArtist.empty() || (agreed && *agreed != track->AlbumArtist))
      return std::nullopt;
    agreed = track->AlbumArtist;
  }
  return agreed;
}

bool IsVariousArtistsName(const std::string& name) {
  const std::string folded = FoldCase(name);
  return folded == FoldCase(VariousArtistsText) || folded == "various";
}

// The album's average over the tracks' playing time: the rate of a lossless stream
// follows its music, so no two tracks share one for a majority to find.
std::int32_t AverageBitRate(const TVoters& voters) {
  double seconds = 0, kilobits = 0;
  for (const TTrackInfo* track : voters)
    if (track && track->Duration > 0) {
      seconds += track->Duration;
      kilobits += track->BitRate * track->Duration;
    }
  return seconds > 0 ? static_cast<std::int32_t>(std::lround(kilobits / seconds)) : 0;
}

std::string OrUnknown(std::string text) {
  return text.empty() ? UnknownText : text;
}
} // namespace

bool IsVariousArtists(std::size_t trackCount, std::size_t artistCount) {
  return trackCount > 1 && artistCount > trackCount * 75 / 100;
}

namespace {
// The album's artist: one by majority, "Various Artists" when most tracks differ, unless the
// tracks' album-artist frame or compilation flag says otherwise.
void DecideArtist(const TVoters& all, std::size_t trackCount, std::size_t artistCount,
                  TAlbumDecision& d) {
  TAlbumFieldTexts& p = d.Proposed;
  d.VariousArtists = IsVariousArtists(trackCount, artistCount);
  p.Artist = d.VariousArtists ? VariousArtistsText : MajorityText(all, &TTrackInfo::Artist);
  // The album-artist frame, when every tagged track has the same one, says who made the
  // album whoever sings each track ("MC Lumen feat. X"); "Various Artists" there, or the
  // compilation flag on every track, says it is a compilation.
  if (const auto albumArtist = AgreedAlbumArtist(all)) {
    d.VariousArtists = IsVariousArtistsName(*albumArtist);
    p.Artist = d.VariousArtists ? VariousArtistsText : *albumArtist;
  } else if (trackCount > 1 && std::all_of(all.begin(), all.end(), [](const TTrackInfo* t) {
               return t && t->Compilation;
             })) {
    d.VariousArtists = true;
    p.Artist = VariousArtistsText;
  }
}

// A year that is not a number counts as a value no other track shares.
std::int32_t DecideYear(const TVoters& all) {
  return MajorityNumber(all, [](const TTrackInfo& t, std::size_t position) {
    // Decimal digits only: a tag's "0x7D0" is no year 2000.
    std::int32_t year = 0;
    const char* end = t.Year.data() + t.Year.size();
    const auto [stop, error] = std::from_chars(t.Year.data(), end, year);
    return !t.Year.empty() && error == std::errc() && stop == end
               ? year
               : -static_cast<std::int32_t>(position + 1);
  });
}

// What the tracks' streams say, by the tracks that were read as audio.
void DecideStream(const TVoters& analysed, TAlbumDecision& d) {
  TAlbumFieldTexts& p = d.Proposed;
  // Without a tag that names the encoder, its own header tells how it was set.
  std::string encoder = MajorityText(analysed, &TTrackInfo::EncodedBy);
  if (encoder.empty())
    encoder = MajorityText(analysed, [](const TTrackInfo& t) {
      return t.EncoderSetting.empty() ? std::string() : t.Codec + " " + t.EncoderSetting;
    });
  p.Encoder = OrUnknown(encoder);
  p.Codec = OrUnknown(MajorityText(analysed, &TTrackInfo::Codec));
  d.Format = MajorityText(analysed, &TTrackInfo::Format);
  const auto majority = [&analysed](auto value) {
    return MajorityNumber(analysed, [value](const TTrackInfo& t, std::size_t) { return value(t); });
  };
  d.Lossless = majority([](const TTrackInfo& t) { return t.Lossless ? 1 : 0; }) != 0;
  p.BitRate =
      std::to_string(IsMp3Format(d.Format) ? majority([](const TTrackInfo& t) { return t.BitRate; })
                                           : AverageBitRate(analysed)) +
      "K/s";
  p.VBR = majority([](const TTrackInfo& t) { return t.IsVBR ? 1 : 0; }) != 0;
  p.SampleRate = std::to_string(majority([](const TTrackInfo& t) { return t.SampleRate; })) + "Hz";
  const int bits = majority([](const TTrackInfo& t) { return t.BitsPerSample; });
  p.BitsPerSample = bits > 0 ? std::to_string(bits) + "-bit" : "";
  const int mode = majority([](const TTrackInfo& t) { return t.ChannelMode; });
  p.StereoMode = mode >= -1 && mode <= 3 ? mode : 0;
  // Only an MP3 file has an ID3 version to tell; the others' tags are no answer here.
  p.ID3Version = MajorityText(analysed, [](const TTrackInfo& t) {
    return IsMp3Format(t.Format) ? t.TagVersion : std::string();
  });
}
} // namespace

TAlbumDecision DecideAlbumFields(const TAlbumInfo& album, std::size_t artistCount) {
  const TVoters all = AllTracks(album);
  TAlbumDecision d;
  TAlbumFieldTexts& p = d.Proposed;
  d.PlayingTime = DurationToStr(album.PlayingSeconds);
  d.TotalSize = IntToAbbrStr(album.TotalBytes);
  p.AlbumTitle = MajorityText(all, &TTrackInfo::Album);
  DecideArtist(all, album.Tracks.size(), artistCount, d);
  d.Year = DecideYear(all);
  p.Year = std::to_string(d.Year);
  p.Source = MajorityText(all, &TTrackInfo::MediaType);
  p.RecordLabel = MajorityText(all, &TTrackInfo::Publisher);
  p.Genre = MajorityText(all, &TTrackInfo::Genre);
  DecideStream(AnalysedTracks(album), d);
  p.RipDate = MajorityNumber(all, [](const TTrackInfo& t, std::size_t) {
    return static_cast<std::int32_t>(std::floor(t.FileDate));
  });
  return d;
}

void StoreAlbumFields(TAlbumInfo& album, const TAlbumFieldTexts& texts) {
  for (const TAlbumField& field : AlbumFields) {
    if (!field.Set)
      continue;
    if (field.Stored)
      field.Set(album, field.Stored(texts));
    else if (const auto* text = std::get_if<std::string TAlbumFieldTexts::*>(&field.Text))
      field.Set(album, texts.**text);
  }
  album.NewsGroups = texts.NewsGroups;
}

std::string TrackLine(std::size_t position, const TTrackEntry& track, bool useTagInfo,
                      bool hidePaths) {
  std::string text = PrintableName(track.Path);
  if (useTagInfo)
    text = track.Info ? track.Info->Title : std::string(NoTagTitle);
  else if (hidePaths)
    text = PrintableName(FileNamePart(track.Path));
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
  std::vector<std::size_t> lacking;
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < album.Tracks.size(); ++i)
    if (const TTrackEntry& track = album.Tracks[i];
        track.Info && track.Info->Checksum == NoChecksum) {
      lacking.push_back(i);
      paths.push_back(track.Path);
    }
  // Read as the tracks are read, several at once; heard in listing order, so the first
  // file that cannot be read is the one named.
  std::optional<std::string> unread;
  TTrackReaderCallbacks callbacks;
  callbacks.Deliver = [&](std::size_t k, std::unique_ptr<TTrackInfo> record) {
    if (unread)
      return;
    if (record->Checksum == NoChecksum)
      unread = paths[k];
    else {
      album.Tracks[lacking[k]].Info->Checksum = std::move(record->Checksum);
      album.Tracks[lacking[k]].Info->ChecksumStamp = record->ChecksumStamp;
    }
  };
  callbacks.Idle = [&](const TReadProgress& done) {
    if (progress)
      progress(done.FilesDone, done.FilesTotal);
    return !unread;
  };
  if (!paths.empty())
    ReadTracks(paths, true, callbacks);
  return unread;
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

namespace {
// One box meets its field's proposal, as the field's row says.
void Fill(const TAlbumField& field, const TAlbumFieldTexts& proposed, const TTrackLists& lists,
          TAlbumFieldTexts& boxes) {
  if (field.Fill == TFill::None)
    return;
  std::visit(
      [&](auto member) {
        using TMember = decltype(member);
        if constexpr (std::is_same_v<TMember, std::string TAlbumFieldTexts::*>) {
          const std::string& text = proposed.*member;
          if (!text.empty())
            boxes.*member = text;
          else if (field.TrackList && !(lists.*field.TrackList).empty())
            boxes.*member = (lists.*field.TrackList).front();
          else if (field.Fill == TFill::Replace && !field.TrackList)
            boxes.*member = text;
        } else if constexpr (!std::is_same_v<TMember, std::monostate>) {
          boxes.*member = proposed.*member;
        }
      },
      field.Text);
}
} // namespace

void FillAlbumBoxes(TAlbumInfo& album, const TTrackLists& lists, TAlbumFieldTexts& boxes) {
  TAlbumDecision decision = DecideAlbumFields(album, lists.Artists.size());
  album.PlayingTime = decision.PlayingTime;
  album.TotalSize = decision.TotalSize;
  album.VariousArtists = decision.VariousArtists;
  album.Format = decision.Format;
  album.Lossless = decision.Lossless;
  // The majority year is proposed only as the year list has it (a year that is not a
  // number never is).
  std::string& year = decision.Proposed.Year;
  if (std::find(lists.Years.begin(), lists.Years.end(), year) == lists.Years.end())
    year.clear();
  for (const TAlbumField& field : AlbumFields)
    Fill(field, decision.Proposed, lists, boxes);
}
