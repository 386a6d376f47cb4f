// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every decoder does with its output: samples of any layout turned into one float array
// a channel and handed to the hook, counted, with the cancel asked between blocks.
#include "audio/AudioDecode.h"

#include <vector>

class TAudioBlocks {
public:
  TAudioBlocks(const TAudioDecodeHooks& hooks, TAudioDecodeResult& result)
      : Hooks(hooks), Result(result) {}

  // Interleaved samples, frames of the stream's channels.
  void Interleaved(const float* samples, unsigned frames);
  // One array a channel; the counts past the stream's channels are not heard.
  void Planar(const float* const* channels, unsigned frames);
  // Integer planes of the given bits, a sample in the low bits of each.
  template <typename TSample>
  void Integers(const TSample* const* channels, unsigned frames, unsigned bits);
  // True when the caller asked to stop; the result says so.
  bool Cancelled();

private:
  float* const* Planes(unsigned frames);

  const TAudioDecodeHooks& Hooks;
  TAudioDecodeResult& Result;
  std::vector<std::vector<float>> Storage;
  std::vector<float*> Pointers;
};

template <typename TSample>
void TAudioBlocks::Integers(const TSample* const* channels, unsigned frames, unsigned bits) {
  const float scale = 1.0f / static_cast<float>(std::uint64_t{1} << (bits - 1));
  float* const* planes = Planes(frames);
  for (unsigned c = 0; c < Result.Stream.Channels; ++c)
    for (unsigned i = 0; i < frames; ++i)
      planes[c][i] = static_cast<float>(channels[c][i]) * scale;
  Planar(planes, frames);
}
