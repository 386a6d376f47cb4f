// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/AlbumAnalysis.h"

#include "analysis/SonogramImage.h"
#include "audio/AudioDecode.h"
#include "audio/TrackFormatReader.h"
#include "common/FileUnit.h"
#include "common/IntToAbbrStrUnit.h"
#include "common/TrackKinds.h"
#include "common/WorkerJobs.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {
constexpr unsigned LowestMeasuredRate = 1000; // Hz; telephone audio has 8,000

// One track decoded once, its samples heard by both meters.
struct TTrackMeters {
  std::optional<TDynamicRangeMeter> Dr;
  std::optional<TFrequencyMeter> Frequencies;
  TLoudnessMeter Loudness{0, 0};
  std::vector<float> Interleaved;
  bool DynamicRangeOnly = false;
  bool KeepSonogram = false;
  TRipChecksumMeter RipSums;
  std::vector<std::uint8_t> Pcm;

  // CD audio's samples as a ripper writes them (16-bit little-endian, left then right), for
  // the checksums its log gives.
  // A lossless decode's floats are its 16-bit samples over 32768, so they come back exact.
  void HearPcm(const TAudioStream& stream, const float* const* channels, unsigned frames) {
    if (stream.BitsPerSample != 16 || stream.Channels != 2)
      return;
    Pcm.resize(std::size_t{frames} * 4);
    for (unsigned i = 0; i < frames; ++i)
      for (unsigned c = 0; c < 2; ++c) {
        const long whole = std::clamp(std::lrint(channels[c][i] * 32768.0f), -32768L, 32767L);
        const auto sample = static_cast<std::uint16_t>(static_cast<std::int16_t>(whole));
        Pcm[4 * i + 2 * c] = static_cast<std::uint8_t>(sample & 0xFF);
        Pcm[4 * i + 2 * c + 1] = static_cast<std::uint8_t>(sample >> 8);
      }
    RipSums.Add(Pcm);
  }

  void Hear(const TAudioStream& stream, const float* const* channels, unsigned frames) {
    // The meters keep a few figures a block of seconds: at a rate no audio uses, a track's
    // samples would make millions of blocks.
    if (stream.SampleRate < LowestMeasuredRate)
      return;
    if (!Dr) {
      Dr.emplace(stream.SampleRate, stream.Channels);
      if (!DynamicRangeOnly) {
        Frequencies.emplace(stream.SampleRate, stream.Channels);
        if (KeepSonogram)
          Frequencies->KeepSonogram(SonogramColumns, SonogramRows);
        Loudness = TLoudnessMeter(stream.SampleRate, stream.Channels);
      }
    }
    if (!DynamicRangeOnly) {
      Interleaved.resize(std::size_t{frames} * stream.Channels);
      for (unsigned c = 0; c < stream.Channels; ++c)
        for (unsigned i = 0; i < frames; ++i)
          Interleaved[std::size_t{i} * stream.Channels + c] = channels[c][i];
    }
    Dr->Add(channels, frames);
    HearPcm(stream, channels, frames);
    if (Frequencies)
      Frequencies->Add(channels, frames);
    Loudness.Add(Interleaved.data(), frames); // nothing without a meter
  }
};
std::string FormatText(const TAudioStream& stream) {
  char rate[32];
  std::snprintf(rate, sizeof rate, "%g", stream.SampleRate / 1000.0);
  const std::string channels = stream.Channels == 1 ? "mono"
                               : stream.Channels == 2
                                   ? "stereo"
                                   : std::to_string(stream.Channels) + " channels";
  const std::string bits =
      stream.BitsPerSample > 0 ? std::to_string(stream.BitsPerSample) + " bits, " : "";
  return stream.Codec + ", " + std::string(rate) + " kHz, " + bits + channels;
}

// The bit rate the track's reader gives it (the stated one, or the average of a variable
// rate) and its encoder setting; 0 when it cannot be read.
struct TStatedRate {
  int Kbps = 0;
  std::string Setting;
};
TStatedRate StatedRate(const std::string& path, TTrackKind kind, const TTrackInfo* record) {
  if (record && !record->Format.empty()) // read already: its tags (a cover) not again
    return {record->BitRate, record->EncoderSetting};
  auto file = TReadOnlyFile::Open(path);
  TTrackInfo info;
  if (!file || ReadTrackOfKind(*file, kind, info) != TTrackReadOutcome::Read)
    return {};
  return {info.BitRate, info.EncoderSetting};
}

