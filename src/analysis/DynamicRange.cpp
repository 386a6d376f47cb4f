// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/DynamicRange.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double BlockSeconds = 3;
constexpr double LoudestShare = 0.2;

double Decibels(double level) {
  return level > 0 ? 20 * std::log10(level) : -200;
}
} // namespace

TDynamicRangeMeter::TDynamicRangeMeter(unsigned sampleRate, unsigned channels)
    : BlockFrames(std::max<std::size_t>(1, static_cast<std::size_t>(sampleRate * BlockSeconds))),
      Squares(channels), Peaks(channels), Blocks(channels) {}

void TDynamicRangeMeter::Add(const float* const* channels, std::size_t frames) {
  for (std::size_t done = 0; done < frames;) {
    const std::size_t take = std::min(frames - done, BlockFrames - Filled);
    for (std::size_t c = 0; c < Squares.size(); ++c) {
      double squares = 0;
      float peak = Peaks[c];
      for (const float* x = channels[c] + done; x != channels[c] + done + take; ++x) {
        squares += double{*x} * *x;
        peak = std::max(peak, std::fabs(*x));
      }
      Squares[c] += squares;
      Peaks[c] = peak;
      AllSquares += squares;
    }
    AllSamples += take * Squares.size();
    Filled += take;
    done += take;
    if (Filled == BlockFrames)
      EndBlock();
  }
}

void TDynamicRangeMeter::EndBlock() {
  for (std::size_t c = 0; c < Squares.size(); ++c) {
    Blocks[c].push_back({std::sqrt(2 * Squares[c] / static_cast<double>(Filled)), Peaks[c]});
    Squares[c] = 0;
    Peaks[c] = 0;
  }
  Filled = 0;
}

TDynamicRange TDynamicRangeMeter::Result() const {
  // The last block, however short, counts as the meters count it.
  TDynamicRangeMeter whole = *this;
  if (whole.Filled > 0)
    whole.EndBlock();
  TDynamicRange result;
  result.RmsDb =
      AllSamples ? Decibels(std::sqrt(AllSquares / static_cast<double>(AllSamples))) : -200;
  double sum = 0;
  for (std::vector<TBlock> blocks : whole.Blocks) {
    result.Blocks = blocks.size();
    if (blocks.empty())
      return result;
    std::sort(blocks.begin(), blocks.end(),
              [](const TBlock& a, const TBlock& b) { return a.Peak > b.Peak; });
    const double secondPeak = blocks[blocks.size() > 1 ? 1 : 0].Peak;
    result.PeakDb = std::max(result.PeakDb, Decibels(blocks.front().Peak));
    std::sort(blocks.begin(), blocks.end(),
              [](const TBlock& a, const TBlock& b) { return a.Rms > b.Rms; });
    const auto loudest = std::max<std::size_t>(
        1, static_cast<std::size_t>(static_cast<double>(blocks.size()) * LoudestShare));
    double power = 0;
    for (std::size_t i = 0; i < loudest; ++i)
      power += blocks[i].Rms * blocks[i].Rms;
    const double rms = std::sqrt(power / static_cast<double>(loudest));
    sum += rms > 0 && secondPeak > 0 ? Decibels(secondPeak / rms) : 0;
  }
  result.Value = whole.Blocks.empty() ? 0 : sum / static_cast<double>(whole.Blocks.size());
  return result;
}
