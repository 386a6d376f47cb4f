// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/Mp4Samples.h"

#include "audio/Mp4Boxes.h"
#include "common/ByteReader.h"

#include <cstdlib>
#include <string_view>

namespace {
using namespace mp4;

TMp4SampleTableResult Refused(std::string problem) {
  return {std::nullopt, std::move(problem)};
}

// The first edit that shows media: where in the media it starts and how long it plays (in
// the movie's timescale).
struct TEdit {
  std::uint64_t MediaStart = 0;
  std::uint64_t Length = 0;
};
std::optional<TEdit> FirstMediaEdit(TBytes elst) {
  const TByteReader bytes(elst);
  const bool wide = bytes.U8(0) == 1;
  const std::size_t entry = wide ? 20 : 12;
  const std::uint32_t count = bytes.U32BE(4);
  for (std::size_t i = 0, at = 8; i < count && bytes.Has(at, entry); ++i, at += entry) {
    const auto u64 = [&](std::size_t from) {
      return (std::uint64_t{bytes.U32BE(from)} << 32) | bytes.U32BE(from + 4);
    };
    const std::uint64_t length = wide ? u64(at) : bytes.U32BE(at);
    const std::uint64_t start = wide ? u64(at + 8) : bytes.U32BE(at + 4);
    if (start != (wide ? ~std::uint64_t{0} : 0xFFFFFFFFu))
      return TEdit{start, length};
  }
  return std::nullopt;
}

// iTunes's gapless note, a freeform "iTunSMPB" item of hexadecimal words: a zero, the
// priming samples, the padding, the samples that play.
std::optional<TEdit> ITunesGapless(TBytes moov) {
  TBytes items = Path(moov, {"udta", "meta"});
  items = Child(items.size() > 4 ? items.subspan(4) : TBytes{}, "ilst"); // meta is a full box
  for (TBytes rest = items; !rest.empty();) {
    const TBytes item = Child(rest, "----");
    if (item.empty())
      return std::nullopt;
    rest = rest.subspan(static_cast<std::size_t>(item.data() + item.size() - rest.data()));
    const TBytes name = Child(item, "name");
    if (!TByteReader(name).Matches(4, "iTunSMPB"))
      continue;
    const TBytes data = Child(item, "data");
    if (data.size() <= 8)
      return std::nullopt;
    const std::string text(reinterpret_cast<const char*>(data.data()) + 8, data.size() - 8);
    std::uint64_t words[4] = {};
    const char* at = text.c_str();
    for (std::uint64_t& word : words) {
      char* end = nullptr;
      word = std::strtoull(at, &end, 16);
      if (end == at)
        return std::nullopt;
      at = end;
    }
    return TEdit{words[1], words[3]};
  }
  return std::nullopt;
}

// The place of every sample: chunks from stco or co64, samples a chunk from stsc, sizes from
// stsz; each count bounded by the bytes its box holds.
bool ListSamples(TBytes stbl, std::int64_t fileSize, std::vector<TMp4Sample>& samples) {
  const TByteReader sizes(Child(stbl, "stsz")), runs(Child(stbl, "stsc"));
  const TBytes stco = Child(stbl, "stco"), co64 = Child(stbl, "co64");
  const bool wide = stco.empty();
  const TByteReader chunks(wide ? co64 : stco);
  const std::uint32_t fixedSize = sizes.U32BE(4), sampleCount = sizes.U32BE(8);
  const std::uint32_t chunkCount = chunks.U32BE(4), runCount = runs.U32BE(4);
  if (sampleCount > MaximumMp4Samples ||
      (fixedSize == 0 && !sizes.Has(12, 4 * std::size_t{sampleCount})))
    return false;
  samples.reserve(sampleCount);
  std::uint32_t nextChunk = 1; // runs go forward: no chunk is listed twice
  // Samples do not overlap, so together they fit in the file: chunks that all point at one
  // stretch would have a small file read for hours.
  std::int64_t total = 0;
  for (std::uint32_t run = 0; run < runCount && runs.Has(8 + 12 * std::size_t{run}, 12); ++run) {
    const std::size_t at = 8 + 12 * std::size_t{run};
    const std::uint32_t first = runs.U32BE(at), perChunk = runs.U32BE(at + 4);
    const std::uint32_t last =
        run + 1 < runCount && runs.Has(at + 12, 4) ? runs.U32BE(at + 12) : chunkCount + 1;
    if (first < nextChunk || last < first)
      return false;
    nextChunk = last;
    for (std::uint32_t chunk = first; chunk < last && chunk <= chunkCount; ++chunk) {
      const std::size_t entry = 8 + (wide ? 8 : 4) * std::size_t{chunk - 1};
      if (chunk == 0 || !chunks.Has(entry, wide ? 8 : 4))
        return false;
      std::int64_t offset =
          wide ? static_cast<std::int64_t>((std::uint64_t{chunks.U32BE(entry)} << 32) |
                                           chunks.U32BE(entry + 4))
               : chunks.U32BE(entry);
      for (std::uint32_t i = 0; i < perChunk && samples.size() < sampleCount; ++i) {
        const std::uint32_t size = fixedSize ? fixedSize : sizes.U32BE(12 + 4 * samples.size());
        total += size;
        if (offset < 0 || size > MaximumMp4SampleBytes || offset > fileSize - size ||
            total > fileSize)
          return false;
        samples.push_back({offset, size});
        offset += size;
      }
    }
  }
  return samples.size() == sampleCount && !samples.empty();
}
} // namespace