void Measure(TTrackAnalysis& track, TTrackMeters& meters,
             const std::function<void(std::uint64_t)>& bytesRead, const TAnalysisHooks& given,
             const TTrackInfo* record) {
  const auto kind = TrackKindOfName(track.Path);
  if (!kind) {
    track.Problem = "not measured: its name is of no track kind (" + TrackKindList() + ")";
    return;
  }
  const TAudioDecodeHooks hooks{bytesRead,
                                [&](const TAudioStream& stream, const float* const* channels,
                                    unsigned frames) { meters.Hear(stream, channels, frames); },
                                given.Cancelled, given.WithFileCrc ? &track.FileCrc : nullptr};
  track.Stamp = FileStampOf(track.Path);
  const TAudioDecodeResult decoded = DecodeAudioFile(track.Path, *kind, hooks);
  if (decoded.Stopped)
    track.Problem = "cancelled";
  else if (decoded.Stream.SampleRate > 0 && decoded.Stream.SampleRate < LowestMeasuredRate)
    track.Problem = "not measured: its sample rate, " + std::to_string(decoded.Stream.SampleRate) +
                    " Hz, is none that audio uses";
  else if (!decoded.Problem.empty())
    track.Problem = decoded.Problem;
  else if (!meters.Dr)
    track.Problem = "the stream holds no audio";
  if (!track.Measured())
    return;
  track.Seconds = static_cast<double>(decoded.Samples) / decoded.Stream.SampleRate;
  track.Dr = meters.Dr->Result();
  track.Loudness = meters.Loudness.Result();
  track.Format = FormatText(decoded.Stream);
  if (decoded.Stream.BitsPerSample == 16 && decoded.Stream.Channels == 2)
    track.RipSums = meters.RipSums.Result();
  if (meters.Frequencies) {
    track.Cutoff = FindCutoff(meters.Frequencies->Result());
    if (decoded.Stream.BitsPerSample == 0) {
      // Every lossy file stops as a lossy encoder does: what it says is whether its rate did.
      track.Cutoff.LossyShape = false;
      TStatedRate rate = StatedRate(track.Path, *kind, record);
      // A Vorbis quality's low-pass goes with its nominal rate; the average falls with content.
      if (decoded.Stream.NominalKbps > 0)
        rate.Kbps = decoded.Stream.NominalKbps;
      track.Quality =
          JudgeLossyRate(decoded.Stream.Codec, rate.Kbps, rate.Setting, decoded.Stream.Channels,
                         decoded.Stream.SampleRate, track.Cutoff.Hz);
    }
    if (meters.KeepSonogram)
      track.Sonogram = std::make_shared<const TSonogram>(meters.Frequencies->SonogramResult());
  }
  // What the frequency levels hold is for this track alone: the album needs the loudness meters
  // only.
  meters.Frequencies.reset();
}

std::uint64_t TotalBytes(const std::vector<std::string>& paths) {
  std::uint64_t total = 0;
  for (const std::string& path : paths)
    if (const auto stamp = FileStampOf(path))
      total += static_cast<std::uint64_t>(std::max<std::int64_t>(0, stamp->Size));
  return total;
}
} // namespace

TAlbumAnalysis AnalyzeAlbum(const std::vector<std::string>& paths, const TAnalysisHooks& hooks) {
  TAlbumAnalysis album;
  album.DynamicRangeOnly = hooks.DynamicRangeOnly;
  for (const std::string& path : paths)
    album.Tracks.emplace_back().Path = path;
  std::vector<TTrackMeters> meters(paths.size());
  for (TTrackMeters& track : meters) {
    track.DynamicRangeOnly = hooks.DynamicRangeOnly;
    track.KeepSonogram = hooks.KeepSonograms;
  }
  const std::uint64_t total = TotalBytes(paths);
  std::atomic<std::uint64_t> done{0};
  std::mutex reporting; // the caller's Measured hears one thread at a time
  std::condition_variable ended;
  std::size_t finished = 0; // tracks, under reporting
  const auto bytesRead = [&done](std::uint64_t bytes) {
    done += bytes;
  };
  const unsigned threads = static_cast<unsigned>(std::min<std::size_t>(
      hooks.Threads ? hooks.Threads : std::max(1u, std::thread::hardware_concurrency()),
      std::max<std::size_t>(1, paths.size())));
  TWorkerJobs jobs(paths.size(), threads, [&](std::size_t i) {
    Measure(album.Tracks[i], meters[i], bytesRead, hooks,
            hooks.Records ? hooks.Records(i) : nullptr);
    const std::lock_guard lock(reporting);
    if (hooks.Measured && !(hooks.Cancelled && hooks.Cancelled->load()))
      hooks.Measured(i, album.Tracks[i]);
    ++finished;
    ended.notify_all();
  });
  // The progress is heard on the caller's thread, never a worker's: a window's progress box
  // may be made and moved only on the thread that owns the window.
  for (std::unique_lock lock(reporting); finished < paths.size();) {
    ended.wait_for(lock, std::chrono::milliseconds(100));
    if (hooks.Progress) {
      lock.unlock();
      hooks.Progress(done.load(), total);
      lock.lock();
    }
  }
  if (hooks.Progress && !paths.empty())
    hooks.Progress(done.load(), total);
  jobs.Wait();
  album.Cancelled = hooks.Cancelled && hooks.Cancelled->load();
  double drSum = 0;
  std::size_t measured = 0;
  std::vector<const TLoudnessMeter*> loudness;
  for (std::size_t i = 0; i < paths.size(); ++i)
    if (album.Tracks[i].Measured()) {
      drSum += std::round(album.Tracks[i].Dr.Value);
      ++measured;
      loudness.push_back(&meters[i].Loudness);
    }
  if (measured > 0 && !album.Cancelled) {
    album.Dr = static_cast<int>(std::lround(drSum / static_cast<double>(measured)));
    album.Loudness = TLoudnessMeter::Album(loudness);
  }
  return album;
}

