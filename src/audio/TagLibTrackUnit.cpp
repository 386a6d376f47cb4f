// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/TagLibTrackUnit.h"

#include "common/IntToAbbrStrUnit.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <taglib/flacfile.h>
#include <taglib/flacproperties.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/mp4file.h>
#include <taglib/mp4properties.h>
#include <taglib/opusfile.h>
#include <taglib/tiostream.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/vorbisproperties.h>
#include <taglib/xiphcomment.h>

namespace {
// TagLib's view of the open file: reads only, each at most what the file still holds.
class TTagLibStream final : public TagLib::IOStream {
public:
  explicit TTagLibStream(TReadOnlyFile& file) : File(file) {}

  TagLib::FileName name() const override { return ""; }
  TagLib::ByteVector readBlock(unsigned long length) override {
    const std::int64_t left = std::max<std::int64_t>(0, File.Size() - Position);
    const auto count = static_cast<unsigned int>(
        std::min<std::uint64_t>(length, static_cast<std::uint64_t>(left)));
    TagLib::ByteVector block(count, '\0');
    const auto read = File.ReadAt(
        Position, std::span(reinterpret_cast<std::uint8_t*>(block.data()), block.size()));
    block.resize(read ? static_cast<unsigned int>(*read) : 0);
    Position += block.size();
    return block;
  }
  void writeBlock(const TagLib::ByteVector&) override {}
  void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
  void removeBlock(unsigned long, unsigned long) override {}
  bool readOnly() const override { return true; }
  bool isOpen() const override { return true; }
  void seek(long offset, Position whence) override {
    const std::int64_t base = whence == Beginning ? 0 : whence == Current ? Position : File.Size();
    Position = std::max<std::int64_t>(0, base + offset);
  }
  long tell() const override { return static_cast<long>(Position); }
  long length() override { return static_cast<long>(File.Size()); }
  void truncate(long) override {}

private:
  TReadOnlyFile& File;
  std::int64_t Position = 0;
};

// The first value of the first of the keys the tag has.
std::string Text(const TagLib::PropertyMap& tags, std::initializer_list<const char*> keys) {
  for (const char* key : keys) {
    const auto found = tags.find(key);
    if (found != tags.end() && !found->second.isEmpty() && !found->second.front().isEmpty())
      return found->second.front().to8Bit(true);
  }
  return {};
}

// "3/12" as the MP3 records have it, from a number and a total kept apart or together.
std::string NumberOf(const TagLib::PropertyMap& tags, const char* number,
                     std::initializer_list<const char*> totals) {
  std::string text = Text(tags, {number});
  const std::string total = Text(tags, totals);
  if (!text.empty() && !total.empty() && text.find('/') == std::string::npos)
    text += "/" + total;
  return text;
}

// The year of a date ("2010-03-01"), else the text as it stands.
std::string YearOf(const std::string& date) {
  const bool leadingYear =
      date.size() >= 4 &&
      std::all_of(date.begin(), date.begin() + 4, [](char c) { return c >= '0' && c <= '9'; });
  return leadingYear ? date.substr(0, 4) : date;
}

void FillTags(const TagLib::PropertyMap& tags, std::string tagVersion, TTrackInfo& track) {
  if (tags.isEmpty())
    return;
  track.HasTag = true;
  track.TagVersion = std::move(tagVersion);
  track.Title = Text(tags, {"TITLE"});
  track.Artist = Text(tags, {"ARTIST"});
  track.Album = Text(tags, {"ALBUM"});
  track.Year = YearOf(Text(tags, {"DATE", "YEAR", "ORIGINALDATE"}));
  track.Comment = Text(tags, {"COMMENT", "DESCRIPTION"});
  track.Track = NumberOf(tags, "TRACKNUMBER", {"TRACKTOTAL", "TOTALTRACKS"});
  track.Disc = NumberOf(tags, "DISCNUMBER", {"DISCTOTAL", "TOTALDISCS"});
  track.Genre = Text(tags, {"GENRE"});
  track.EncodedBy = Text(tags, {"ENCODEDBY", "ENCODED-BY", "ENCODER"});
  track.Publisher = Text(tags, {"LABEL", "ORGANIZATION", "PUBLISHER"});
  track.MediaType = Text(tags, {"MEDIA", "SOURCEMEDIA"});
  track.AlbumArtist = Text(tags, {"ALBUMARTIST", "ALBUM ARTIST"});
  const std::string compilation = Text(tags, {"COMPILATION"});
  track.Compilation = compilation == "1" || compilation == "true";
}

void FillProperties(const TagLib::AudioProperties& audio, std::int64_t fileSize,
                    TTrackInfo& track) {
  if (track.Duration == 0)
    track.Duration = audio.lengthInMilliseconds() / 1000.0;
  track.DurationText = DurationToStr(track.Duration);
  track.FileSize = fileSize;
  track.BitRate = audio.bitrate();
  track.SampleRate = audio.sampleRate();
  track.Channels = audio.channels();
  track.ChannelMode = -1; // no MPEG stereo mode
  track.Analysed = true;
}

bool ReadFlac(TTagLibStream& stream, TTrackInfo& track) {
  TagLib::FLAC::File file(&stream, TagLib::ID3v2::FrameFactory::instance());
  const auto* audio = file.audioProperties();
  if (!file.isValid() || !audio || audio->sampleRate() <= 0)
    return false;
  // The sample count gives the length to the sample, where TagLib rounds to milliseconds.
  track.Duration = static_cast<double>(audio->sampleFrames()) / audio->sampleRate();
  track.BitsPerSample = audio->bitsPerSample();
  track.Codec = "FLAC";
  FillTags(file.properties(), file.hasXiphComment() ? "Vorbis comment" : "ID3v2", track);
  if (track.EncodedBy.empty() && file.hasXiphComment())
    track.EncodedBy = file.xiphComment()->vendorID().to8Bit(true);
  FillProperties(*audio, stream.length(), track);
  return true;
}

template <typename TFile>
bool ReadOgg(TTagLibStream& stream, const char* codec, TTrackInfo& track) {
  TFile file(&stream);
  const auto* audio = file.audioProperties();
  if (!file.isValid() || !audio)
    return false;
  track.Codec = codec;
  FillTags(file.properties(), "Vorbis comment", track);
  if (track.EncodedBy.empty() && file.tag())
    track.EncodedBy = file.tag()->vendorID().to8Bit(true);
  FillProperties(*audio, stream.length(), track);
  if constexpr (std::is_same_v<TFile, TagLib::Ogg::Vorbis::File>) {
    // Only equal, given bounds say the encoder held to one rate.
    const int lower = audio->bitrateMinimum(), upper = audio->bitrateMaximum();
    track.IsVBR = !(lower > 0 && lower == upper);
  }
  return true;
}

bool ReadM4a(TTagLibStream& stream, TTrackInfo& track) {
  TagLib::MP4::File file(&stream);
  const auto* audio = file.audioProperties();
  if (!file.isValid() || !audio)
    return false;
  const auto codec = audio->codec();
  track.Codec = codec == TagLib::MP4::Properties::ALAC  ? "ALAC"
                : codec == TagLib::MP4::Properties::AAC ? "AAC"
                                                        : "";
  track.BitsPerSample = codec == TagLib::MP4::Properties::ALAC ? audio->bitsPerSample() : 0;
  FillTags(file.properties(), "MP4 tag", track);
  FillProperties(*audio, stream.length(), track);
  // TagLib gives ALAC's uncompressed rate; the file's own average says what it holds.
  if (codec == TagLib::MP4::Properties::ALAC && track.Duration > 0)
    track.BitRate = static_cast<std::int32_t>(track.FileSize * 8 / 1000 / track.Duration);
  return true;
}
} // namespace

bool ReadTagLibTrack(TReadOnlyFile& file, TTrackKind kind, TTrackInfo& track) {
  TTagLibStream stream(file);
  track.Format = std::string(TrackKindRow(kind).Format);
  switch (kind) {
  case TTrackKind::FLAC:
    return ReadFlac(stream, track);
  case TTrackKind::OggVorbis:
    return ReadOgg<TagLib::Ogg::Vorbis::File>(stream, "Vorbis", track);
  case TTrackKind::Opus:
    return ReadOgg<TagLib::Ogg::Opus::File>(stream, "Opus", track);
  case TTrackKind::M4A:
    return ReadM4a(stream, track);
  case TTrackKind::MP3:
    break;
  }
  return false;
}
