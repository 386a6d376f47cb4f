// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/FileWriteUnit.h"

#include "common/AppVersionUnit.h"
#include "common/CommitJournal.h"
#include "common/FileUnit.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <limits.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The names of temporary files that exist at this moment, for the signal handler, which
// may touch nothing but fixed storage. It is the one piece of process-wide state besides
// the installed host; a slot is used only while its file has a name.
constexpr std::size_t Slots = 32;
struct TNameSlot {
  std::atomic<int> State{0}; // 0 free, 1 being written, 2 a name to remove
  char Path[PATH_MAX] = {};
};
std::array<TNameSlot, Slots> Names;

int RegisterName(const std::string& path) {
  if (path.size() >= PATH_MAX)
    return -1;
  for (std::size_t i = 0; i < Slots; ++i) {
    int free = 0;
    if (Names[i].State.compare_exchange_strong(free, 1)) {
      std::memcpy(Names[i].Path, path.c_str(), path.size() + 1);
      Names[i].State.store(2);
      return static_cast<int>(i);
    }
  }
  return -1; // more writes at once than slots: only that name goes unguarded
}

void ForgetName(int& slot) {
  if (slot >= 0)
    Names[static_cast<std::size_t>(slot)].State.store(0);
  slot = -1;
}

void RemoveNamesAndEnd(int signal) {
  for (TNameSlot& slot : Names)
    if (slot.State.load() == 2)
      ::unlink(slot.Path);
  // The handler was reset on entry: the signal now ends the program as it would have.
  ::raise(signal);
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

// A fresh name for a temporary file in the folder.
std::string TemporaryNameIn(const std::string& folder) {
  return FreshHiddenName(folder, ".tamberlon-");
}

bool ProcFileDescriptorsUsable() {
  static const bool usable = ::access("/proc/self/fd", X_OK) == 0;
  return usable;
}

std::string DescriptorPath(int descriptor) {
  return "/proc/self/fd/" + std::to_string(descriptor);
}

// What a path leads to: a regular file or nothing (written by replacing or creating the
// final target of its links), or something written into directly.
struct TTarget {
  TWriteResult Problem = TWriteResult::Written;
  std::string Path;
  bool Direct = false;
  bool Append = false; // a regular file reached through /proc (as /dev/stdout reaches it)
  bool Exists = false;
  struct stat Status {};
};

TTarget ResolveTarget(const std::string& path) {
  TTarget target;
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
    // A terminal, /dev/null or a pipe takes the bytes as they are; a folder, a disk or
    // anything else takes no document.
    if (S_ISCHR(status.st_mode) || S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)) {
      target.Direct = true;
      target.Path = path;
    } else {
      target.Problem = TWriteResult::NotAFile;
    }
    return target;
  }
  std::string at = path;
  for (int hops = 0;; ++hops) {
    if (hops > 40) {
      errno = ELOOP;
      target.Problem = TWriteResult::Failed;
      return target;
    }
    if (::lstat(at.c_str(), &status) != 0) {
      if (errno != ENOENT)
        target.Problem = TWriteResult::Failed;
      target.Path = at; // a new file, perhaps named by a dangling link
      return target;
    }
    if (!S_ISLNK(status.st_mode))
      break;
    if (at.starts_with("/proc/")) {
      // A descriptor's link names no place to put a new file: write through it.
      target = {TWriteResult::Written, path, true, true, true, status};
      return target;
    }
    std::array<char, PATH_MAX> link{};
    const ssize_t length = ::readlink(at.c_str(), link.data(), link.size());
    if (length < 0 || static_cast<std::size_t>(length) >= link.size()) {
      if (length >= 0)
        errno = ENAMETOOLONG;
      target.Problem = TWriteResult::Failed;
      return target;
    }
    const std::string next(link.data(), static_cast<std::size_t>(length));
    at = next.starts_with('/') ? next : FolderOf(at) + next;
  }
  target.Path = at;
  target.Exists = true;
  target.Status = status;
  if (!S_ISREG(status.st_mode))
    target.Problem = TWriteResult::NotAFile;
  else if ((status.st_mode & 0222) == 0 || ::access(at.c_str(), W_OK) != 0)
    target.Problem = TWriteResult::ReadOnly; // also for root, as a read-only file is meant
  return target;
}