std::string AlbumQualityText(const TAlbumAnalysis& album) {
  std::size_t checked = 0, suspect = 0;
  std::vector<int> sources;
  for (const TTrackAnalysis& track : album.Tracks)
    if (track.Measured() && track.Quality) {
      ++checked;
      if (track.Quality->Suspect()) {
        ++suspect;
        sources.push_back(track.Quality->SourceKbps);
      }
    }
  if (checked == 0)
    return {};
  if (suspect == 0)
    return "every track's content reaches what its bit rate keeps";
  std::sort(sources.begin(), sources.end());
  return std::to_string(suspect) + " of " + std::to_string(checked) +
         " tracks: " + LowerRateWarning + " (about " + std::to_string(sources[sources.size() / 2]) +
         " kbps)";
}

std::optional<TSonogram> AlbumSonogram(const TAlbumAnalysis& album) {
  std::vector<const TTrackAnalysis*> tracks;
  double seconds = 0;
  for (const TTrackAnalysis& track : album.Tracks)
    if (track.Sonogram && track.Sonogram->Columns > 0) {
      tracks.push_back(&track);
      seconds += track.Sonogram->Seconds;
    }
  if (tracks.empty() || seconds <= 0)
    return std::nullopt;
  TSonogram picture;
  picture.SampleRate = tracks.front()->Sonogram->SampleRate;
  picture.Seconds = seconds;
  picture.Columns = SonogramColumns;
  picture.Rows = SonogramRows;
  // Each column shows the track and moment at its time; bands are taken at the same height,
  // so a track of another sample rate shows its own range stretched.
  double start = 0;
  std::size_t at = 0;
  for (std::size_t i = 1; i < tracks.size(); ++i)
    picture.Starts.push_back(picture.Starts.empty()
                                 ? tracks[0]->Sonogram->Seconds
                                 : picture.Starts.back() + tracks[i - 1]->Sonogram->Seconds);
  for (unsigned c = 0; c < picture.Columns; ++c) {
    const double time = (c + 0.5) * seconds / picture.Columns;
    while (at + 1 < tracks.size() && time >= start + tracks[at]->Sonogram->Seconds)
      start += tracks[at++]->Sonogram->Seconds;
    const TSonogram& track = *tracks[at]->Sonogram;
    const auto column = static_cast<unsigned>(
        std::clamp((time - start) / track.Seconds * track.Columns, 0.0, track.Columns - 1.0));
    for (unsigned r = 0; r < picture.Rows; ++r)
      picture.LevelDb.push_back(track.At(column, r * track.Rows / picture.Rows));
  }
  return picture;
}

std::string SonogramCaption(const TTrackAnalysis& track) {
  return track.Path.substr(track.Path.rfind('/') + 1) + " - " + track.Format + " - " +
         DurationToStr(track.Seconds, ":");
}

std::string DrText(double value) {
  return "DR" + std::to_string(std::lround(value));
}

std::string LevelText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string AlbumAnalysisText(const TAlbumAnalysis& album) {
  if (!album.Dr)
    return {};
  std::string text = DrText(*album.Dr);
  if (album.Loudness)
    text += ", " + LevelText(album.Loudness->Integrated) + " LUFS, range " +
            LevelText(album.Loudness->Range) + " LU, true peak " +
            LevelText(album.Loudness->TruePeakDb) + " dBTP, gain " +
            LevelText(album.Loudness->Gain) + " dB";
  return text;
}