TMp4SampleTableResult ReadMp4SampleTable(TReadOnlyFile& file) {
  const auto movie = MovieBox(file);
  if (!movie)
    return Refused("no movie box within bounds was found");
  const TBytes moov(*movie);
  const TBytes trak = SoundTrack(moov);
  const TBytes stbl = Path(trak, {"mdia", "minf", "stbl"});
  const auto entry = FirstSampleEntry(Child(stbl, "stsd"));
  if (trak.empty() || !entry)
    return Refused("the file has no sound track");
  TMp4SampleTable table;
  TBytes configuration;
  if (entry->Type == "mp4a") {
    table.Codec = "AAC";
    configuration = AacConfiguration(*entry);
  } else if (entry->Type == "alac") {
    table.Codec = "ALAC";
    const TBytes box = Child(entry->Children, "alac");
    // The decoder takes the box whole, its header too.
    if (!box.empty())
      configuration = TBytes(box.data() - 8, box.size() + 8);
  } else {
    return Refused("the sound track's codec is neither AAC nor ALAC");
  }
  if (configuration.empty())
    return Refused("the sound track's decoder configuration is missing");
  table.Configuration.assign(configuration.begin(), configuration.end());
  table.Timescale = TimingOf(Path(trak, {"mdia", "mdhd"})).Timescale;
  const std::uint32_t movieTimescale = TimingOf(Child(moov, "mvhd")).Timescale;
  if (const auto edit = FirstMediaEdit(Path(trak, {"edts", "elst"}));
      edit && movieTimescale > 0 && table.Timescale > 0) {
    table.Priming = edit->MediaStart;
    // In the track's timescale; a length no file's samples reach is taken as none.
    const double played =
        static_cast<double>(edit->Length) * table.Timescale / movieTimescale + 0.5;
    if (edit->Length > 0 && played < 0x1p62)
      table.Played = static_cast<std::uint64_t>(played);
  } else if (const auto gapless = ITunesGapless(moov)) {
    table.Priming = gapless->MediaStart;
    table.Played = gapless->Length;
  }
  if (!ListSamples(stbl, file.Size(), table.Samples))
    return Refused("the sound track's sample table does not hold together");
  return {std::move(table), {}};
}
