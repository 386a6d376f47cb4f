// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Checking the files of a PAR 2.0 recovery set against it: each file OK, DAMAGED (how
// many of its slices differ) or MISSING, and whether the recovery slices in the set's
// files beside it are enough to repair the set (the repair is RecoveryRepairUnit's). A
// ".par2" usually comes from elsewhere: it is read through the packet reader, which keeps
// nothing sized by the file, and names only files inside its own folder.
#include "common/FileUnit.h"
#include "par2/RecoveryPackets.h"
#include "par2/RecoverySliceSearch.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

enum class TRecoveryFileState { Ok, Damaged, Missing, Unsafe, NotChecked };

struct TRecoveryFileCheck {
  std::string Name;
  TRecoveryFileState State = TRecoveryFileState::NotChecked;
  std::uint64_t Slices = 0;
  // The blocks its rebuilding needs from the recovery data: its slices found nowhere.
  std::uint64_t DamagedSlices = 0;
  // Of a damaged file: the set's slices it holds, wherever they are in it.
  std::vector<TSliceHit> Hits;
  // Of a missing file: another file below the folder that holds it whole.
  std::string FoundAs;
  // The recovery data reaches it (a file of the recovery set, or an empty one).
  bool Protected = true;
  // Read through a link that stays inside the folder: the repair reads nothing so.
  bool ThroughLink = false;
};

class TBaseFolder;

struct TRecoveryCheck {
  std::vector<TRecoveryFileCheck> Files;
  std::uint64_t RecoverySlices = 0; // intact and distinct, in the files of the set
  std::uint64_t NeededSlices = 0;
  bool Cancelled = false;
  bool AllOk() const;
  // Said only of a check that went through every file; never of a set with a file the
  // repair may not change (UNSAFE).
  bool Repairable() const;
};

struct TRecoveryCheckCallbacks {
  // The files of the set and the bytes they should hold, once the set is read.
  std::function<void(const std::vector<TRecoveryFileCheck>& files, std::uint64_t bytes)> Listed;
  std::function<void(std::size_t index, const TRecoveryFileCheck& file)> Checked;
  std::function<void(std::uint64_t done)> Progress;
};

// Reads the set of the .par2 (and every "<base>*.par2" beside it) and checks its files;
// nothing when no intact description of a set is found.
std::optional<TRecoveryCheck> CheckRecoverySet(const std::string& par2Path,
                                               const TRecoveryCheckCallbacks& callbacks = {},
                                               const std::atomic<bool>* cancelled = nullptr);

// What a repair needs of a set: its description and where each usable recovery slice's
// data is (by exponent), in the set's files beside the .par2.
struct TRecoverySliceAt {
  std::string Path;
  std::uint64_t Offset = 0;
};
// A .par2 of the set at path (as SetFiles gives it): the one named by the user at its path,
// the others found beside it opened below the folder, never through a link (a volume that
// links elsewhere is no file of the set).
std::optional<TReadOnlyFile> OpenSetFile(const TBaseFolder& folder, const std::string& par2Path,
                                         const std::string& path);
struct TFoundRecoverySet {
  TRecoverySetDescription Set;
  std::map<std::uint32_t, TRecoverySliceAt> Recovery;
};
std::optional<TFoundRecoverySet> ReadRecoverySet(const std::string& par2Path);
// What keeps the repair from changing a file of the set, by the kernel's word on the name
// in the folder as it is now: a link (whatever it names), a linked folder on its way, a
// name outside the folder (absolute, a ".." step), something other than a regular file in
// its place (a folder, pipe, device or socket), or a name that is no file's ("sub/",
// "sub/."). Check calls a damaged or missing file of these UNSAFE; repair names it and
// changes nothing.
enum class TUnsafeName { None, Link, BehindLink, Outside, NotAFile, NotAName };
TUnsafeName UnsafeNameIn(const TBaseFolder& folder, const std::string& name);

// One file of a set against its description, read below folder without a link (or through
// one that stays inside it: ThroughLink); UNSAFE when it is not intact and the repair may
// not change it. A file whose hash differs is searched for the set's slices; firstSlice:
// its own first slice's number, when it is a file of the recovery set. wholeHash: the
// file's MD5 when it was already read whole (at the description's length), not read again.
TRecoveryFileCheck CheckRecoveryFile(const TFileDescription& description,
                                     const TSliceSearch& search,
                                     std::optional<std::uint32_t> firstSlice,
                                     std::uint64_t sliceSize, const TBaseFolder& folder,
                                     const std::function<void(std::uint64_t)>& progress,
                                     const std::atomic<bool>* cancelled,
                                     const std::optional<TMd5Hash>& wholeHash = std::nullopt);
// Damaged or missing.
bool NeedsRepair(const TRecoveryFileCheck& file);
// True when name, below the set's folder, is the set's own .par2 or one of its volumes: the
// repair reads its recovery blocks there, and a set naming one as a file to protect would
// have it written over. Check calls such a file, damaged or missing, UNSAFE; repair names
// it and changes nothing.
bool IsFileOfTheSet(const std::string& par2Path, const std::string& name);
// Once a file needs repair, an intact one read through a link is UNSAFE too: the repair
// would read its slices, and reads nothing through a link. The indices changed.
std::vector<std::size_t> RefuseLinkedSources(std::vector<TRecoveryFileCheck>& files);

// "OK", "DAMAGED", "MISSING", "UNSAFE" or "not checked" (after a cancel); a damaged file's
// line adds its slice count. The line shows the name with its control characters escaped.
const char* RecoveryStateWord(TRecoveryFileState state);
std::string RecoveryFileLine(const TRecoveryFileCheck& file);
// "2 OK, 1 bad; 36 recovery blocks, 12 needed: repairable": the command line's last line
// and the verify window's totals.
std::string RecoveryCheckSummary(const TRecoveryCheck& check);
