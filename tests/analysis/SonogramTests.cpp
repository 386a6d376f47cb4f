// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/FrequencyLevels.h"
#include "analysis/LossyQuality.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <optional>
#include <vector>

// A rising sweep longer than the picture's slices: slices merge two by two as the track
// goes on, so the picture still spans the whole track in order, its loudest band rising
// from slice to slice, and a track of any length keeps the same few slices.
TEST(Sonogram, SlicesMergeAndKeepTheirOrder) {
  constexpr unsigned Rate = 8000, Columns = 16, Rows = 64;
  constexpr std::size_t Blocks = 50, Frames = Blocks * TFrequencyMeter::BlockSamples;
  TFrequencyMeter meter(Rate, 1);
  meter.KeepSonogram(Columns, Rows);
  std::vector<float> samples(Frames);
  double phase = 0;
  for (std::size_t i = 0; i < Frames; ++i) {
    const double hz = 100 + 3800.0 * static_cast<double>(i) / Frames;
    phase += 2 * std::numbers::pi * hz / Rate;
    samples[i] = static_cast<float>(0.5 * std::sin(phase));
  }
  const float* channels[] = {samples.data()};
  meter.Add(channels, Frames);
  const TSonogram picture = meter.SonogramResult();
  EXPECT_EQ(picture.Columns, 13u); // 50 blocks in slices of 4
  EXPECT_NEAR(picture.Seconds, static_cast<double>(Frames) / Rate, 1e-9);
  ASSERT_EQ(picture.LevelDb.size(), std::size_t{picture.Columns} * Rows);
  unsigned previous = 0;
  for (unsigned c = 0; c < picture.Columns; ++c) {
    unsigned loudest = 0;
    for (unsigned r = 1; r < Rows; ++r)
      if (picture.At(c, r) > picture.At(c, loudest))
        loudest = r;
    EXPECT_GE(loudest, previous) << "slice " << c;
    // A -6 dB sine, its power spread over the band's 32 bins, far above the rest.
    EXPECT_GT(picture.At(c, loudest), -30) << "slice " << c;
    EXPECT_LT(picture.At(c, (loudest + Rows / 2) % Rows), -80) << "slice " << c;
    previous = loudest;
  }
  EXPECT_GT(previous, Rows * 3 / 4); // the sweep ends near the top
}

// A lossy track's rate is judged by where its content stops; content with no highs at all
// (a tone, an old recording) tells no encoder's rate and is not judged.
TEST(LossyRate, JudgedByTheContentsTop) {
  const struct {
    const char* Name;
    const char* Codec;
    int Kbps;
    double CutoffHz;
    std::optional<int> SourceKbps; // none: not judged; 0: as the rate keeps
  } cases[] = {
      {"a true 320", "MP3", 320, 20300, 0},
      {"320 from a 128 kbps source", "MP3", 320, 16800, 128},
      {"a tone with no highs", "MP3", 320, 1600, std::nullopt},
      {"AAC of a tone", "AAC", 256, 1600, std::nullopt},
      {"no rate stated", "MP3", 0, 16800, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto quality = JudgeLossyRate(c.Codec, c.Kbps, "", 2, 44100, c.CutoffHz);
    ASSERT_EQ(quality.has_value(), c.SourceKbps.has_value());
    if (quality) {
      EXPECT_EQ(quality->SourceKbps, *c.SourceKbps);
    }
  }
}
