// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioDecode.h"

#include "audio/AudioBlocks.h"
#include "audio/FlacDecode.h"

#include <algorithm>
#include <array>

namespace {
struct TAudioDecoder {
  TTrackKind Kind;
  TAudioDecodeResult (*Decode)(const std::string& path, const TAudioDecodeHooks& hooks);
};

// In the track kinds' order, one for each.
constexpr std::array AudioDecoders = {
    TAudioDecoder{TTrackKind::MP3, decoder::DecodeMp3},
    TAudioDecoder{TTrackKind::FLAC, decoder::DecodeFlac},
    TAudioDecoder{TTrackKind::OggVorbis, decoder::DecodeVorbis},
    TAudioDecoder{TTrackKind::Opus, decoder::DecodeOpus},
    TAudioDecoder{TTrackKind::M4A, decoder::DecodeM4a},
};

constexpr bool EveryKindHasItsDecoder() {
  if (AudioDecoders.size() != TrackKinds.size())
    return false;
  for (std::size_t i = 0; i < TrackKinds.size(); ++i)
    if (AudioDecoders[i].Kind != TrackKinds[i].Kind)
      return false;
  return true;
}
static_assert(EveryKindHasItsDecoder(), "one decoder for each track kind, in the kinds' order");
} // namespace

TAudioDecodeResult DecodeAudioFile(const std::string& path, TTrackKind kind,
                                   const TAudioDecodeHooks& hooks) {
  const auto row = std::find_if(AudioDecoders.begin(), AudioDecoders.end(),
                                [kind](const TAudioDecoder& d) { return d.Kind == kind; });
  return row->Decode(path, hooks);
}

float* const* TAudioBlocks::Planes(unsigned frames) {
  Storage.resize(Result.Stream.Channels);
  Pointers.clear();
  for (auto& plane : Storage) {
    plane.resize(frames);
    Pointers.push_back(plane.data());
  }
  return Pointers.data();
}

void TAudioBlocks::Interleaved(const float* samples, unsigned frames) {
  const unsigned channels = Result.Stream.Channels;
  float* const* planes = Planes(frames);
  for (unsigned i = 0; i < frames; ++i)
    for (unsigned c = 0; c < channels; ++c)
      planes[c][i] = samples[std::size_t{i} * channels + c];
  Planar(planes, frames);
}

void TAudioBlocks::Planar(const float* const* channels, unsigned frames) {
  Result.Samples += frames;
  if (Hooks.Block && frames > 0)
    Hooks.Block(Result.Stream, channels, frames);
}

bool TAudioBlocks::Cancelled() {
  if (Hooks.Cancelled && Hooks.Cancelled->load())
    Result.Stopped = true;
  return Result.Stopped;
}

TAudioDecodeResult decoder::DecodeFlac(const std::string& path, const TAudioDecodeHooks& hooks) {
  TAudioDecodeResult result;
  TAudioBlocks blocks(hooks, result);
  TFlacDecodeHooks flac{
      hooks.BytesRead,
      [&](const TFlacStream& stream, const std::int32_t* const* channels, unsigned frames) {
        // libFLAC holds to 4 to 32 bits; no shift is left to the stream.
        if (stream.BitsPerSample < 4 || stream.BitsPerSample > 32)
          return;
        result.Stream = {stream.SampleRate, stream.Channels, stream.BitsPerSample, "FLAC"};
        blocks.Integers(channels, frames, stream.BitsPerSample);
      },
      hooks.Cancelled, false, hooks.FileCrc};
  const TFlacDecodeResult decoded = DecodeFlacFile(path, flac);
  result.Stopped = decoded.Stopped;
  if (decoded.Info)
    result.Stream = {decoded.Stream.SampleRate, decoded.Stream.Channels,
                     decoded.Stream.BitsPerSample, "FLAC"};
  result.Samples = decoded.Samples;
  if (!decoded.Opened)
    result.Problem = "the file cannot be read";
  else if (!decoded.Decoded || !decoded.Info || decoded.Stream.BitsPerSample < 4 ||
           decoded.Stream.BitsPerSample > 32)
    result.Problem = "the FLAC stream does not decode";
  return result;
}
