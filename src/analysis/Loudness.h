// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// EBU R128 loudness with libebur128: a track's integrated loudness, loudness range and
// true peak, and an album's integrated loudness over all its tracks, with the ReplayGain
// 2.0 gains they give (to -18 LUFS).
#include <cstddef>
#include <memory>
#include <optional>
#include <span>

struct TLoudnessState; // libebur128's, which has no name to declare ahead

struct TLoudness {
  double Integrated = 0; // LUFS
  double Range = 0;      // LU
  double TruePeakDb = 0; // dBTP
  double Gain = 0;       // dB to the ReplayGain 2.0 reference
};

inline constexpr double ReplayGainReference = -18; // LUFS

class TLoudnessMeter {
public:
  TLoudnessMeter(unsigned sampleRate, unsigned channels);
  ~TLoudnessMeter();
  TLoudnessMeter(TLoudnessMeter&&) noexcept;
  TLoudnessMeter& operator=(TLoudnessMeter&&) noexcept;

  // Interleaved samples in [-1, 1].
  void Add(const float* interleaved, std::size_t frames);
  std::optional<TLoudness> Result() const;

  // The album's loudness over its tracks' meters; nothing when none measured.
  static std::optional<TLoudness> Album(std::span<const TLoudnessMeter* const> tracks);

private:
  std::unique_ptr<TLoudnessState> State; // none for no channels or no rate
  unsigned Channels = 0;
};
