// SPDX-License-Identifier: GPL-3.0-or-later
// Ogg Vorbis tracks decoded with libvorbisfile and Opus tracks with libopusfile, which leaves
// out the stream's pre-skip and ends at its last granule position.
#include "audio/AudioBlocks.h"
#include "audio/CRC32Unit.h"
#include "common/FileUnit.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <opusfile.h>
#include <vorbis/vorbisfile.h>

namespace {
struct TReading {
  TReadOnlyFile* File = nullptr;
  std::int64_t Offset = 0;
  const TAudioDecodeHooks* Hooks = nullptr;

  std::size_t Read(void* buffer, std::size_t bytes) {
    const auto got = File->ReadAt(Offset, std::span(static_cast<std::uint8_t*>(buffer), bytes));
    if (!got)
      return 0;
    Offset += static_cast<std::int64_t>(*got);
    if (Hooks->BytesRead)
      Hooks->BytesRead(*got);
    return *got;
  }
  int Seek(std::int64_t offset, int whence) {
    const std::int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? Offset : File->Size();
    if (base + offset < 0 || base + offset > File->Size())
      return -1;
    Offset = base + offset;
    return 0;
  }
};

const ov_callbacks VorbisCallbacks = {
    [](void* buffer, size_t size, size_t count, void* source) -> size_t {
      return size == 0 ? 0 : static_cast<TReading*>(source)->Read(buffer, size * count) / size;
    },
    [](void* source, ogg_int64_t offset, int whence) {
      return static_cast<TReading*>(source)->Seek(offset, whence);
    },
    nullptr,
    [](void* source) {
      return static_cast<long>(static_cast<TReading*>(source)->Offset);
    }};

const OpusFileCallbacks OpusCallbacks = {
    [](void* source, unsigned char* buffer, int bytes) {
      return static_cast<int>(
          static_cast<TReading*>(source)->Read(buffer, static_cast<std::size_t>(bytes)));
    },
    [](void* source, opus_int64 offset, int whence) {
      return static_cast<TReading*>(source)->Seek(offset, whence);
    },
    [](void* source) -> opus_int64 { return static_cast<TReading*>(source)->Offset; }, nullptr};

TAudioDecodeResult CannotRead() {
  TAudioDecodeResult result;
  result.Problem = "the file cannot be read";
  return result;
}
} // namespace

TAudioDecodeResult decoder::DecodeVorbis(const std::string& path, const TAudioDecodeHooks& hooks) {
  auto file = TReadOnlyFile::Open(path);
  if (!file)
    return CannotRead();
  const TCrcOfWhatIsRead crc(*file, hooks.FileCrc, hooks.Cancelled);
  TAudioDecodeResult result;
  TReading reading{&*file, 0, &hooks};
  OggVorbis_File vorbis;
  if (ov_open_callbacks(&reading, &vorbis, nullptr, 0, VorbisCallbacks) != 0) {
    result.Problem = "no Vorbis stream was found";
    return result;
  }
  const std::unique_ptr<OggVorbis_File, int (*)(OggVorbis_File*)> closing(&vorbis, ov_clear);
  TAudioBlocks blocks(hooks, result);
  for (int link = -1; !blocks.Cancelled();) {
    float** channels = nullptr;
    const long frames = ov_read_float(&vorbis, &channels, 4096, &link);
    if (frames == 0)
      return result;
    if (frames == OV_HOLE)
      continue; // a page lost; what follows still plays
    const vorbis_info* info = ov_info(&vorbis, link);
    if (frames < 0 || !info || info->channels <= 0) {
      result.Problem = "the Vorbis stream does not decode";
      return result;
    }
    if (result.Stream.SampleRate != 0 && (result.Stream.Channels != unsigned(info->channels) ||
                                          result.Stream.SampleRate != unsigned(info->rate))) {
      result.Problem = "the Vorbis stream changes its channels or rate";
      return result;
    }
    result.Stream = {static_cast<unsigned>(info->rate), static_cast<unsigned>(info->channels), 0,
                     "Vorbis", static_cast<int>(std::max(0L, info->bitrate_nominal) / 1000)};
    blocks.Planar(channels, static_cast<unsigned>(frames));
  }
  return result;
}

TAudioDecodeResult decoder::DecodeOpus(const std::string& path, const TAudioDecodeHooks& hooks) {
  auto file = TReadOnlyFile::Open(path);
  if (!file)
    return CannotRead();
  const TCrcOfWhatIsRead crc(*file, hooks.FileCrc, hooks.Cancelled);
  TAudioDecodeResult result;
  TReading reading{&*file, 0, &hooks};
  int error = 0;
  const std::unique_ptr<OggOpusFile, void (*)(OggOpusFile*)> opus(
      op_open_callbacks(&reading, &OpusCallbacks, nullptr, 0, &error), op_free);
  if (!opus) {
    result.Problem = "no Opus stream was found";
    return result;
  }
  constexpr unsigned OpusRate = 48000; // what every Opus stream decodes to
  TAudioBlocks blocks(hooks, result);
  std::vector<float> samples(5760 * 8); // 120 ms of the most channels a link may have
  while (!blocks.Cancelled()) {
    int link = 0;
    const int frames =
        op_read_float(opus.get(), samples.data(), static_cast<int>(samples.size()), &link);
    if (frames == 0)
      return result;
    if (frames == OP_HOLE)
      continue;
    const int channels = op_channel_count(opus.get(), link);
    if (frames < 0 || channels <= 0) {
      result.Problem = "the Opus stream does not decode";
      return result;
    }
    if (result.Stream.SampleRate != 0 && result.Stream.Channels != unsigned(channels)) {
      result.Problem = "the Opus stream changes its channels";
      return result;
    }
    result.Stream = {OpusRate, static_cast<unsigned>(channels), 0, "Opus"};
    blocks.Interleaved(samples.data(), static_cast<unsigned>(frames));
  }
  return result;
}
