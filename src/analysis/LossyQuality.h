// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether a lossy track is what its bit rate says: its content's cutoff against the low-pass
// its format's usual encoder (LAME, FFmpeg's AAC, libvorbis, libopus) uses at that rate. A file
// made again at a higher rate from a lower-rate one keeps the first encoding's low-pass.
#include <optional>
#include <string>
#include <string_view>

struct TLossyQuality {
  int Kbps = 0;          // the track's stated (or average) bit rate
  double CutoffHz = 0;   // where its content stops
  double ExpectedHz = 0; // where the encoder's low-pass would put it at that rate
  int SourceKbps = 0;    // the rate whose low-pass the content matches; 0: none lower
  bool Suspect() const { return SourceKbps > 0; }
};

// The verdict for a track of the codec ("MP3", "AAC", "Vorbis", "Opus") and encoder setting
// (LAME's "-V2"; "" when not known); nothing for a codec no table covers, a lossless one, or a
// rate it does not know.
std::optional<TLossyQuality> JudgeLossyRate(std::string_view codec, int kbps,
                                            std::string_view setting, unsigned channels,
                                            unsigned sampleRate, double cutoffHz);

// The words for a lossy track whose content stops at a lower rate's low-pass.
inline constexpr const char* LowerRateWarning = "probably encoded from a lower-rate source";

// "320 kbps, content to 16.0 kHz: probably encoded from a lower-rate source (about 128 kbps)";
// "320 kbps, content to 20.1 kHz: as the rate keeps".
std::string LossyQualityText(const TLossyQuality& quality);
