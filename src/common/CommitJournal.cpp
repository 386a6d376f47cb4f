// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/CommitJournal.h"

#include "common/FileUnit.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr std::string_view JournalPrefix = ".tamberlon-journal-";
constexpr std::string_view Heading = "tamberlon commit 1";
constexpr std::string_view Committed = "committed";
// A journal is a few paths a file: anything larger is no journal of this program.
constexpr std::int64_t MaximumJournal = std::int64_t{4} << 20;

// Fields end with a zero byte, which no path holds.
void PutField(std::string& out, std::string_view field) {
  out.append(field);
  out += '\0';
}

std::string Encode(const std::vector<TJournalStep>& steps) {
  std::string out;
  PutField(out, Heading);
  for (const TJournalStep& step : steps) {
    PutField(out, std::string_view(reinterpret_cast<const char*>(&step.Kind), 1));
    PutField(out, std::to_string(step.Device));
    PutField(out, std::to_string(step.Inode));
    PutField(out, step.Target);
    PutField(out, step.Temporary);
    PutField(out, step.Backup);
  }
  PutField(out, "end");
  return out;
}

struct TJournalContent {
  std::vector<TJournalStep> Steps;
  bool Committed = false;
};

// The steps of a journal's bytes; a journal cut short lists the steps it got to, none of
// which had begun (the steps begin only once the journal is whole).
TJournalContent Decode(std::string_view bytes) {
  std::vector<std::string_view> fields;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t end = bytes.find('\0', at);
    if (end == std::string_view::npos)
      break; // a field cut short
    fields.push_back(bytes.substr(at, end - at));
    at = end + 1;
  }
  TJournalContent content;
  if (fields.empty() || fields[0] != Heading)
    return content;
  std::size_t at = 1;
  for (; at + 6 <= fields.size() && fields[at].size() == 1; at += 6) {
    TJournalStep step;
    step.Kind = static_cast<TJournalStep::TKind>(fields[at][0]);
    step.Device = std::strtoull(std::string(fields[at + 1]).c_str(), nullptr, 10);
    step.Inode = std::strtoull(std::string(fields[at + 2]).c_str(), nullptr, 10);
    step.Target = fields[at + 3];
    step.Temporary = fields[at + 4];
    step.Backup = fields[at + 5];
    content.Steps.push_back(std::move(step));
  }
  content.Committed = at + 1 < fields.size() && fields[at] == "end" && fields[at + 1] == Committed;
  return content;
}

void SyncFolder(const std::string& folder) {
  const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor >= 0) {
    ::fsync(descriptor);
    ::close(descriptor);
  }
}

std::string JournalName(const std::string& folder) {
  return FreshHiddenName(folder, JournalPrefix);
}

bool SameFile(const std::string& path, std::uint64_t device, std::uint64_t inode) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 && status.st_dev == device && status.st_ino == inode;
}

bool Exists(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

// Puts the old file back from its backup. A backup that is still a second name of the
// target (the step had not begun) only has its name removed.
void Restore(const TJournalStep& step) {
  if (step.Backup.empty() || !Exists(step.Backup))
    return;
  ::rename(step.Backup.c_str(), step.Target.c_str());
  ::unlink(step.Backup.c_str()); // left only when the rename found one file under both names
}

void Settle(const TJournalContent& content) {
  for (auto step = content.Steps.rbegin(); step != content.Steps.rend(); ++step) {
    if (!content.Committed) {
      if (step->Kind == TJournalStep::New && SameFile(step->Target, step->Device, step->Inode))
        ::unlink(step->Target.c_str());
      else
        Restore(*step);
    } else if (!step->Backup.empty()) {
      ::unlink(step->Backup.c_str());
    }
    if (!step->Temporary.empty()) // a second name of the new file, or its only one
      ::unlink(step->Temporary.c_str());
  }
}
} // namespace

TCommitJournal::~TCommitJournal() {
  if (Descriptor >= 0)
    ::close(Descriptor);
}

bool TCommitJournal::Begin(const std::string& folder, const std::vector<TJournalStep>& steps) {
  // Written whole and locked under no name, then named: a journal is never seen half made.
  Descriptor = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  const bool unnamed = Descriptor >= 0;
  if (!unnamed) {
    Path = JournalName(folder);
    Descriptor = ::open(Path.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0600);
  }
  if (Descriptor < 0)
    return false;
  const bool written = ::flock(Descriptor, LOCK_EX) == 0 &&
                       WriteToDescriptor(Descriptor, Encode(steps)) && ::fsync(Descriptor) == 0;
  if (written && unnamed) {
    const std::string source = "/proc/self/fd/" + std::to_string(Descriptor);
    for (int attempt = 0; attempt < 20 && Path.empty(); ++attempt) {
      std::string name = JournalName(folder);
      if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        Path = std::move(name);
      else if (errno != EEXIST)
        break;
    }
  }
  if (!written || Path.empty()) {
    End();
    return false;
  }
  SyncFolder(folder);
  return true;
}

bool TCommitJournal::MarkCommitted() {
  std::string mark;
  PutField(mark, Committed);
  return Descriptor >= 0 && WriteToDescriptor(Descriptor, mark) && ::fsync(Descriptor) == 0;
}

void TCommitJournal::End() {
  if (!Path.empty())
    ::unlink(Path.c_str());
  if (Descriptor >= 0)
    ::close(Descriptor);
  Descriptor = -1;
  Path.clear();
}

void RecoverInterruptedCommits(const std::string& folder) {
  const auto entries = ReadFolder(folder.empty() ? "." : folder);
  if (!entries)
    return;
  for (const TFolderEntry& entry : *entries) {
    if (entry.IsFolder || entry.IsLink || !entry.Name.starts_with(JournalPrefix))
      continue;
    const std::string path = folder + entry.Name;
    const int descriptor = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (descriptor < 0)
      continue;
    struct stat status {};
    const bool ours = ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) &&
                      status.st_uid == ::geteuid() && status.st_size <= MaximumJournal;
    // A lock that cannot be had now is a commit under way.
    if (ours && ::flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
      std::string bytes(static_cast<std::size_t>(status.st_size), '\0');
      const ssize_t got = ::pread(descriptor, bytes.data(), bytes.size(), 0);
      bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
      Settle(Decode(bytes));
      ::unlink(path.c_str());
    }
    ::close(descriptor);
  }
}
