// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a set's files hold, as check and repair both see it, so that they give one verdict:
// each file checked whole (an intact one by its hash alone), the slices of a damaged one
// searched for at any offset, a missing file found whole under another name, and the
// slices still lost searched for in the other files beside the set (its folders, no link).
// Every slice of the recovery files is then where it was found intact, or lost; the blocks
// needed are the lost slices of the files to rebuild.
#include "par2/RecoveryCheckUnit.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class TBaseFolder;

// Where a slice's bytes are: a file below the set's folder, from an offset; the bytes it
// holds there (the rest of the slice, past that file's end, is zeros).
struct TSliceLocation {
  std::string Source;
  std::uint64_t Offset = 0;
  std::uint64_t Bytes = 0;
};

struct TRecoverySurvey {
  TFoundRecoverySet Found;
  std::vector<TRecoveryFileCheck> Files; // in the set's order
  std::vector<std::uint32_t> FirstSlices;
  std::vector<std::optional<TSliceLocation>> Slices; // by number in the set
  bool Cancelled = false;
  TRecoveryCheck Verdict() const; // the files by name, the blocks found and needed
};

struct TSurveyCallbacks {
  // The set, once read.
  std::function<void(const TRecoverySetDescription& set)> Listed;
  // Heard one at a time, from any thread.
  std::function<void(std::uint64_t part)> Progress;
  std::function<void(std::size_t index, const TRecoveryFileCheck& file)> Checked;
};

// Nothing when no intact description of a set is found.
std::optional<TRecoverySurvey> SurveyRecoverySet(const std::string& par2Path,
                                                 const TBaseFolder& folder, unsigned threads,
                                                 const TSurveyCallbacks& callbacks,
                                                 const std::atomic<bool>* cancelled);

// True when the file is the description's length with its MD5s of the first 16 KiB and of
// the whole.
bool HoldsWhole(std::optional<TReadOnlyFile> file, const TFileDescription& description);
