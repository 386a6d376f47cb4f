// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/MP3Unit.h"

#include "audio/CRC32Unit.h"
#include "audio/MPEGaudio.h"
#include "audio/TagLibTrackUnit.h"
#include "common/DateTimeUnit.h"
#include "common/ErrorsUnit.h"
#include "common/FileUnit.h"
#include "common/IntToAbbrStrUnit.h"
#include "common/TrackKinds.h"

#include <exception>

std::optional<std::string> FileChecksumText(const std::string& path, const TTrackReading& reading) {
  const auto crc = FileCRC32(path, reading.BytesRead, reading.Cancelled);
  return crc ? std::optional(CRC32Text(*crc)) : std::nullopt;
}

namespace {
// A track of another kind than MP3, read with TagLib; its failure named as its own.
void FillOtherKind(TReadOnlyFile& file, TTrackKind kind, TTrackInfo& track,
                   const std::function<void(TErrorCode)>& report) {
  switch (ReadTagLibTrack(file, kind, track)) {
  case TTagLibReading::Read:
    break;
  case TTagLibReading::OtherKind:
    report(ecTrackKindMismatch);
    break;
  case TTagLibReading::Unreadable:
    report(ecTrackStreamUnreadable);
    break;
  }
}
} // namespace

void TTrackInfo::Fill(const std::string& path, const std::function<void(TErrorCode)>& report) {
  // One open serves the date and the reading; only a file that is there but cannot be
  // read is reported: no file there leaves the record with its new values.
  auto file = TReadOnlyFile::Open(path);
  if (!file) {
    if (const auto date = RegularFileModificationTime(path)) {
      FileDate = *date;
      report(ecOpenForReading);
    }
    return;
  }
  FileDate = LocalDateTime(file->ModifiedSeconds()).value_or(0);
  if (file->Size() == 0) { // it opened: "Can't open" would send the user looking elsewhere
    report(ecTrackFileEmpty);
    return;
  }

  const auto named = TrackKindOfName(path);
  if (named && *named != TTrackKind::MP3) {
    FillOtherKind(*file, *named, *this, report);
    return;
  }
  TMPEGaudio audio;
  if (!audio.Analyze(*file)) {
    report(ecOpenForReading);
    return;
  }
  Duration = audio.Duration();
  DurationText = DurationToStr(Duration);
  FileSize = audio.FileBytes();
  BitRate = audio.BitRate();
  IsVBR = audio.IsVBR();
  SampleRate = audio.SampleRate();
  ChannelMode = audio.ChannelMode();
  Codec = audio.EncoderText();
  Format = TrackKindRow(TTrackKind::MP3).Format;
  Channels = ChannelMode == 3 ? 1 : 2;
  Analysed = true;

  if (const TID3v2& v2 = audio.ID3v2Tag(); v2.Present) {
    HasTag = true;
    TagVersion = "ID3v2." + std::to_string(v2.MajorVersion);
    Title = v2.Title;
    Artist = v2.Artist;
    Album = v2.Album;
    Year = v2.Year;
    Comment = v2.Comment;
    Genre = v2.Genre;
    EncodedBy = v2.EncodedBy;
    Publisher = v2.Publisher;
    MediaType = v2.MediaType;
    AlbumArtist = v2.AlbumArtist;
    Compilation = v2.Compilation;
    Disc = v2.DiscText;
    Track = v2.TrackText;
  } else if (const TID3v1& v1 = audio.ID3v1Tag(); v1.Present) {
    HasTag = true;
    // Named as the tag box offers the versions: ID3v1.0 and ID3v1.1.
    TagVersion = v1.Version == 2 ? "ID3v1.1" : "ID3v1.0";
    Title = v1.Title;
    Artist = v1.Artist;
    Album = v1.Album;
    Year = v1.Year;
    Comment = v1.Comment;
    Track = std::to_string(v1.Track);
    Genre = v1.GenreName();
  }
}

std::unique_ptr<TTrackInfo> MakeTrackInfo(const std::string& path, bool withChecksum,
                                          const TTrackReading& reading) {
  const auto report = [&reading, &path](TErrorCode code) {
    if (reading.Errors)
      reading.Errors->push_back(code);
    else
      ShowError(code, path);
  };
  auto track = std::make_unique<TTrackInfo>();
  // Nothing here throws by design; should memory run out, the batch still goes on.
  try {
    track->Fill(path, report);
  } catch (const std::exception&) {
    report(ecOpenForReading);
  }
  if (withChecksum) {
    std::optional<std::string> checksum;
    try {
      checksum = FileChecksumText(path, reading);
    } catch (const std::exception&) {
    }
    if (checksum)
      track->Checksum = std::move(*checksum);
    else if (!(reading.Cancelled && reading.Cancelled->load()))
      report(ecOpenForReading);
  }
  return track;
}