// What a name in an open folder is, its links never followed: a regular file, nothing, or
// something no write below a folder touches (a link, a folder, a device, a pipe).
TTarget ResolveBelow(int folder, const std::string& leaf) {
  TTarget target;
  target.Path = leaf;
  struct stat status {};
  if (::fstatat(folder, leaf.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno != ENOENT)
      target.Problem = TWriteResult::Failed;
    return target;
  }
  target.Exists = true;
  target.Status = status;
  if (!S_ISREG(status.st_mode)) {
    // A device or pipe: the name is taken by something no write below a folder replaces.
    errno = S_ISLNK(status.st_mode) ? ELOOP : S_ISDIR(status.st_mode) ? EISDIR : EEXIST;
    target.Problem = TWriteResult::NotAFile;
  } else if ((status.st_mode & 0222) == 0 ||
             ::faccessat(folder, leaf.c_str(), W_OK, AT_SYMLINK_NOFOLLOW) != 0) {
    errno = EACCES;
    target.Problem = TWriteResult::ReadOnly;
  }
  return target;
}
} // namespace

struct TFileSet::TStaged {
  std::string Path; // as asked
  // The folder the names below are taken in: the working folder (the names are paths),
  // or a folder opened below a base folder, held open (owned) until the set is done.
  int Folder = AT_FDCWD;
  std::string FolderPath; // that folder's path, for the journal and the interrupt's clean-up
  std::string Target;     // where the bytes land
  std::string Bytes;      // for a direct write only
  bool Direct = false;
  bool Append = false;
  bool Replaces = false; // a regular file is there and may be replaced
  bool Removes = false;  // the file is taken away, nothing put in its place
  bool Sealed = false;   // its bytes reached the disk
  int Descriptor = -1;
  std::string TemporaryName; // empty for an unnamed temporary file
  int TemporarySlot = -1;
  dev_t Device = 0;
  ino_t Inode = 0;
  // What the commit did, for undoing it. Its names are chosen before any is made.
  bool Placed = false;
  std::string Backup; // the old file's second name (Replaces)
  bool BackupMade = false;
  std::string MoveName; // the name an unnamed new file gets to be renamed over the old
};

TFileSet::TFileSet() = default;

TFileSet::~TFileSet() {
  Discard();
}

void TFileSet::Discard() {
  for (TStaged& staged : Staged) {
    if (staged.Descriptor >= 0)
      ::close(staged.Descriptor);
    if (!staged.TemporaryName.empty())
      ::unlinkat(staged.Folder, staged.TemporaryName.c_str(), 0);
    if (staged.BackupMade)
      ::unlinkat(staged.Folder, staged.Backup.c_str(), 0);
    ForgetName(staged.TemporarySlot);
    if (staged.Folder != AT_FDCWD)
      ::close(staged.Folder);
  }
  Staged.clear();
}

TWriteResult TFileSet::Add(const std::string& path, std::string_view bytes, TWriteMode mode) {
  std::size_t index = 0;
  const TWriteResult opened = Open(path, mode, index);
  if (opened != TWriteResult::Written)
    return opened;
  if (!WriteAt(index, 0, bytes) || !Seal(Staged[index])) {
    const int error = errno;
    Drop(index);
    errno = error;
    return TWriteResult::Failed;
  }
  return TWriteResult::Written;
}

TWriteResult TFileSet::Open(const std::string& path, TWriteMode mode, std::size_t& index) {
  const TTarget target = ResolveTarget(path);
  if (target.Problem != TWriteResult::Written)
    return target.Problem;
  TStaged staged;
  staged.Path = path;
  staged.Target = target.Path;
  if (target.Direct) { // nothing is replaced there, whatever the mode
    staged.Direct = true;
    staged.Append = target.Append;
    index = Staged.size();
    Staged.push_back(std::move(staged));
    return TWriteResult::Written;
  }
  return Stage(std::move(staged), target.Exists ? &target.Status : nullptr, mode, index);
}

