// SPDX-License-Identifier: GPL-3.0-or-later
// Ogg Vorbis and Opus tracks, read with TagLib; FLAC in Ogg (named .ogg or .oga as Vorbis
// is) is read as the Ogg kind it is named for.
#include "audio/TagLibFields.h"
#include "audio/TrackFormatReader.h"
#include "common/ByteReader.h"

#include <taglib/flacproperties.h>
#include <taglib/oggflacfile.h>
#include <taglib/oggpageheader.h>
#include <taglib/opusfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/vorbisproperties.h>
#include <type_traits>

using namespace taglib;

namespace {
template <typename TFile>
bool ReadOgg(TTagLibStream& stream, const char* codec, TTrackInfo& track) {
  TFile file(&stream);
  const auto* audio = file.audioProperties();
  if (!file.isValid() || !audio)
    return false;
  track.Codec = codec;
  if (file.tag())
    FillVorbisComment(*file.tag(), track);
  if (!FillProperties(PropertiesOf(*audio), stream.length(), track))
    return false;
  if constexpr (std::is_same_v<TFile, TagLib::Ogg::Vorbis::File>) {
    // Only equal, given bounds say the encoder held to one rate.
    const int lower = audio->bitrateMinimum(), upper = audio->bitrateMaximum();
    track.IsVBR = !(lower > 0 && lower == upper);
  }
  return true;
}

// FLAC in Ogg: its first packet gives the stream information and the kind's word is its
// own ("Ogg FLAC"), as the length is its sample count's.
bool ReadOggFlac(TTagLibStream& stream, TTrackInfo& track) {
  TagLib::Ogg::FLAC::File file(&stream);
  const auto* audio = file.audioProperties();
  if (!file.isValid() || !audio || audio->sampleRate() <= 0)
    return false;
  track.Format = "Ogg FLAC";
  track.Codec = "FLAC";
  track.Lossless = true;
  track.BitsPerSample = audio->bitsPerSample();
  if (file.tag())
    FillVorbisComment(*file.tag(), track);
  // FFmpeg's Ogg FLAC states no sample count (0: not known when its header was written);
  // the last page's granule position is the count then, as Ogg's mapping of FLAC has it.
  auto frames = static_cast<long long>(audio->sampleFrames());
  if (const TagLib::Ogg::PageHeader* last = frames == 0 ? file.lastPageHeader() : nullptr)
    frames = last->absoluteGranularPosition();
  if (frames <= 0)
    return false;
  TStreamProperties properties = PropertiesOf(*audio);
  properties.Duration = static_cast<double>(frames) / audio->sampleRate();
  if (properties.BitRate <= 0) // TagLib's comes from the count that was not stated
    properties.BitRate = static_cast<int>(
        static_cast<double>(stream.length()) * 8 / properties.Duration / 1000 + 0.5);
  return FillProperties(properties, stream.length(), track);
}

// The first page holds one packet, the stream's identification header; its lacing table
// is one byte long for both kinds.
bool ShowsOggStream(std::span<const std::uint8_t> head, const char* identification) {
  const TByteReader bytes(head);
  return bytes.Matches(0, "OggS") && bytes.Matches(28, identification);
}
} // namespace

bool reader::ShowsVorbis(TReadOnlyFile&, std::span<const std::uint8_t> head) {
  return ShowsOggStream(head, "\x01vorbis") || ShowsOggStream(head, "\x7F"
                                                                    "FLAC");
}

bool reader::ShowsOpus(TReadOnlyFile&, std::span<const std::uint8_t> head) {
  return ShowsOggStream(head, "OpusHead");
}

TTrackReadOutcome reader::ReadVorbis(TReadOnlyFile& file, std::span<const std::uint8_t> head,
                                     TTrackInfo& track) {
  TTagLibStream stream(file);
  if (ShowsOggStream(head, "\x7F"
                           "FLAC"))
    return ReadOggFlac(stream, track) ? TTrackReadOutcome::Read : TTrackReadOutcome::Unreadable;
  return ReadOgg<TagLib::Ogg::Vorbis::File>(stream, "Vorbis", track)
             ? TTrackReadOutcome::Read
             : TTrackReadOutcome::Unreadable;
}

TTrackReadOutcome reader::ReadOpus(TReadOnlyFile& file, std::span<const std::uint8_t>,
                                   TTrackInfo& track) {
  TTagLibStream stream(file);
  return ReadOgg<TagLib::Ogg::Opus::File>(stream, "Opus", track) ? TTrackReadOutcome::Read
                                                                 : TTrackReadOutcome::Unreadable;
}
