// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/TagLibTrackUnit.h"

#include "audio/FlacMetadata.h"
#include "audio/ID3v2.h"
#include "audio/Mp4Atoms.h"
#include "common/ByteReader.h"
#include "common/IntToAbbrStrUnit.h"

#include <algorithm>
#include <array>
#include <optional>
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
#include <vector>

namespace {
// TagLib's view of the open file: reads only, each at most what the file still holds.
// One read of the head serves the kind's check and the metadata that follows it (an Ogg
// stream's headers, an MP4 file's first boxes); any other read goes to the file at its own
// size, so the few bytes TagLib looks at near the end cost no more.
class TTagLibStream final : public TagLib::IOStream {
public:
  explicit TTagLibStream(TReadOnlyFile& file) : File(file) {
    Head.resize(static_cast<std::size_t>(std::min<std::int64_t>(File.Size(), HeadBytes)));
    Head.resize(File.ReadAt(0, Head).value_or(0));
  }

  std::span<const std::uint8_t> HeadBytesRead() const { return Head; }
  TReadOnlyFile& Source() { return File; }

  TagLib::FileName name() const override { return ""; }
  TagLib::ByteVector readBlock(unsigned long length) override {
    const std::int64_t left = std::max<std::int64_t>(0, File.Size() - Position);
    const auto count = static_cast<unsigned int>(
        std::min<std::uint64_t>(length, static_cast<std::uint64_t>(left)));
    if (count == 0)
      return {};
    const auto headLeft = static_cast<std::int64_t>(Head.size()) - Position;
    if (headLeft >= static_cast<std::int64_t>(count)) {
      const auto* from = reinterpret_cast<const char*>(Head.data() + Position);
      Position += count;
      return {from, count};
    }
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
    // An offset from the file's own fields may be anything: no sum may overflow.
    std::int64_t target = 0;
    if (__builtin_add_overflow(base, static_cast<std::int64_t>(offset), &target))
      target = offset < 0 ? 0 : INT64_MAX;
    Position = std::max<std::int64_t>(0, target);
  }
  long tell() const override { return static_cast<long>(Position); }
  long length() override { return static_cast<long>(File.Size()); }
  void truncate(long) override {}

private:
  // Enough for an Ogg stream's header pages, or a FLAC file's usual blocks with the 8 KiB
  // of padding its encoder leaves.
  static constexpr std::int64_t HeadBytes = 16384;
  TReadOnlyFile& File;
  std::vector<std::uint8_t> Head;
  std::int64_t Position = 0;
};

// The kind the first bytes show; nothing when they show none. An ID3v2 tag says MP3
// unless FLAC's mark follows it (some taggers put one there). MP3 is told only by its tag
// or a frame sync at the very start: enough to say that a ".flac" is really an MP3.
std::optional<TTrackKind> KindShown(TReadOnlyFile& file, std::span<const std::uint8_t> bytes) {
  const TByteReader head(bytes);
  if (head.Matches(0, "OggS")) {
    // The first page holds one packet, the stream's identification header; its lacing
    // table is one byte long for both kinds.
    if (head.Matches(28, "\x01vorbis"))
      return TTrackKind::OggVorbis;
    if (head.Matches(28, "OpusHead"))
      return TTrackKind::Opus;
    return std::nullopt;
  }
  if (head.Matches(4, "ftyp"))
    return TTrackKind::M4A;
  if (head.Matches(0, "fLaC"))
    return TTrackKind::FLAC;
  if (const std::int64_t tag = ID3v2StatedTagSize(bytes); tag > 0) {
    std::array<std::uint8_t, 4> mark{};
    const bool flac = file.ReadExactly(tag, mark) && TByteReader(mark).Matches(0, "fLaC");
    return flac ? TTrackKind::FLAC : TTrackKind::MP3;
  }
  if (head.U8(0) == 0xFF && (head.U8(1) & 0xE0) == 0xE0)
    return TTrackKind::MP3;
  return std::nullopt;
}

// A Vorbis comment's fields are read as the file has them (upper-case names), which spares
// the copy that TagLib's unified map would make of every field; an MP4 tag comes through
// that map, which names its atoms as Vorbis comments name their fields.
template <typename TMap>
std::string Text(const TMap& tags, std::initializer_list<const char*> keys) {
  // A walk over the few fields, where a lookup would make a TagLib string of each key.
  for (const char* key : keys)
    for (const auto& [name, values] : tags)
      if (name == key && !values.isEmpty() && !values.front().isEmpty())
        return values.front().to8Bit(true);
  return {};
}

// "3/12" as the MP3 records have it, from a number and a total kept apart or together.
template <typename TMap>
std::string NumberOf(const TMap& tags, const char* number,
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

template <typename TMap>
void FillTags(const TMap& tags, std::string tagVersion, TTrackInfo& track) {
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

// Without an encoder's field, the stream's vendor string names the encoder.
void FillVorbisComment(const TagLib::Ogg::XiphComment& comment, TTrackInfo& track) {
  FillTags(comment.fieldListMap(), "Vorbis comment", track);
  if (track.EncodedBy.empty())
    track.EncodedBy = comment.vendorID().to8Bit(true);
}

// A stream's properties as the record keeps them.
struct TStreamProperties {
  double Duration = 0; // seconds
  int BitRate = 0;     // kbit/s
  int SampleRate = 0;
  int Channels = 0;
};

TStreamProperties PropertiesOf(const TagLib::AudioProperties& audio) {
  return {audio.lengthInMilliseconds() / 1000.0, audio.bitrate(), audio.sampleRate(),
          audio.channels()};
}

// False for a stream that plays for no time or at no rate (a damaged header, a length that
// overflowed TagLib's count of milliseconds): such a track is damaged, not silent.
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

// A FLAC file tagged with ID3 alone: TagLib reads the file whole.
bool ReadFlacWithTagLib(TTagLibStream& stream, TTrackInfo& track) {
  TagLib::FLAC::File file(&stream, TagLib::ID3v2::FrameFactory::instance());
  const auto* audio = file.audioProperties();
  if (!file.isValid() || !audio || audio->sampleRate() <= 0)
    return false;
  track.BitsPerSample = audio->bitsPerSample();
  track.Codec = "FLAC";
  FillTags(file.properties(), "ID3v2", track);
  TStreamProperties properties = PropertiesOf(*audio);
  // The sample count gives the length to the sample, where TagLib rounds to milliseconds.
  properties.Duration = static_cast<double>(audio->sampleFrames()) / audio->sampleRate();
  return FillProperties(properties, stream.length(), track);
}

// FLAC's blocks are walked by the program, which steps over pictures and padding unread;
// the Vorbis comment is read by TagLib.
bool ReadFlac(TReadOnlyFile& file, std::int64_t blocks, TTrackInfo& track) {
  const auto metadata = ReadFlacMetadata(file, blocks);
  if (!metadata || metadata->SampleRate == 0)
    return false;
  if (metadata->VorbisComment.empty()) {
    TTagLibStream stream(file);
    return ReadFlacWithTagLib(stream, track);
  }
  const auto& body = metadata->VorbisComment;
  FillVorbisComment(
      TagLib::Ogg::XiphComment(TagLib::ByteVector(reinterpret_cast<const char*>(body.data()),
                                                  static_cast<unsigned int>(body.size()))),
      track);
  track.Codec = "FLAC";
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

bool ReadM4a(TTagLibStream& stream, TTrackInfo& track) {
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
  track.BitsPerSample = codec == TagLib::MP4::Properties::ALAC ? audio->bitsPerSample() : 0;
  FillTags(file.properties(), "MP4 tag", track);
  if (!FillProperties(PropertiesOf(*audio), stream.length(), track))
    return false;
  // TagLib gives ALAC's uncompressed rate; the file's own average says what it holds.
  if (codec == TagLib::MP4::Properties::ALAC && track.Duration > 0)
    track.BitRate = static_cast<std::int32_t>(track.FileSize * 8 / 1000 / track.Duration);
  return true;
}

bool ReadKind(TTagLibStream& stream, TTrackKind kind, TTrackInfo& track) {
  switch (kind) {
  case TTrackKind::OggVorbis:
    return ReadOgg<TagLib::Ogg::Vorbis::File>(stream, "Vorbis", track);
  case TTrackKind::Opus:
    return ReadOgg<TagLib::Ogg::Opus::File>(stream, "Opus", track);
  case TTrackKind::M4A:
    return ReadM4a(stream, track);
  case TTrackKind::FLAC:
  case TTrackKind::MP3:
    break;
  }
  return false;
}

TTagLibReading Reading(bool read) {
  return read ? TTagLibReading::Read : TTagLibReading::Unreadable;
}
} // namespace

TTagLibReading ReadTagLibTrack(TReadOnlyFile& file, TTrackKind kind, TTrackInfo& track) {
  if (kind == TTrackKind::FLAC) {
    // The first bytes come through the file's own window, which the blocks after them
    // share: a FLAC file's metadata usually costs one read.
    std::array<std::uint8_t, 64> bytes{};
    const std::span head(bytes.data(), file.ReadAt(0, bytes).value_or(0));
    if (KindShown(file, head) != kind)
      return TTagLibReading::OtherKind;
    track.Format = std::string(TrackKindRow(kind).Format);
    constexpr std::int64_t MarkBytes = 4; // "fLaC"
    return Reading(ReadFlac(file, ID3v2StatedTagSize(head) + MarkBytes, track));
  }
  TTagLibStream stream(file);
  if (KindShown(file, stream.HeadBytesRead()) != kind)
    return TTagLibReading::OtherKind;
  track.Format = std::string(TrackKindRow(kind).Format);
  return Reading(ReadKind(stream, kind, track));
}
