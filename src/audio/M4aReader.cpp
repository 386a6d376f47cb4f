// SPDX-License-Identifier: GPL-3.0-or-later
// M4A tracks (AAC or ALAC), read with TagLib once the program's own walk of the atom tree
// found it within bounds.
#include "audio/Mp4Atoms.h"
#include "audio/Mp4Audio.h"
#include "audio/TagLibFields.h"
#include "audio/TrackFormatReader.h"
#include "common/ByteReader.h"
#include "common/ImageSize.h"

#include <taglib/mp4coverart.h>
#include <taglib/mp4file.h>
#include <taglib/mp4properties.h>
#include <taglib/mp4tag.h>

using namespace taglib;

namespace {
// TagLib's length counts an AAC encoder's priming samples, its channels are the sample
// entry's (2 whatever the stream holds), and its bit rate is the declared average (AAC)
// or the uncompressed rate (ALAC): the boxes say how long the track plays, what the
// stream holds and how many bytes its samples take.
void FillFromBoxes(const TMp4Audio& own, TTrackInfo& track) {
  // An edit only shortens what the samples hold; a longer one, or a length past any
  // recording's, is the file's fault, and TagLib's figures stand.
  constexpr double LongestTrack = 1e7; // seconds: about four months
  if (!(own.MediaDuration > 0 && own.MediaDuration < LongestTrack))
    return;
  if (own.Duration > 0 && own.Duration <= own.MediaDuration) {
    track.Duration = own.Duration;
    track.DurationText = DurationToStr(track.Duration);
  }
  if (own.Channels > 0)
    track.Channels = own.Channels;
  // The samples' bytes hold the priming samples too: over the time they hold.
  const double rate = static_cast<double>(own.AudioBytes) * 8 / 1000 / own.MediaDuration;
  if (own.AudioBytes > 0 && rate < 1e6) // no audio codec comes near a gigabit a second
    track.BitRate = static_cast<std::int32_t>(rate + 0.5);
}

bool ReadM4aStream(TTagLibStream& stream, TTrackInfo& track) {
  if (!Mp4AtomTreeWithinLimits(stream.Source()))
    return false; // TagLib would recurse as deep as the file says
  TagLib::MP4::File file(&stream);
  const auto* audio = file.audioProperties();
  if (!file.isValid() || !audio)
    return false;
  const auto codec = audio->codec();
  track.Codec = codec == TagLib::MP4::Properties::ALAC  ? "ALAC"
                : codec == TagLib::MP4::Properties::AAC ? "AAC"
                                                        : "";
  track.Lossless = codec == TagLib::MP4::Properties::ALAC;
  track.BitsPerSample = track.Lossless ? audio->bitsPerSample() : 0;
  FillTags(file.properties(), "MP4 tag", track);
  if (file.tag() && file.tag()->contains("covr"))
    for (const TagLib::MP4::CoverArt& cover : file.tag()->item("covr").toCoverArtList()) {
      const TagLib::ByteVector data = cover.data();
      if (const auto image = ReadImageSize(
              std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()))) {
        track.EmbeddedCover = ImageSizeText(*image);
        break;
      }
    }
  if (!FillProperties(PropertiesOf(*audio), stream.length(), track))
    return false;
  if (const auto own = ReadMp4Audio(stream.Source()))
    FillFromBoxes(*own, track);
  return true;
}
} // namespace

bool reader::ShowsM4a(TReadOnlyFile&, std::span<const std::uint8_t> head) {
  return TByteReader(head).Matches(4, "ftyp");
}

TTrackReadOutcome reader::ReadM4a(TReadOnlyFile& file, std::span<const std::uint8_t>,
                                  TTrackInfo& track) {
  TTagLibStream stream(file);
  return ReadM4aStream(stream, track) ? TTrackReadOutcome::Read : TTrackReadOutcome::Unreadable;
}
