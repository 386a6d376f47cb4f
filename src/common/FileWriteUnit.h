// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writing files so that nothing is lost: each file is written whole or not at all, a set
// of files is put in place together, a path that is a link writes its target, a device
// or pipe is written into (never renamed over), a read-only file is never replaced, and
// "do not replace" is decided by the system in one step, so a file that appears meanwhile
// is kept.
#include "common/BaseFolder.h"
#include "common/CommitJournal.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

enum class TWriteMode {
  Replace,   // a regular file found at the path when it is staged is replaced
  CreateOnly // any file at the path, then or later, is kept and the write refused
};

enum class TWriteResult {
  Written,
  Exists,   // create-only, and a file is there
  ReadOnly, // a regular file without write permission
  NotAFile, // a folder, a block device or something else that takes no document
  Failed    // the system refused (full disk, read-only folder, name too long, ...)
};

// Writes one file as a set of one.
TWriteResult WriteFile(const std::string& path, std::string_view bytes,
                       TWriteMode mode = TWriteMode::Replace);
// True when the file was written.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// Files staged one by one and put in place together: when one cannot be placed, none of
// the new ones is left and every replaced file holds what it held before. The commit is
// journaled in the program's folder: a kill at any point leaves the old set or the new one
// once the next commit, or the next start of either program, settles it.
class TFileSet {
public:
  TFileSet();
  ~TFileSet(); // whatever was staged and not committed goes
  TFileSet(const TFileSet&) = delete;
  TFileSet& operator=(const TFileSet&) = delete;

  // The bytes go to a temporary file beside the target now (a full disk shows here,
  // before anything is in place). A character device or pipe is written at the commit.
  TWriteResult Add(const std::string& path, std::string_view bytes,
                   TWriteMode mode = TWriteMode::Replace);
  // A file made piece by piece (too large to hold whole): staged empty now, written with
  // WriteAt before the commit. index names it for WriteAt.
  TWriteResult Open(const std::string& path, TWriteMode mode, std::size_t& index);
  // The same for a name below a folder held open, written where the downloaded file says
  // (a PAR2 repair): every step, from the staging to the commit, is taken relative to the
  // name's own folder opened below it, so a link on the way or at the name (NotAFile,
  // errno ELOOP) or a name above the folder (Failed, errno EXDEV) is refused, and nothing
  // is written but a regular file.
  TWriteResult OpenBelow(const TBaseFolder& folder, const std::string& name, TWriteMode mode,
                         std::size_t& index);
  bool WriteAt(std::size_t index, std::uint64_t offset, std::string_view bytes);
  // A descriptor of its own reading the staged bytes (the caller closes it; -1 when there is
  // none): what will be put in place is checked before the commit, not after.
  int ReadBack(std::size_t index) const;
  // A regular file the set takes away at the commit (and puts back should the commit fail).
  void Remove(const std::string& path);

  // Puts every staged file in place, in the order added; the path that failed, if any.
  TWriteResult Commit(std::string* failedPath = nullptr);
  // Takes back whatever was staged and not committed (the destructor does the same).
  void Discard();

  // Temporary files with names instead of unnamed ones (as on a file system that has
  // none); tests use it to see the names.
  bool NamedTemporaries = false;
  // Heard before every change the commit makes to a folder; tests stop the program there.
  std::function<void()> BeforeStep;
  // Asked once the staged files are on the disk, before any name is placed: false takes
  // the set back (Commit says Failed, errno ECANCELED). What the set was made from is
  // checked there, as late as can be.
  std::function<bool()> StillTrue;

private:
  struct TStaged;
  TWriteResult Stage(TStaged staged, const struct stat* existing, TWriteMode mode,
                     std::size_t& index);
  bool Seal(TStaged& staged);
  std::vector<TJournalStep> PlanSteps();
  TWriteResult Place(TStaged& staged);
  void Undo();
  void Drop(std::size_t index);
  std::vector<TStaged> Staged;
};

// Makes SIGINT, SIGTERM and SIGHUP remove the temporary files of writes under way before
// the program ends as the signal would have ended it. Once per program.
void InstallWriteInterruptCleanup();
