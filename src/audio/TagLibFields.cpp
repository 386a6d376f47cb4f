// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/TagLibFields.h"

#include "audio/FlacMetadata.h"

#include <taglib/flacpicture.h>

namespace taglib {
TagLib::ByteVector TTagLibStream::readBlock(unsigned long length) {
  const std::int64_t left = std::max<std::int64_t>(0, File.Size() - Position);
  const auto count =
      static_cast<unsigned int>(std::min<std::uint64_t>(length, static_cast<std::uint64_t>(left)));
  if (count == 0)
    return {};
  const auto headLeft = static_cast<std::int64_t>(Head.size()) - Position;
  if (headLeft >= static_cast<std::int64_t>(count)) {
    const auto* from = reinterpret_cast<const char*>(Head.data() + Position);
    Position += count;
    return {from, count};
  }
  TagLib::ByteVector block(count, '\0');
  const auto read =
      File.ReadAt(Position, std::span(reinterpret_cast<std::uint8_t*>(block.data()), block.size()));
  block.resize(read ? static_cast<unsigned int>(*read) : 0);
  Position += block.size();
  return block;
}

void FillVorbisComment(TagLib::Ogg::XiphComment& comment, TTrackInfo& track) {
  FillTags(comment.fieldListMap(), "Vorbis comment", track);
  // The pictures are FLAC picture blocks: the front cover, else the first.
  bool front = false;
  for (const TagLib::FLAC::Picture* picture : comment.pictureList()) {
    const TagLib::ByteVector block = picture->render();
    std::uint32_t type = 0;
    const auto image = ReadFlacPicture(
        std::span(reinterpret_cast<const std::uint8_t*>(block.data()), block.size()), type);
    if (image && (track.EmbeddedCover.empty() || (type == 3 && !front))) {
      track.EmbeddedCover = ImageSizeText(*image);
      front = type == 3;
    }
  }
  if (track.EncodedBy.empty())
    track.EncodedBy = comment.vendorID().to8Bit(true);
}

TStreamProperties PropertiesOf(const TagLib::AudioProperties& audio) {
  return {audio.lengthInMilliseconds() / 1000.0, audio.bitrate(), audio.sampleRate(),
          audio.channels()};
}

bool FillProperties(const TStreamProperties& stream, std::int64_t fileSize, TTrackInfo& track) {
  if (!(stream.Duration > 0) || stream.SampleRate <= 0)
    return false;
  track.Duration = stream.Duration;
  track.DurationText = DurationToStr(track.Duration);
  track.FileSize = fileSize;
  track.BitRate = stream.BitRate;
  track.SampleRate = stream.SampleRate;
  track.Channels = stream.Channels;
  track.ChannelMode = -1; // no MPEG stereo mode
  track.Analysed = true;
  return true;
}
} // namespace taglib
