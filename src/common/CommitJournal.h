// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The journal of a set of files being put in place, so that a commit cut short by a kill
// or a power loss is settled at the next start: before the commit's first step the journal
// lists every step (what goes where, the backup that keeps a replaced file, the identity of
// each new file); once the last step is done it is marked committed. A journal found not
// marked is rolled back (the old files return, the new ones go); one marked is finished
// (its backups go). Journals live in the program's own folder, never in an album's, so that
// no downloaded file can pass for one; a journal still locked belongs to a commit under way.
#include <cstdint>
#include <string>
#include <vector>

struct TJournalStep {
  enum TKind : char { New = 'N', Replace = 'R', Remove = 'D' } Kind = New;
  std::uint64_t Device = 0, Inode = 0; // the new file's (New, Replace)
  std::string Target;                  // absolute paths
  std::string Temporary;               // the name the new file has before it is moved, if any
  std::string Backup;                  // the name that keeps the old file (Replace, Remove)
};

class TCommitJournal {
public:
  TCommitJournal() = default;
  ~TCommitJournal(); // an open journal is left for the next start to settle
  TCommitJournal(const TCommitJournal&) = delete;
  TCommitJournal& operator=(const TCommitJournal&) = delete;

  // Writes the steps to a new journal in the folder, on the disk and locked; false when it
  // cannot be written (the commit then goes on without one, as it did before journals).
  bool Begin(const std::string& folder, const std::vector<TJournalStep>& steps);
  // The commit point: every step is done.
  bool MarkCommitted();
  // Removes the journal, once the commit is finished or undone.
  void End();

private:
  int Descriptor = -1;
  std::string Path;
};

// Settles the journals that interrupted commits left in the folder; a locked one (a commit
// under way in another process) is left alone.
void RecoverInterruptedCommits(const std::string& folder);