TWriteResult TFileSet::OpenBelow(const TBaseFolder& folder, const std::string& name,
                                 TWriteMode mode, std::size_t& index) {
  auto parent = folder.ParentOf(name);
  if (!parent)
    return errno == ELOOP ? TWriteResult::NotAFile : TWriteResult::Failed;
  const TTarget target = ResolveBelow(parent->Folder.Get(), parent->Leaf);
  if (target.Problem != TWriteResult::Written)
    return target.Problem;
  TStaged staged;
  staged.Path = folder.Path() + name;
  staged.FolderPath = folder.Path() + name.substr(0, name.size() - parent->Leaf.size());
  staged.Folder = parent->Folder.Release();
  staged.Target = target.Path;
  return Stage(std::move(staged), target.Exists ? &target.Status : nullptr, mode, index);
}

// The temporary file beside the target (the regular file existing there, if any), in the
// target's folder.
TWriteResult TFileSet::Stage(TStaged staged, const struct stat* existing, TWriteMode mode,
                             std::size_t& index) {
  const auto release = [&] {
    if (staged.Folder != AT_FDCWD)
      ::close(staged.Folder);
  };
  if (existing && mode == TWriteMode::CreateOnly) {
    release();
    errno = EEXIST;
    return TWriteResult::Exists;
  }
  staged.Replaces = existing != nullptr;

  const std::string folder = FolderOf(staged.Target);
  // Readable as well: ReadBack checks the very bytes the commit will name.
  if (!NamedTemporaries && ProcFileDescriptorsUsable())
    staged.Descriptor =
        ::openat(staged.Folder, folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (staged.Descriptor < 0) {
    // No unnamed files here: a named one, removed should the program be interrupted.
    for (int attempt = 0; attempt < 20 && staged.Descriptor < 0; ++attempt) {
      staged.TemporaryName = TemporaryNameIn(folder);
      staged.Descriptor = ::openat(staged.Folder, staged.TemporaryName.c_str(),
                                   O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0600);
      if (staged.Descriptor < 0 && errno != EEXIST)
        break;
    }
    if (staged.Descriptor < 0) {
      const int error = errno;
      staged.TemporaryName.clear();
      release();
      errno = error;
      return TWriteResult::Failed;
    }
    staged.TemporarySlot = RegisterName(staged.FolderPath + staged.TemporaryName);
  }
  // A replaced file keeps its permissions and owner; a new one gets the usual 0644.
  const mode_t permissions = existing ? (existing->st_mode & 07777) : 0644;
  if (existing) // only root may give a file away: anyone else's copy is theirs
      [[maybe_unused]]
    const int owned = ::fchown(staged.Descriptor, existing->st_uid, existing->st_gid);
  struct stat created {};
  const bool ok =
      ::fchmod(staged.Descriptor, permissions) == 0 && ::fstat(staged.Descriptor, &created) == 0;
  staged.Device = created.st_dev;
  staged.Inode = created.st_ino;
  index = Staged.size();
  Staged.push_back(std::move(staged));
  if (!ok) {
    const int error = errno;
    Drop(index);
    errno = error;
    return TWriteResult::Failed;
  }
  return TWriteResult::Written;
}

bool TFileSet::WriteAt(std::size_t index, std::uint64_t offset, std::string_view bytes) {
  if (index >= Staged.size())
    return false;
  TStaged& staged = Staged[index];
  if (staged.Direct) { // kept until the commit writes it
    if (staged.Bytes.size() < offset + bytes.size())
      staged.Bytes.resize(offset + bytes.size());
    staged.Bytes.replace(offset, bytes.size(), bytes);
    return true;
  }
  while (!bytes.empty()) {
    const ssize_t written =
        ::pwrite(staged.Descriptor, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (written < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
    offset += static_cast<std::uint64_t>(written);
  }
  return true;
}

int TFileSet::ReadBack(std::size_t index) const {
  if (index >= Staged.size() || Staged[index].Descriptor < 0)
    return -1;
  return ::fcntl(Staged[index].Descriptor, F_DUPFD_CLOEXEC, 0);
}

void TFileSet::Remove(const std::string& path) {
  TStaged staged;
  staged.Path = path;
  staged.Target = path;
  staged.Removes = true;
  staged.Replaces = true;
  Staged.push_back(std::move(staged));
}

bool TFileSet::Seal(TStaged& staged) {
  if (staged.Direct || staged.Removes || staged.Sealed)
    return true;
  staged.Sealed = ::fsync(staged.Descriptor) == 0;
  return staged.Sealed;
}

void TFileSet::Drop(std::size_t index) {
  TStaged& failed = Staged[index];
  if (failed.Descriptor >= 0)
    ::close(failed.Descriptor);
  if (!failed.TemporaryName.empty())
    ::unlinkat(failed.Folder, failed.TemporaryName.c_str(), 0);
  ForgetName(failed.TemporarySlot);
  if (failed.Folder != AT_FDCWD)
    ::close(failed.Folder);
  Staged.erase(Staged.begin() + static_cast<std::ptrdiff_t>(index));
}

namespace {
// Takes the final name (in folder) only when nothing is there, in one step: the unnamed
// file's descriptor linked, or the named temporary in the same folder renamed.
bool PlaceWithoutReplacing(const std::string& from, int folder, const std::string& to,
                           bool fromDescriptor) {
  if (fromDescriptor)
    return ::linkat(AT_FDCWD, from.c_str(), folder, to.c_str(), AT_SYMLINK_FOLLOW) == 0;
  return RenameWithoutReplacing(folder, from, folder, to);
}

bool WriteDirectly(const std::string& path, std::string_view bytes, bool append) {
  // Without O_NONBLOCK the open of a pipe nobody reads would wait for ever.
  const int descriptor =
      ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC | (append ? O_APPEND : 0));
  if (descriptor < 0)
    return false;
  const int flags = ::fcntl(descriptor, F_GETFL);
  const bool ok = flags >= 0 && ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) == 0 &&
                  WriteToDescriptor(descriptor, bytes);
  const int error = errno;
  ::close(descriptor);
  errno = error;
  return ok;
}
} // namespace

namespace {
// The journal is read by another process, perhaps in another folder.
std::string Absolute(const std::string& path) {
  std::error_code error;
  const auto absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.string();
}

// Gives a name to a file by a second link, only when the name is free: the unnamed file's
// descriptor, or a name in the folder.
bool LinkAs(const std::string& from, int folder, const std::string& name, bool fromDescriptor) {
  return (fromDescriptor ? ::linkat(AT_FDCWD, from.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW)
                         : ::linkat(folder, from.c_str(), folder, name.c_str(), 0)) == 0;
}
} // namespace

std::vector<TJournalStep> TFileSet::PlanSteps() {
  std::vector<TJournalStep> steps;
  for (TStaged& s : Staged) {
    if (s.Direct)
      continue;
    struct stat now {};
    s.Replaces =
        s.Replaces && ::fstatat(s.Folder, s.Target.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0;
    TJournalStep step;
    step.Kind = s.Removes    ? TJournalStep::Remove
                : s.Replaces ? TJournalStep::Replace
                             : TJournalStep::New;
    step.Device = s.Device;
    step.Inode = s.Inode;
    step.Target = Absolute(s.FolderPath + s.Target);
    if (s.Replaces) { // names chosen now, made as the step comes
      s.Backup = TemporaryNameIn(FolderOf(s.Target));
      step.Backup = Absolute(s.FolderPath + s.Backup);
    }
    if (s.Replaces && !s.Removes && s.TemporaryName.empty())
      s.MoveName = TemporaryNameIn(FolderOf(s.Target));
    const std::string& temporary = s.TemporaryName.empty() ? s.MoveName : s.TemporaryName;
    if (!temporary.empty())
      step.Temporary = Absolute(s.FolderPath + temporary);
    steps.push_back(std::move(step));
  }
  return steps;
}

TWriteResult TFileSet::Place(TStaged& s) {
  const auto step = [&] {
    if (BeforeStep)
      BeforeStep();
  };
  const bool unnamed = s.TemporaryName.empty();
  const std::string source = unnamed ? DescriptorPath(s.Descriptor) : s.TemporaryName;
  struct stat now {};
  const bool there = ::fstatat(s.Folder, s.Target.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0;
  if (s.Removes && (!there || !S_ISREG(now.st_mode)))
    return TWriteResult::Written; // gone already; anything else that took the name stays
  if (!s.Replaces || !there) {
    s.Replaces = false;
    step();
    if (!PlaceWithoutReplacing(source, s.Folder, s.Target, unnamed))
      return errno == EEXIST ? TWriteResult::Exists : TWriteResult::Failed;
    s.Placed = true;
    s.TemporaryName.clear();
    ForgetName(s.TemporarySlot);
    return TWriteResult::Written;
  }
  if (!S_ISREG(now.st_mode)) // something else took the file's place meanwhile
    return TWriteResult::NotAFile;
  // The old file under a second name until the whole set is in place.
  step();
  if (!LinkAs(s.Target, s.Folder, s.Backup, false))
    return TWriteResult::Failed;
  s.BackupMade = true;
  s.Placed = true;
  if (s.Removes) {
    step();
    return ::unlinkat(s.Folder, s.Target.c_str(), 0) == 0 ? TWriteResult::Written
                                                          : TWriteResult::Failed;
  }
  if (unnamed) {
    step();
    if (!LinkAs(source, s.Folder, s.MoveName, true))
      return TWriteResult::Failed;
    s.TemporaryName = s.MoveName;
  }
  step();
  if (::renameat(s.Folder, s.TemporaryName.c_str(), s.Folder, s.Target.c_str()) != 0)
    return TWriteResult::Failed;
  s.TemporaryName.clear();
  ForgetName(s.TemporarySlot);
  return TWriteResult::Written;
}

void TFileSet::Undo() {
  // In reverse: new files go, replaced and removed ones get their old content back.
  for (std::size_t i = Staged.size(); i-- > 0;) {
    TStaged& s = Staged[i];
    if (!s.Placed)
      continue;
    struct stat now {};
    const bool ours = ::fstatat(s.Folder, s.Target.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
                      now.st_dev == s.Device && now.st_ino == s.Inode;
    if (s.BackupMade) {
      // A backup that is still a second name of the target only loses that name.
      ::renameat(s.Folder, s.Backup.c_str(), s.Folder, s.Target.c_str());
      ::unlinkat(s.Folder, s.Backup.c_str(), 0);
      s.BackupMade = false;
    } else if (!s.Replaces && ours) {
      ::unlinkat(s.Folder, s.Target.c_str(), 0);
    }
  }
}

TWriteResult TFileSet::Commit(std::string* failedPath) {
  TWriteResult result = TWriteResult::Written;
  const auto fail = [&](TWriteResult why, const TStaged& staged) {
    result = why;
    if (failedPath)
      *failedPath = staged.Path;
  };
  for (TStaged& s : Staged)
    if (!Seal(s)) { // the data is on the disk before any name leads to it
      fail(TWriteResult::Failed, s);
      Discard();
      return result;
    }
  if (StillTrue && !StillTrue()) {
    Discard();
    errno = ECANCELED;
    return TWriteResult::Failed;
  }
  // A commit a kill cut short is settled before this one begins; this one is journaled
  // (where the program's folder takes a journal) so that the next start can settle it.
  const std::string journalFolder = GetProgramFolder();
  RecoverInterruptedCommits(journalFolder);
  TCommitJournal journal;
  if (const auto steps = PlanSteps(); !steps.empty())
    journal.Begin(journalFolder, steps);
  for (TStaged& s : Staged) {
    if (s.Direct)
      continue;
    if (const TWriteResult placed = Place(s); placed != TWriteResult::Written) {
      fail(placed, s);
      break;
    }
  }
  for (std::size_t i = 0; i < Staged.size() && result == TWriteResult::Written; ++i)
    if (Staged[i].Direct && !WriteDirectly(Staged[i].Target, Staged[i].Bytes, Staged[i].Append))
      fail(TWriteResult::Failed, Staged[i]);
  const int error = errno;
  if (result != TWriteResult::Written) {
    Undo();
  } else {
    if (BeforeStep)
      BeforeStep(); // the commit point
    journal.MarkCommitted();
  }
  Discard(); // the backups of a complete set, and every descriptor
  journal.End();
  errno = error;
  return result;
}

TWriteResult WriteFile(const std::string& path, std::string_view bytes, TWriteMode mode) {
  TFileSet set;
  const TWriteResult staged = set.Add(path, bytes, mode);
  return staged == TWriteResult::Written ? set.Commit() : staged;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
  return WriteFile(path, bytes) == TWriteResult::Written;
}

void InstallWriteInterruptCleanup() {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction previous {};
    if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
      continue; // started with the signal ignored (nohup): it stays ignored
    struct sigaction action {};
    action.sa_handler = RemoveNamesAndEnd;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    ::sigaction(signal, &action, nullptr);
  }
}
