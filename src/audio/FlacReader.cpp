// SPDX-License-Identifier: GPL-3.0-or-later
// FLAC tracks. The program walks the metadata blocks itself (a cover picture or padding is
// stepped over unread); TagLib reads the Vorbis comment they hold, or the whole file when
// only an ID3 tag tags it.
#include "audio/FlacFrames.h"
#include "audio/FlacMetadata.h"
#include "audio/ID3v2.h"
#include "audio/TagLibFields.h"
#include "audio/TrackFormatReader.h"
#include "common/ByteReader.h"

#include <taglib/flacfile.h>
#include <taglib/flacproperties.h>
#include <taglib/id3v2framefactory.h>

using namespace taglib;

namespace {
// A FLAC file tagged with ID3 alone: TagLib reads the file whole; the length is the
// program's own, which knows a stream whose sample count was left unknown.
bool ReadFlacWithTagLib(TTagLibStream& stream, const TFlacMetadata& metadata, TTrackInfo& track) {
  TagLib::FLAC::File file(&stream, TagLib::ID3v2::FrameFactory::instance());
  const auto* audio = file.audioProperties();
  if (!file.isValid() || !audio || audio->sampleRate() <= 0)
    return false;
  track.BitsPerSample = audio->bitsPerSample();
  track.Codec = "FLAC";
  track.Lossless = true;
  FillTags(file.properties(), "ID3v2", track);
  TStreamProperties properties = PropertiesOf(*audio);
  // The sample count gives the length to the sample, where TagLib rounds to milliseconds.
  properties.Duration = static_cast<double>(metadata.SampleFrames) / metadata.SampleRate;
  return FillProperties(properties, stream.length(), track);
}

// FLAC's blocks are walked by the program, which steps over padding unread and reads a
// picture's head; the Vorbis comment is read by TagLib.
bool ReadFlacBlocks(TReadOnlyFile& file, std::int64_t blocks, TTrackInfo& track) {
  auto metadata = ReadFlacMetadata(file, blocks);
  if (!metadata || !SensibleFlacStream(metadata->SampleRate, metadata->Channels))
    return false;
  if (metadata->SampleFrames == 0)
    metadata->SampleFrames = FlacSamplesFromLastFrame(file, *metadata);
  track.EmbeddedCover = metadata->Picture;
  if (metadata->VorbisComment.empty()) {
    TTagLibStream stream(file);
    return ReadFlacWithTagLib(stream, *metadata, track);
  }
  const auto& body = metadata->VorbisComment;
  TagLib::Ogg::XiphComment comment(TagLib::ByteVector(reinterpret_cast<const char*>(body.data()),
                                                      static_cast<unsigned int>(body.size())));
  FillVorbisComment(comment, track);
  track.Codec = "FLAC";
  track.Lossless = true;
  track.BitsPerSample = static_cast<std::int32_t>(metadata->BitsPerSample);

  const auto frames = static_cast<double>(metadata->SampleFrames);
  const double milliseconds = frames * 1000.0 / metadata->SampleRate;
  const auto audioBytes = static_cast<double>(metadata->AudioEnd - metadata->AudioStart);
  TStreamProperties properties;
  properties.Duration = frames / metadata->SampleRate;
  // The audio's bytes over its length, rounded, as TagLib gives FLAC's.
  properties.BitRate =
      milliseconds > 0 ? static_cast<int>(std::max(0.0, audioBytes) * 8.0 / milliseconds + 0.5) : 0;
  properties.SampleRate = static_cast<int>(metadata->SampleRate);
  properties.Channels = static_cast<int>(metadata->Channels);
  return FillProperties(properties, file.Size(), track);
}
} // namespace

// "fLaC" at the start, or after an ID3v2 tag (some taggers put one there).
bool reader::ShowsFlac(TReadOnlyFile& file, std::span<const std::uint8_t> head) {
  if (TByteReader(head).Matches(0, "fLaC"))
    return true;
  const std::int64_t tag = ID3v2StatedTagSize(head);
  std::array<std::uint8_t, 4> mark{};
  return tag > 0 && file.ReadExactly(tag, mark) && TByteReader(mark).Matches(0, "fLaC");
}

TTrackReadOutcome reader::ReadFlac(TReadOnlyFile& file, std::span<const std::uint8_t> head,
                                   TTrackInfo& track) {
  constexpr std::int64_t MarkBytes = 4; // "fLaC"
  return ReadFlacBlocks(file, ID3v2StatedTagSize(head) + MarkBytes, track)
             ? TTrackReadOutcome::Read
             : TTrackReadOutcome::Unreadable;
}
