// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/LossyQuality.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <span>

namespace {
struct TLowPass {
  int Kbps;
  double Hz;
};

// LAME 3.100's low-pass by bit rate (lame.c, optimum_bandwidth), for CBR and ABR; its VBR
// presets land near the same frequency for their average rate (-V0 about 245 kbps, 19.5 kHz;
// -V2 about 190 kbps, 18.7 kHz). Checked against `lame --verbose`'s transition bands.
constexpr std::array<TLowPass, 10> LameLowPass = {{{64, 11000},
                                                   {80, 13500},
                                                   {96, 15100},
                                                   {112, 15600},
                                                   {128, 17000},
                                                   {160, 17500},
                                                   {192, 18600},
                                                   {224, 19400},
                                                   {256, 19700},
                                                   {320, 20500}}};

// LAME 3.100's VBR presets' low-pass (-V0 to -V6, the transition band's top as `lame
// --verbose` prints it). -V0 sets none; a track's top band then stops where its content thins
// out, near 320 kbps's, so that frequency stands for it.
constexpr std::array<double, 7> LameVbrLowPass = {20500, 19900, 19200, 18500, 17800, 17100, 17100};

// libvorbis's low-pass by quality (lib/modes/psych_44.h, _psy_lowpass_44), at the nominal rate
// each quality has for 44.1 kHz stereo (q0 64 kbps to q6 192 kbps); from q6 up none is set.
constexpr std::array<TLowPass, 7> VorbisLowPass = {{{64, 15100},
                                                    {80, 15800},
                                                    {96, 16500},
                                                    {112, 17200},
                                                    {128, 18900},
                                                    {160, 20100},
                                                    {192, 22050}}};

// FFmpeg's native AAC encoder's cutoff (libavcodec/psymodel.h, AAC_CUTOFF_FROM_BITRATE): from
// the rate a channel has.
constexpr double AacCutoff(int kbps, unsigned channels, unsigned sampleRate) {
  const double perChannel = kbps * 1000.0 / std::max(1u, channels);
  const double cutoff = std::min({std::max(perChannel / 5, perChannel * 15 / 32 - 5500),
                                  3000 + perChannel / 4, 12000 + perChannel / 16, 22000.0});
  return std::min(cutoff, sampleRate / 2.0);
}
constexpr std::array<int, 8> AacRates = {64, 96, 128, 160, 192, 224, 256, 320};

// libopus codes its full band, to 20 kHz, at every rate from about 24 kbps up (checked on
// FFmpeg's libopus files of 32 to 256 kbps); below, it may choose a narrower band. The source of an
// Opus file made again is most often an MP3, so a lower rate is named by LAME's low-pass. Below
// about 130 kbps the encoder fills an empty top band with folded spectrum, which hides the first
// encoding.
constexpr double OpusLowPass = 20000;
constexpr int OpusFullBandKbps = 24;

// The low-pass at a rate between the table's rows, drawn straight between them.
double LowPassAt(std::span<const TLowPass> table, int kbps) {
  if (kbps <= table.front().Kbps)
    return table.front().Hz;
  for (std::size_t i = 1; i < table.size(); ++i)
    if (kbps <= table[i].Kbps) {
      const TLowPass& a = table[i - 1];
      const TLowPass& b = table[i];
      return a.Hz + (b.Hz - a.Hz) * (kbps - a.Kbps) / (b.Kbps - a.Kbps);
    }
  return table.back().Hz;
}

// How far under the expected low-pass content may stop before the rate is doubted: a track's
// own quiet top octave and the meter's steps stay within it; a lower rate's low-pass does not.
constexpr double Tolerance = 2000;
// Within this of a lower rate's low-pass, the content is taken as stopped by it.
constexpr double SourceMargin = 600;
} // namespace

std::optional<TLossyQuality> JudgeLossyRate(std::string_view codec, int kbps,
                                            std::string_view setting, unsigned channels,
                                            unsigned sampleRate, double cutoffHz) {
  if (kbps <= 0 || sampleRate == 0 || cutoffHz <= 0)
    return std::nullopt;
  TLossyQuality quality{kbps, cutoffHz, 0, 0};
  const double nyquist = sampleRate / 2.0;
  // The expected low-pass, and the lower rates whose low-pass the content may match.
  std::array<TLowPass, 11> lower{};
  std::size_t count = 0;
  const auto lowerRows = [&](std::span<const TLowPass> table) {
    for (const TLowPass& row : table)
      if (row.Kbps < kbps && count < lower.size())
        lower[count++] = row;
  };
  if (codec == "MP3" || codec == "Vorbis") {
    const std::span<const TLowPass> table =
        codec == "MP3" ? std::span<const TLowPass>(LameLowPass) : VorbisLowPass;
    quality.ExpectedHz = LowPassAt(table, kbps);
    // A VBR preset's low-pass is its quality's, not its average rate's.
    if (codec == "MP3" && setting.size() == 3 && setting.starts_with("-V") && setting[2] >= '0' &&
        setting[2] < '0' + static_cast<int>(LameVbrLowPass.size()))
      quality.ExpectedHz = LameVbrLowPass[static_cast<std::size_t>(setting[2] - '0')];
    lowerRows(table);
  } else if (codec == "AAC") {
    quality.ExpectedHz = AacCutoff(kbps, channels, sampleRate);
    for (const int rate : AacRates)
      if (rate < kbps)
        lower[count++] = {rate, AacCutoff(rate, channels, sampleRate)};
  } else if (codec == "Opus" && kbps >= OpusFullBandKbps) {
    quality.ExpectedHz = OpusLowPass;
    lowerRows(LameLowPass);
  } else {
    return std::nullopt;
  }
  quality.ExpectedHz = std::min(quality.ExpectedHz, nyquist);
  if (cutoffHz >= quality.ExpectedHz - Tolerance)
    return quality;
  for (std::size_t i = count; i-- > 0;)
    if (lower[i].Hz <= cutoffHz + SourceMargin) {
      quality.SourceKbps = lower[i].Kbps;
      break;
    }
  // Under even the lowest rate's low-pass the content itself has no highs (a tone, an old
  // recording): no encoder's rate is told by it.
  if (!quality.Suspect())
    return std::nullopt;
  return quality;
}

std::string LossyQualityText(const TLossyQuality& quality) {
  char text[160];
  std::snprintf(text, sizeof text, "%d kbps, content to %.1f kHz: ", quality.Kbps,
                quality.CutoffHz / 1000);
  if (!quality.Suspect())
    return std::string(text) + "as the rate keeps";
  return std::string(text) + LowerRateWarning + " (about " + std::to_string(quality.SourceKbps) +
         " kbps)";
}
