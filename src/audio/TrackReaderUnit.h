// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading many files at the speed of the disk: records are made on worker threads and
// handed to the calling thread strictly in list order, each with its messages, exactly as
// a loop over MakeTrackInfo would give them.
#include "audio/TrackInfo.h"
#include "common/ErrorsUnit.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct TReadProgress {
  std::size_t FilesDone = 0;
  std::size_t FilesTotal = 0;
  std::uint64_t BytesDone = 0;  // checksummed so far
  std::uint64_t BytesTotal = 0; // to checksum in all; 0 without checksums
  // Progress from 0 to 1: by bytes when checksums are read, else by files.
  double Fraction() const;
};

struct TTrackReaderCallbacks {
  // A finished record, in list order, after its problems were told.
  std::function<void(std::size_t index, std::unique_ptr<TTrackInfo> record)> Deliver;
  // Called while waiting (about every 30 ms) and after each delivery; false cancels:
  // the records delivered so far stay, the rest are left out.
  std::function<bool(const TReadProgress& progress)> Idle;
  // A file's problems, before its record; none: not told.
  std::function<void(std::size_t index, TErrorCode problem)> Problem;
};

// Reads the files with threads worker threads (0: as many as cores, at least two), and on
// the calling thread too when there is no Idle callback; returns the number of records
// delivered.
std::size_t ReadTracks(const std::vector<std::string>& paths, bool withChecksum,
                       const TTrackReaderCallbacks& callbacks, unsigned threads = 0);
