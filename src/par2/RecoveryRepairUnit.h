// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Repairing the files of a PAR 2.0 recovery set. Each recovery slice is a sum of every
// input slice times a power of that slice's constant; with as many recovery slices as
// slices are lost, those sums are equations in the lost slices, solved over GF(2^16). A
// file found under another name (same length and MD5) is renamed back. The rebuilt files
// are staged whole and put in place together only once each slice rebuilt matches its
// checksum and each file, read back from its staging, matches the set whole.
// Whatever the .par2 says, nothing is read or changed but regular files below the set's
// folder, reached without a link (the folder held open, whatever takes its path's place
// meanwhile): a file to repair that is a link, lies behind one or outside the folder, is
// not a regular file or has no file's name is told and the repair changes nothing.
#include "par2/RecoveryCheckUnit.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class TRepairOutcome {
  Repaired,        // every damaged or missing file is whole again
  NothingToRepair, // every file is intact
  NotRepairable,   // too few recovery slices (MoreSlicesNeeded), or a file outside their reach
  NoSet,           // no intact description of a set
  Cancelled,
  Unsolvable,  // the recovery slices found do not determine the lost ones
  Unreadable,  // a file could not be read (Path): nothing changed
  NoMemory,    // the work's buffers could not be had: nothing changed
  NotWritten,  // a repaired file could not be staged or put in place (Path, Error)
  NotVerified, // a rebuilt file did not match its checksums (Path): nothing changed
  // A file to repair (Path, as the set names it) that is not the repair's to change:
  // nothing changed.
  IsLink,        // a symbolic link, whatever it names
  BehindLink,    // a folder on its way is a link
  OutsideFolder, // an absolute name or one with a ".." step
  NotAFile,      // a folder, pipe, device or socket in its place
  NotAName,      // a name that is no file's ("sub/", "sub/.")
  IsSetFile      // the set's own .par2 or one of its volumes
};

struct TRepairedFile {
  std::string Name;
  std::uint64_t RebuiltSlices = 0; // from the recovery slices
  std::string FoundAs;             // renamed back from this name
};

struct TRepairResult {
  TRepairOutcome Outcome = TRepairOutcome::NothingToRepair;
  std::string Path;
  TRecoveryCheck Before;               // the files as found, by name
  std::vector<TRepairedFile> Repaired; // NotWritten too: those put in place before it failed
  std::uint64_t MoreSlicesNeeded = 0;
  int Error = 0; // NotWritten, Unreadable: the system's reason (errno)
};

enum class TRepairPhase { Checking, Repairing };
struct TRepairSettings {
  unsigned Threads = 0; // 0: one a processor
  // The lost slices' data held at once (twice: the sums and the solution); more is done in
  // passes over stripes of the slices.
  std::uint64_t Memory = std::uint64_t{160} << 20;
  // Hears the bytes worked through so far out of the phase's; false stops the work.
  std::function<bool(TRepairPhase phase, std::uint64_t done, std::uint64_t total)> Progress;
};

TRepairResult RepairRecoverySet(const std::string& par2Path, const TRepairSettings& settings = {});

// What came of it, in a line or two: "Repaired: 2 files, 14 blocks rebuilt." and the like.
std::string RepairSummary(const TRepairResult& result);
