// SPDX-License-Identifier: GPL-3.0-or-later
// MP3 tracks, read by the program's own analysis of the MPEG stream and its ID3 tags.
#include "audio/TrackFormatReader.h"

#include "audio/MPEGaudio.h"
#include "common/IntToAbbrStrUnit.h"

// An MPEG stream may begin after junk: the analysis judges the file by the frames it
// finds, not by its first bytes.
TTrackReadOutcome reader::ReadMp3(TReadOnlyFile& file, std::span<const std::uint8_t>,
                                  TTrackInfo& track) {
  TMPEGaudio audio;
  if (!audio.Analyze(file))
    return TTrackReadOutcome::NotOpened;
  // Without a single confirmed frame the file is no MP3, whatever its name says.
  if (!audio.HasAudio())
    return TTrackReadOutcome::OtherKind;
  track.Duration = audio.Duration();
  track.DurationText = DurationToStr(track.Duration);
  track.BitRate = audio.BitRate();
  track.IsVBR = audio.IsVBR();
  track.SampleRate = audio.SampleRate();
  track.ChannelMode = audio.ChannelMode();
  track.Codec = audio.EncoderText();
  track.EncoderSetting = audio.EncoderSetting();
  track.Format = TrackKindRow(TTrackKind::MP3).Format;
  track.Channels = track.ChannelMode == 3 ? 1 : 2;
  track.Analysed = true;

  if (const TID3v2& v2 = audio.ID3v2Tag(); v2.Present) {
    track.HasTag = true;
    track.TagVersion = "ID3v2." + std::to_string(v2.MajorVersion);
    track.Title = v2.Title;
    track.Artist = v2.Artist;
    track.Album = v2.Album;
    track.Year = v2.Year;
    track.Comment = v2.Comment;
    track.Genre = v2.Genre;
    track.EncodedBy = v2.EncodedBy;
    track.Publisher = v2.Publisher;
    track.MediaType = v2.MediaType;
    track.AlbumArtist = v2.AlbumArtist;
    track.Compilation = v2.Compilation;
    track.Disc = v2.DiscText;
    track.Track = v2.TrackText;
    track.EmbeddedCover = v2.Picture;
  } else if (const TID3v1& v1 = audio.ID3v1Tag(); v1.Present) {
    track.HasTag = true;
    // Named as the tag box offers the versions: ID3v1.0 and ID3v1.1.
    track.TagVersion = v1.Version == 2 ? "ID3v1.1" : "ID3v1.0";
    track.Title = v1.Title;
    track.Artist = v1.Artist;
    track.Album = v1.Album;
    track.Year = v1.Year;
    track.Comment = v1.Comment;
    track.Track = std::to_string(v1.Track);
    track.Genre = v1.GenreName();
  }
  return TTrackReadOutcome::Read;
}
