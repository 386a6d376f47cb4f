// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Making a PAR 2.0 recovery set for an album's files: "<base>.par2", which describes the
// set, and the volumes "<base>.volS+C.par2" (recovery slices S to S+C-1) in the sizes
// par2cmdline makes by default (1, 2, 4, ... slices, the last taking the rest). The files
// are read in slices on worker threads. Whatever the album's size, what is held is the
// recovery data of one pass (TRecoverySettings::RecoveryMemory) and two batches of source
// slices (32 MiB each, or one slice when a slice is larger); a set whose recovery data is
// larger is made in several passes over the files.
#include "common/FileWriteUnit.h"
#include "common/PreferencesUnit.h"
#include "par2/RecoveryPackets.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// One file of the set: a file on disk, or bytes about to be written.
struct TRecoveryInput {
  std::string Name; // as the set names it, relative to the set's folder
  std::string Path; // empty: the bytes are Bytes
  std::string_view Bytes;
};

struct TRecoverySettings {
  unsigned Redundancy = 10; // recovery slices as a percentage of the source slices
  // At least as many recovery slices as the largest file takes, whatever the percentage:
  // a reader who loses any one file can rebuild it.
  bool CoverLargestFile = false;
  std::uint64_t SliceSize = 0; // 0: chosen from the files' sizes
  unsigned Threads = 0;        // 0: one a processor
  // The recovery data held at once; a set with more is made in passes over stripes.
  std::uint64_t RecoveryMemory = std::uint64_t{160} << 20;
  // Hears the bytes worked through so far out of all; false stops the work.
  std::function<bool(std::uint64_t done, std::uint64_t total)> Progress;
};

// Two batches of slices are held while a set is made: no larger slice keeps that within
// the memory promised, and 32,768 slices of it protect a terabyte.
inline constexpr std::uint64_t MaximumSliceSize = std::uint64_t{32} << 20;

// The shape of a set: its slice size, its counts and its volumes (first exponent, count).
struct TRecoveryLayout {
  std::uint64_t SliceSize = 0;
  std::uint32_t SourceSlices = 0;
  std::uint32_t RecoverySlices = 0;
  std::uint32_t LargestFileSlices = 0; // the slices of the largest file
  std::vector<std::pair<std::uint32_t, std::uint32_t>> Volumes;
};

// value rounded up to a multiple.
constexpr std::uint64_t RoundUp(std::uint64_t value, std::uint64_t multiple) {
  return (value + multiple - 1) / multiple * multiple;
}

// The slice size for files of these sizes: a multiple of 4 near total/2000, larger when the
// files would need more slices than the format allows.
std::uint64_t ChooseSliceSize(std::span<const std::uint64_t> fileSizes);
// Nothing when the files need more slices than the format allows at that size. With
// coverLargest, the recovery slices are at least the largest file's.
std::optional<TRecoveryLayout> PlanRecoveryLayout(std::span<const std::uint64_t> fileSizes,
                                                  std::uint64_t sliceSize, unsigned redundancy,
                                                  bool coverLargest = false);
// "<base>.volS+C.par2", each number padded to the widest of its kind.
std::vector<std::string> RecoveryVolumePaths(const std::string& indexPath,
                                             const TRecoveryLayout& layout);

enum class TRecoveryOutcome {
  Staged,     // every file of the set is staged in the file set
  Cancelled,  // Progress said stop
  Unreadable, // an input could not be read (Path)
  TooLarge,   // more slices than the format allows
  NoMemory,   // the buffers could not be had
  NotStaged,  // a file of the set could not be staged (Path, Write)
  UnsafeName, // an input's name that PAR2 clients cannot find (a backslash, a control character)
  IsInput,    // a file of the set would be written over an input (Path)
  Changed     // an input changed while the set was made (Path)
};

struct TRecoveryResult {
  TRecoveryOutcome Outcome = TRecoveryOutcome::Staged;
  std::string Path;
  TWriteResult Write = TWriteResult::Written;
  TRecoveryLayout Layout;
  std::vector<std::string> Paths; // the set's files as staged: the index, then the volumes
  std::string LargestFile;        // as the set names it
};

// Makes the set of the inputs and stages its files in set (each with mode). With Replace,
// the volumes of the set the index replaces (those named like its volumes that carry its
// set id) are removed in the same commit.
TRecoveryResult StageRecoverySet(std::span<const TRecoveryInput> inputs,
                                 const std::string& indexPath, const TRecoverySettings& settings,
                                 TFileSet& set, TWriteMode mode);

// The path of a set's files without ".par2" and a volume's ".volS+C" (or ".volS-E"):
// "a/Album" for "a/Album.par2", "a/Album.vol07+08.par2" and "a/Album.vol07-15.par2".
std::string RecoverySetBase(const std::string& par2Path);
// The files of that set that exist beside it, its index and its volumes, by name.
std::vector<std::string> RecoverySetFiles(const std::string& par2Path);
// True when the index or a volume of the set named by indexPath exists already.
bool RecoveryFilesExist(const std::string& indexPath);

// Said of a set staged whose recovery slices cannot rebuild its largest file; nothing of
// one that can.
std::optional<std::string> RecoveryShortfall(const TRecoveryResult& result);

// The message for a result that staged nothing.
std::string RecoveryProblem(const TRecoveryResult& result);
