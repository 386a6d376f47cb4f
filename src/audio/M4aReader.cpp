// SPDX-License-Identifier: GPL-3.0-or-later
// M4A tracks (AAC or ALAC), read with TagLib once the program's own walk of the atom tree
// found it within bounds.
#include "audio/Mp4Atoms.h"
#include "audio/TagLibFields.h"
#include "audio/TrackFormatReader.h"
#include "common/ByteReader.h"

#include <taglib/mp4file.h>
#include <taglib/mp4properties.h>

using namespace taglib;

namespace {
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
  if (!FillProperties(PropertiesOf(*audio), stream.length(), track))
    return false;
  // TagLib gives ALAC's uncompressed rate; the file's own average says what it holds.
  if (codec == TagLib::MP4::Properties::ALAC && track.Duration > 0)
    track.BitRate = static_cast<std::int32_t>(track.FileSize * 8 / 1000 / track.Duration);
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
