// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the readers that use TagLib share: TagLib's view of the program's own open file
// (TagLib never opens a path, where a FIFO could block it, and never gets a block larger
// than what is left of the file, whatever a length in the file claims), and the tag texts
// and stream properties as the record keeps them.
#include "audio/TrackInfo.h"
#include "common/FileUnit.h"
#include "common/IntToAbbrStrUnit.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <taglib/audioproperties.h>
#include <taglib/tiostream.h>
#include <taglib/tpropertymap.h>
#include <taglib/xiphcomment.h>
#include <vector>

namespace taglib {
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
  TagLib::ByteVector readBlock(unsigned long length) override;
  void writeBlock(const TagLib::ByteVector&) override {}
  void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
  void removeBlock(unsigned long, unsigned long) override {}
  bool readOnly() const override { return true; }
  bool isOpen() const override { return true; }
  void seek(long offset, Position whence) override {
    const std::int64_t base = whence == Beginning ? 0 : whence == Current ? Position : File.Size();
    // An offset from the file's own fields may be anything: no sum may overflow. A place
    // before the start (TagLib's own sum of an atom's offset and a huge length wraps to
    // one) reads as the end: taken as the start, TagLib would read the file again forever.
    std::int64_t target = 0;
    if (__builtin_add_overflow(base, static_cast<std::int64_t>(offset), &target))
      target = offset < 0 ? -1 : INT64_MAX;
    Position = target < 0 ? File.Size() : target;
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

// A Vorbis comment's fields are read as the file has them (upper-case names), which spares
// the copy that TagLib's unified map would make of every field; an MP4 tag comes through
// that map, which names its atoms as Vorbis comments name their fields.
// The first key the tag has a value for gives the text: each of its values, joined.
template <typename TMap>
std::string Text(const TMap& tags, std::initializer_list<const char*> keys) {
  // A walk over the few fields, where a lookup would make a TagLib string of each key.
  for (const char* key : keys)
    for (const auto& [name, values] : tags) {
      if (name != key)
        continue;
      std::string joined;
      for (const auto& value : values) {
        if (value.isEmpty())
          continue;
        if (!joined.empty())
          joined += TagValueSeparator;
        joined += value.to8Bit(true);
      }
      if (!joined.empty())
        return joined;
    }
  return {};
}

// The first value alone, for a field that holds one (a date, a number, a flag).
template <typename TMap>
std::string FirstText(const TMap& tags, std::initializer_list<const char*> keys) {
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
  std::string text = FirstText(tags, {number});
  const std::string total = FirstText(tags, totals);
  if (!text.empty() && !total.empty() && text.find('/') == std::string::npos)
    text += "/" + total;
  return text;
}

// The year of a date ("2010-03-01"), else the text as it stands.
inline std::string YearOf(const std::string& date) {
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
  track.Year = YearOf(FirstText(tags, {"DATE", "YEAR", "ORIGINALDATE"}));
  track.Comment = Text(tags, {"COMMENT", "DESCRIPTION"});
  track.Track = NumberOf(tags, "TRACKNUMBER", {"TRACKTOTAL", "TOTALTRACKS"});
  track.Disc = NumberOf(tags, "DISCNUMBER", {"DISCTOTAL", "TOTALDISCS"});
  track.Genre = Text(tags, {"GENRE"});
  track.EncodedBy = Text(tags, {"ENCODEDBY", "ENCODED-BY", "ENCODER"});
  track.Publisher = Text(tags, {"LABEL", "ORGANIZATION", "PUBLISHER"});
  track.MediaType = Text(tags, {"MEDIA", "SOURCEMEDIA"});
  track.AlbumArtist = Text(tags, {"ALBUMARTIST", "ALBUM ARTIST"});
  const std::string compilation = FirstText(tags, {"COMPILATION"});
  track.Compilation = compilation == "1" || compilation == "true";
}

// Without an encoder's field, the stream's vendor string names the encoder.
void FillVorbisComment(TagLib::Ogg::XiphComment& comment, TTrackInfo& track);

// A stream's properties as the record keeps them.
struct TStreamProperties {
  double Duration = 0; // seconds
  int BitRate = 0;     // kbit/s
  int SampleRate = 0;
  int Channels = 0;
};
TStreamProperties PropertiesOf(const TagLib::AudioProperties& audio);

// False for a stream that plays for no time or at no rate (a damaged header, a length that
// overflowed TagLib's count of milliseconds): such a track is damaged, not silent.
bool FillProperties(const TStreamProperties& stream, std::int64_t fileSize, TTrackInfo& track);
} // namespace taglib
