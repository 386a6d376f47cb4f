// SPDX-License-Identifier: GPL-3.0-or-later
// AAC and ALAC tracks in MP4: the program's own walk of the sample table hands each sample to
// FFmpeg's libavcodec (the demuxer, libavformat, is not needed), and the priming samples the
// edit list or iTunSMPB names are left out.
#include "audio/AudioBlocks.h"
#include "audio/AvcodecLibrary.h"
#include "audio/CRC32Unit.h"
#include "audio/Mp4Atoms.h"
#include "audio/Mp4Samples.h"

#include <memory>

namespace {
struct TContextDeleter {
  const TAvcodec* Av;
  void operator()(AVCodecContext* context) const { Av->FreeContext(&context); }
};
struct TPacketDeleter {
  const TAvcodec* Av;
  void operator()(AVPacket* packet) const { Av->PacketFree(&packet); }
};
struct TFrameDeleter {
  const TAvcodec* Av;
  void operator()(AVFrame* frame) const { Av->FrameFree(&frame); }
};

constexpr unsigned MostChannels = 8; // AAC's and ALAC's own limit

// The decoded samples that play: the priming ones left out, the rest up to the played length.
class TPlayedSamples {
public:
  TPlayedSamples(const TMp4SampleTable& table, unsigned rate)
      // HE-AAC decodes at twice the rate the media counts in.
      : Skip(Scaled(table.Priming, table.Timescale, rate)),
        Left(table.Played ? Scaled(*table.Played, table.Timescale, rate) : UINT64_MAX) {}

  void Hear(TAudioBlocks& blocks, const float* const* channels, unsigned frames, unsigned count) {
    const auto skipped = static_cast<unsigned>(std::min<std::uint64_t>(Skip, frames));
    Skip -= skipped;
    const auto kept = static_cast<unsigned>(std::min<std::uint64_t>(Left, frames - skipped));
    Left -= kept;
    const float* moved[MostChannels];
    for (unsigned c = 0; c < count; ++c)
      moved[c] = channels[c] + skipped;
    blocks.Planar(moved, kept);
  }

private:
  static std::uint64_t Scaled(std::uint64_t samples, std::uint32_t timescale, unsigned rate) {
    return timescale == 0
               ? samples
               : static_cast<std::uint64_t>(static_cast<double>(samples) * rate / timescale + 0.5);
  }
  std::uint64_t Skip, Left;
};

// One decoded frame's samples as floats, whatever layout the decoder gave.
bool ToFloats(const TAvcodec& av, const AVFrame& frame, unsigned channels,
              std::vector<std::vector<float>>& planes) {
  const auto format = static_cast<AVSampleFormat>(frame.format);
  const bool planar = av.SampleFormatIsPlanar(format);
  const AVSampleFormat packed = av.PackedSampleFormat(format);
  const auto frames = static_cast<std::size_t>(frame.nb_samples);
  planes.resize(channels);
  for (unsigned c = 0; c < channels; ++c) {
    planes[c].resize(frames);
    const std::uint8_t* data = frame.extended_data[planar ? c : 0];
    for (std::size_t i = 0; i < frames; ++i) {
      const std::size_t at = planar ? i : i * channels + c;
      switch (packed) {
      case AV_SAMPLE_FMT_FLT:
        planes[c][i] = reinterpret_cast<const float*>(data)[at];
        break;
      case AV_SAMPLE_FMT_S16:
        planes[c][i] = reinterpret_cast<const std::int16_t*>(data)[at] / 32768.0f;
        break;
      case AV_SAMPLE_FMT_S32:
        planes[c][i] =
            static_cast<float>(reinterpret_cast<const std::int32_t*>(data)[at] / 2147483648.0);
        break;
      default:
        return false;
      }
    }
  }
  return true;
}

struct TMp4Decoding {
  const TAvcodec& Av;
  const TMp4SampleTable& Table;
  TReadOnlyFile& File;
  const TAudioDecodeHooks& Hooks;
  AVCodecContext& Context;
  TAudioBlocks& Blocks;
  TAudioDecodeResult& Result;
  std::optional<TPlayedSamples> Played;
  std::vector<std::vector<float>> Planes;
  std::vector<const float*> Pointers;

