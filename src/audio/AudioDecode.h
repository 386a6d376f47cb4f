// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Any track decoded whole, one decoder a track kind, through the program's own file access:
// the samples go to a hook as floats, a block at a time, so nothing the size of the audio is
// held. The lossy kinds leave out what their encoders added (LAME's delay and padding, an
// MP4 edit list's priming, Opus's pre-skip), so a track's samples are its length in `info`.
#include "common/TrackKinds.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

struct TAudioStream {
  unsigned SampleRate = 0;
  unsigned Channels = 0;
  unsigned BitsPerSample = 0; // of a lossless stream; 0 for a lossy one
  std::string Codec;          // "FLAC", "MP3", "Vorbis", "Opus", "AAC", "ALAC"
  int NominalKbps = 0;        // the rate the encoder aimed at, where the stream says (Vorbis)
};

struct TAudioDecodeHooks {
  std::function<void(std::uint64_t)> BytesRead;
  // One block's samples in [-1, 1], an array for each channel, after the stream's information.
  std::function<void(const TAudioStream& stream, const float* const* channels, unsigned frames)>
      Block;
  const std::atomic<bool>* Cancelled = nullptr;
  // When set: the whole file's CRC-32, from the bytes the decoding reads.
  std::optional<std::uint32_t>* FileCrc = nullptr;
};

struct TAudioDecodeResult {
  bool Stopped = false;      // cancelled
  std::string Problem;       // why the stream did not decode to its end; empty when it did
  TAudioStream Stream;       // when the stream's information was read (SampleRate > 0)
  std::uint64_t Samples = 0; // decoded, per channel
  bool Decoded() const { return Problem.empty() && !Stopped; }
};

// The decoder of the track kind decodes the file.
TAudioDecodeResult DecodeAudioFile(const std::string& path, TTrackKind kind,
                                   const TAudioDecodeHooks& hooks);

// Each kind's own decoder, in its own file.
namespace decoder {
TAudioDecodeResult DecodeFlac(const std::string& path, const TAudioDecodeHooks& hooks);
TAudioDecodeResult DecodeMp3(const std::string& path, const TAudioDecodeHooks& hooks);
TAudioDecodeResult DecodeVorbis(const std::string& path, const TAudioDecodeHooks& hooks);
TAudioDecodeResult DecodeOpus(const std::string& path, const TAudioDecodeHooks& hooks);
TAudioDecodeResult DecodeM4a(const std::string& path, const TAudioDecodeHooks& hooks);
} // namespace decoder
