// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/FrequencyLevels.h"

#include <algorithm>
#include <cmath>
#include <kiss_fftr.h>
#include <numbers>

struct TFrequencyMeter::TState {
  unsigned SampleRate = 0;
  unsigned Channels = 0;
  kiss_fftr_cfg Fft = nullptr;
  std::vector<float> Window, Block;
  std::vector<kiss_fft_cpx> Bins;
  std::vector<double> Power;
  std::size_t Filled = 0, Blocks = 0;
  // The picture's slices: each band's power summed over its bins and the slice's blocks.
  unsigned Columns = 0, Rows = 0;
  std::size_t BlocksPerColumn = 1;
  std::vector<float> Picture;
  std::vector<unsigned> RowOfBin;

  ~TState() { kiss_fftr_free(Fft); }

  void Transform() {
    for (std::size_t i = 0; i < BlockSamples; ++i)
      Block[i] *= Window[i];
    kiss_fftr(Fft, Block.data(), Bins.data());
    float* slice = Columns ? Slice() : nullptr;
    for (std::size_t k = 0; k < Power.size(); ++k) {
      const double power = double{Bins[k].r} * Bins[k].r + double{Bins[k].i} * Bins[k].i;
      Power[k] += power;
      if (slice)
        slice[RowOfBin[k]] += static_cast<float>(power);
    }
    ++Blocks;
    Filled = 0;
  }

  // The slice this block goes into; when every slice is taken, pairs merge into the first
  // half and each slice holds twice the blocks.
  float* Slice() {
    if (Blocks / BlocksPerColumn >= Columns) {
      for (unsigned c = 0; c < Columns / 2; ++c)
        for (unsigned r = 0; r < Rows; ++r)
          Picture[std::size_t{c} * Rows + r] =
              Picture[std::size_t{2 * c} * Rows + r] + Picture[std::size_t{2 * c + 1} * Rows + r];
      std::fill(Picture.begin() + std::ptrdiff_t{Columns / 2} * Rows, Picture.end(), 0.0f);
      BlocksPerColumn *= 2;
    }
    return Picture.data() + Blocks / BlocksPerColumn * Rows;
  }
};

TFrequencyMeter::TFrequencyMeter(unsigned sampleRate, unsigned channels)
    : State(std::make_unique<TState>()) {
  State->SampleRate = sampleRate;
  State->Channels = channels;
  State->Fft = kiss_fftr_alloc(static_cast<int>(BlockSamples), 0, nullptr, nullptr);
  State->Window.resize(BlockSamples);
  for (std::size_t i = 0; i < BlockSamples; ++i)
    State->Window[i] = static_cast<float>(
        0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / BlockSamples));
  State->Block.resize(BlockSamples);
  State->Bins.resize(BlockSamples / 2 + 1);
  State->Power.assign(BlockSamples / 2 + 1, 0);
}

TFrequencyMeter::~TFrequencyMeter() = default;
TFrequencyMeter::TFrequencyMeter(TFrequencyMeter&&) noexcept = default;
TFrequencyMeter& TFrequencyMeter::operator=(TFrequencyMeter&&) noexcept = default;

void TFrequencyMeter::KeepSonogram(unsigned columns, unsigned rows) {
  TState& s = *State;
  s.Columns = columns & ~1u; // merged two by two
  s.Rows = rows;
  s.Picture.assign(std::size_t{s.Columns} * rows, 0.0f);
  s.RowOfBin.resize(s.Power.size());
  for (std::size_t k = 0; k < s.Power.size(); ++k)
    s.RowOfBin[k] = static_cast<unsigned>(k * rows / s.Power.size());
}

void TFrequencyMeter::Add(const float* const* channels, std::size_t frames) {
  TState& s = *State;
  if (!s.Fft || s.Channels == 0)
    return;
  const float share = 1.0f / static_cast<float>(s.Channels);
  for (std::size_t i = 0; i < frames; ++i) {
    float mixed = 0;
    for (unsigned c = 0; c < s.Channels; ++c)
      mixed += channels[c][i];
    s.Block[s.Filled++] = mixed * share;
    if (s.Filled == BlockSamples)
      s.Transform();
  }
}

TFrequencyLevels TFrequencyMeter::Result() const {
  const TState& s = *State;
  TFrequencyLevels levels{static_cast<double>(s.SampleRate) / BlockSamples, {}};
  for (const double power : s.Power) {
    // Full scale is a sine of amplitude 1: a bin of (N/4)^2 through the Hann window.
    const double scale = (BlockSamples / 4.0) * (BlockSamples / 4.0);
    const double mean = s.Blocks ? power / static_cast<double>(s.Blocks) / scale : 0;
    levels.LevelDb.push_back(mean > 1e-20 ? 10 * std::log10(mean) : -200);
  }
  return levels;
}

