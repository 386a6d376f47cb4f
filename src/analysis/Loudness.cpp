// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/Loudness.h"

#include <algorithm>
#include <cmath>
#include <ebur128.h>
#include <memory>
#include <utility>
#include <vector>

struct TLoudnessState {
  explicit TLoudnessState(ebur128_state* meter) : Meter(meter) {}
  ~TLoudnessState() { ebur128_destroy(&Meter); }
  TLoudnessState(const TLoudnessState&) = delete;
  TLoudnessState& operator=(const TLoudnessState&) = delete;
  ebur128_state* Meter = nullptr;
};

namespace {
double Decibels(double level) {
  return level > 0 ? 20 * std::log10(level) : -200;
}
} // namespace

TLoudnessMeter::TLoudnessMeter(unsigned sampleRate, unsigned channels) : Channels(channels) {
  if (channels == 0 || sampleRate == 0)
    return;
  // Every block is kept (80 bytes a second), not a histogram: the loudness to the hundredth
  // of a LU, as the reference meters give it.
  ebur128_state* meter = ebur128_init(channels, sampleRate,
                                      EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK);
  if (meter)
    State = std::make_unique<TLoudnessState>(meter);
}

TLoudnessMeter::~TLoudnessMeter() = default;
TLoudnessMeter::TLoudnessMeter(TLoudnessMeter&&) noexcept = default;
TLoudnessMeter& TLoudnessMeter::operator=(TLoudnessMeter&&) noexcept = default;

void TLoudnessMeter::Add(const float* interleaved, std::size_t frames) {
  if (State)
    ebur128_add_frames_float(State->Meter, interleaved, frames);
}

std::optional<TLoudness> TLoudnessMeter::Result() const {
  TLoudness loudness;
  if (!State || ebur128_loudness_global(State->Meter, &loudness.Integrated) != EBUR128_SUCCESS ||
      !std::isfinite(loudness.Integrated))
    return std::nullopt;
  if (ebur128_loudness_range(State->Meter, &loudness.Range) != EBUR128_SUCCESS)
    loudness.Range = 0;
  double peak = 0;
  for (unsigned c = 0; c < Channels; ++c) {
    double channel = 0;
    if (ebur128_true_peak(State->Meter, c, &channel) == EBUR128_SUCCESS)
      peak = std::max(peak, channel);
  }
  loudness.TruePeakDb = Decibels(peak);
  loudness.Gain = ReplayGainReference - loudness.Integrated;
  return loudness;
}

std::optional<TLoudness> TLoudnessMeter::Album(std::span<const TLoudnessMeter* const> tracks) {
  std::vector<ebur128_state*> states;
  TLoudness album;
  album.TruePeakDb = -200;
  for (const TLoudnessMeter* track : tracks)
    if (const auto result = track && track->State ? track->Result() : std::nullopt) {
      states.push_back(track->State->Meter);
      album.TruePeakDb = std::max(album.TruePeakDb, result->TruePeakDb);
    }
  if (states.empty() ||
      ebur128_loudness_global_multiple(states.data(), states.size(), &album.Integrated) !=
          EBUR128_SUCCESS ||
      !std::isfinite(album.Integrated))
    return std::nullopt;
  if (ebur128_loudness_range_multiple(states.data(), states.size(), &album.Range) !=
      EBUR128_SUCCESS)
    album.Range = 0;
  album.Gain = ReplayGainReference - album.Integrated;
  return album;
}
