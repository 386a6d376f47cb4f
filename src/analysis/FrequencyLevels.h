// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A track's average level at each frequency (the channels mixed, Hann-windowed blocks of 4,096
// samples through kissfft), and what it tells of the track's past: the frequency where its content
// stops, and whether it stops as a lossy encoder's low-pass stops it (steeply, at 15 to
// 20.5 kHz), the mark of a lossless file made from a lossy one.
#include <cstddef>
#include <memory>
#include <vector>

struct TFrequencyLevels {
  double BinHz = 0;
  std::vector<double> LevelDb; // per bin, 0 to the Nyquist frequency
};

// The levels through time, for a picture: Columns slices of the track (each some whole
// blocks), Rows bands from 0 Hz to the Nyquist frequency.
struct TSonogram {
  unsigned SampleRate = 0;
  double Seconds = 0;
  unsigned Columns = 0, Rows = 0;
  std::vector<float> LevelDb; // column by column, band 0 (0 Hz) first
  std::vector<double> Starts; // of an album's picture: where each track after the first begins
  float At(unsigned column, unsigned row) const {
    return LevelDb[std::size_t{column} * Rows + row];
  }
};

struct TCutoff {
  double Hz = 0;           // where the content stops; the Nyquist frequency when it does not
  bool LossyShape = false; // a steep stop where lossy encoders put theirs
};

class TFrequencyMeter {
public:
  static constexpr std::size_t BlockSamples = 4096;

  TFrequencyMeter(unsigned sampleRate, unsigned channels);
  ~TFrequencyMeter();
  TFrequencyMeter(TFrequencyMeter&&) noexcept;
  TFrequencyMeter& operator=(TFrequencyMeter&&) noexcept;

  // Keeps the levels through time as well, in at most columns slices (however long the
  // track: slices merge two by two as it goes on) of rows bands.
  void KeepSonogram(unsigned columns, unsigned rows);

  // Samples in [-1, 1], an array for each channel.
  void Add(const float* const* channels, std::size_t frames);
  TFrequencyLevels Result() const;
  // Empty unless kept.
  TSonogram SonogramResult() const;

private:
  struct TState;
  std::unique_ptr<TState> State;
};

TCutoff FindCutoff(const TFrequencyLevels& levels);