  // Takes what the decoder has ready; false on a failure, said in the result.
  bool Drain(AVFrame& frame) {
    for (;;) {
      const int status = Av.ReceiveFrame(&Context, &frame);
      if (status == AVERROR(EAGAIN) || status == AVERROR_EOF)
        return true;
      const auto channels = static_cast<unsigned>(frame.ch_layout.nb_channels);
      if (status < 0 || channels == 0 || channels > MostChannels || frame.sample_rate <= 0 ||
          (Result.Stream.Channels != 0 && channels != Result.Stream.Channels))
        return Fail();
      if (!Played) {
        Result.Stream = {static_cast<unsigned>(frame.sample_rate), channels,
                         Table.Codec == "ALAC" ? static_cast<unsigned>(Context.bits_per_raw_sample)
                                               : 0,
                         Table.Codec};
        Played.emplace(Table, Result.Stream.SampleRate);
      }
      if (!ToFloats(Av, frame, channels, Planes))
        return Fail();
      Pointers.clear();
      for (const auto& plane : Planes)
        Pointers.push_back(plane.data());
      Played->Hear(Blocks, Pointers.data(), static_cast<unsigned>(frame.nb_samples), channels);
    }
  }
  bool Fail() {
    Result.Problem = "the " + Table.Codec + " stream does not decode";
    return false;
  }
  void Run();
};

void TMp4Decoding::Run() {
  const std::unique_ptr<AVPacket, TPacketDeleter> packet(Av.PacketAlloc(), {&Av});
  const std::unique_ptr<AVFrame, TFrameDeleter> frame(Av.FrameAlloc(), {&Av});
  if (!packet || !frame) {
    Fail();
    return;
  }
  for (const TMp4Sample& sample : Table.Samples) {
    if (Blocks.Cancelled())
      return;
    if (Av.NewPacket(packet.get(), static_cast<int>(sample.Size)) < 0 ||
        !File.ReadExactly(sample.Offset, std::span(packet->data, sample.Size))) {
      Result.Problem = "the file cannot be read";
      return;
    }
    if (Hooks.BytesRead)
      Hooks.BytesRead(sample.Size);
    const int sent = Av.SendPacket(&Context, packet.get());
    Av.PacketUnref(packet.get());
    if ((sent < 0 && sent != AVERROR_INVALIDDATA) || !Drain(*frame))
      return;
  }
  Av.SendPacket(&Context, nullptr);
  if (Drain(*frame) && !Played)
    Fail();
}
} // namespace

TAudioDecodeResult decoder::DecodeM4a(const std::string& path, const TAudioDecodeHooks& hooks) {
  TAudioDecodeResult result;
  auto file = TReadOnlyFile::Open(path);
  if (!file) {
    result.Problem = "the file cannot be read";
    return result;
  }
  const TCrcOfWhatIsRead crc(*file, hooks.FileCrc, hooks.Cancelled);
  if (!Mp4AtomTreeWithinLimits(*file)) {
    result.Problem = "its boxes nest deeper or are more than any track's";
    return result;
  }
  const TMp4SampleTableResult read = ReadMp4SampleTable(*file);
  if (!read.Table) {
    result.Problem = read.Problem;
    return result;
  }
  const TMp4SampleTable& table = *read.Table;
  const TAvcodec* av = LoadAvcodec();
  if (!av) {
    result.Problem = AvcodecMissing(table.Codec);
    return result;
  }
  const AVCodec* codec = av->FindDecoder(table.Codec == "AAC" ? AV_CODEC_ID_AAC : AV_CODEC_ID_ALAC);
  const std::unique_ptr<AVCodecContext, TContextDeleter> context(
      codec ? av->AllocContext(codec) : nullptr, {av});
  if (!context) {
    result.Problem = "no " + table.Codec + " decoder is at hand";
    return result;
  }
  // libavcodec reads past the configuration's end by up to its padding, which must be zero.
  context->extradata = static_cast<std::uint8_t*>(
      av->Mallocz(table.Configuration.size() + AV_INPUT_BUFFER_PADDING_SIZE));
  if (!context->extradata) {
    result.Problem = "no memory for the decoder";
    return result;
  }
  std::copy(table.Configuration.begin(), table.Configuration.end(), context->extradata);
  context->extradata_size = static_cast<int>(table.Configuration.size());
  if (av->Open(context.get(), codec, nullptr) < 0) {
    result.Problem = "the " + table.Codec + " decoder refuses the track's configuration";
    return result;
  }
  TAudioBlocks blocks(hooks, result);
  TMp4Decoding{*av, table, *file, hooks, *context, blocks, result, std::nullopt, {}, {}}.Run();
  return result;
}