TSonogram TFrequencyMeter::SonogramResult() const {
  const TState& s = *State;
  TSonogram picture;
  if (s.Columns == 0 || s.Blocks == 0)
    return picture;
  picture.SampleRate = s.SampleRate;
  picture.Seconds = static_cast<double>(s.Blocks * BlockSamples) / s.SampleRate;
  picture.Columns = static_cast<unsigned>((s.Blocks + s.BlocksPerColumn - 1) / s.BlocksPerColumn);
  picture.Rows = s.Rows;
  std::vector<std::size_t> binsInRow(s.Rows);
  for (const unsigned row : s.RowOfBin)
    ++binsInRow[row];
  const double scale = (BlockSamples / 4.0) * (BlockSamples / 4.0); // as Result's
  for (unsigned c = 0; c < picture.Columns; ++c) {
    const std::size_t blocks = std::min(s.BlocksPerColumn, s.Blocks - c * s.BlocksPerColumn);
    for (unsigned r = 0; r < s.Rows; ++r) {
      const double mean = s.Picture[std::size_t{c} * s.Rows + r] /
                          static_cast<double>(blocks * std::max<std::size_t>(1, binsInRow[r])) /
                          scale;
      picture.LevelDb.push_back(mean > 1e-20 ? static_cast<float>(10 * std::log10(mean)) : -200);
    }
  }
  return picture;
}

namespace {
// The levels smoothed over a few hundred hertz, so a single line or gap decides nothing.
std::vector<double> Smoothed(const TFrequencyLevels& levels, double widthHz) {
  const auto half = static_cast<std::ptrdiff_t>(std::max(1.0, widthHz / levels.BinHz / 2));
  const auto count = static_cast<std::ptrdiff_t>(levels.LevelDb.size());
  std::vector<double> smooth(levels.LevelDb.size());
  for (std::ptrdiff_t k = 0; k < count; ++k) {
    double sum = 0;
    std::ptrdiff_t n = 0;
    for (std::ptrdiff_t j = std::max<std::ptrdiff_t>(0, k - half);
         j <= std::min(count - 1, k + half); ++j, ++n)
      sum += levels.LevelDb[static_cast<std::size_t>(j)];
    smooth[static_cast<std::size_t>(k)] = sum / static_cast<double>(n);
  }
  return smooth;
}
} // namespace

TCutoff FindCutoff(const TFrequencyLevels& levels) {
  TCutoff cutoff;
  const std::size_t bins = levels.LevelDb.size();
  if (bins < 64 || levels.BinHz <= 0)
    return cutoff;
  const double nyquist = levels.BinHz * static_cast<double>(bins - 1);
  cutoff.Hz = nyquist;
  const std::vector<double> level = Smoothed(levels, 200);
  const auto at = [&](double hz) {
    const double bin = std::clamp(hz / levels.BinHz, 0.0, static_cast<double>(bins - 1));
    return level[static_cast<std::size_t>(bin)];
  };
  // A lossy encoder's low-pass: a cliff of more than 30 dB within 500 Hz where encoders
  // put theirs, with nothing coming back above it. A recording's own rolloff, even an
  // anti-alias filter's, falls more slowly or stops higher.
  double steepest = 0, cliff = 0;
  for (double hz = 15000; hz <= std::min(20500.0, nyquist - 1000); hz += levels.BinHz)
    if (const double drop = at(hz - 250) - at(hz + 250); drop > steepest) {
      steepest = drop;
      cliff = hz;
    }
  constexpr double CliffDb = 30;
  if (steepest > CliffDb) {
    const auto above = static_cast<std::size_t>((cliff + 500) / levels.BinHz);
    const double highest =
        *std::max_element(level.begin() + static_cast<std::ptrdiff_t>(above), level.end());
    if (highest < at(cliff - 500) - CliffDb) {
      cutoff.Hz = cliff;
      cutoff.LossyShape = true;
      return cutoff;
    }
  }
  // Otherwise the content stops at the highest frequency 12 dB above the floor (the
  // quietest stretch of the top twentieth); a top twentieth still within 30 dB of the
  // content at 1 to 4 kHz is no floor: the content (white noise, say) reaches the Nyquist
  // frequency.
  const std::size_t top = bins - bins / 20;
  const double floor =
      *std::min_element(level.begin() + static_cast<std::ptrdiff_t>(top), level.end());
  double body = -200; // silence: no content anywhere
  for (double hz = 1000; hz < 4000; hz += levels.BinHz)
    body = std::max(body, at(hz));
  if (body > -150 && floor > body - 30)
    return cutoff;
  std::size_t k = bins - 1;
  while (k > 0 && level[k] < floor + 12)
    --k;
  if (k < top)
    cutoff.Hz = static_cast<double>(k) * levels.BinHz;
  return cutoff;
}
