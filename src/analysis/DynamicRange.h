// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dynamic range as the DR meters posters quote measure it: each channel cut into
// blocks of 3 seconds; a block's RMS (doubled in power, so a full-scale sine reads 0 dB)
// and its peak; the channel's DR the second-highest block peak over the RMS of the
// loudest fifth of the blocks, in dB; the track's the channels' mean.
#include <cstddef>
#include <cstdint>
#include <vector>

struct TDynamicRange {
  double Value = 0;       // dB, the channels' mean; shown rounded ("DR12")
  double PeakDb = -200;   // dBFS, the highest sample of any channel
  double RmsDb = -200;    // dBFS, the plain RMS of all the samples
  std::size_t Blocks = 0; // per channel
};

class TDynamicRangeMeter {
public:
  TDynamicRangeMeter(unsigned sampleRate, unsigned channels);

  // Samples in [-1, 1], an array for each channel.
  void Add(const float* const* channels, std::size_t frames);
  TDynamicRange Result() const;

private:
  struct TBlock {
    double Rms = 0;
    float Peak = 0;
  };
  void EndBlock();

  std::size_t BlockFrames;
  std::size_t Filled = 0;
  std::vector<double> Squares; // this block's, per channel
  std::vector<float> Peaks;
  std::vector<std::vector<TBlock>> Blocks; // per channel
  double AllSquares = 0;
  std::uint64_t AllSamples = 0;
};
