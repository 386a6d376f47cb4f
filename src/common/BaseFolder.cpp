// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/BaseFolder.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>
#include <vector>

TDescriptor::TDescriptor(TDescriptor&& other) noexcept : Value(std::exchange(other.Value, -1)) {}

TDescriptor& TDescriptor::operator=(TDescriptor&& other) noexcept {
  if (this != &other) {
    if (Value >= 0)
      ::close(Value);
    Value = std::exchange(other.Value, -1);
  }
  return *this;
}

TDescriptor::~TDescriptor() {
  if (Value >= 0)
    ::close(Value);
}

int TDescriptor::Release() {
  return std::exchange(Value, -1);
}

TBaseFolder::TBaseFolder(TDescriptor folder, std::string path)
    : Folder(std::move(folder)), FolderPath(std::move(path)) {}

std::optional<TBaseFolder> TBaseFolder::Open(const std::string& path) {
  TDescriptor folder(::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder)
    return std::nullopt;
  return TBaseFolder(std::move(folder), path.empty() || path.ends_with('/') ? path : path + "/");
}

TDescriptor TBaseFolder::OpenBelow(std::string_view name, int flags, mode_t mode) const {
  if (Method == TBelowMethod::Openat2) {
    open_how how{};
    how.flags = static_cast<std::uint64_t>(flags | O_CLOEXEC);
    how.mode = (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? mode : 0;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS;
    const std::string path(name);
    long opened = -1;
    // EAGAIN: a rename elsewhere raced the lookup. Tried again a bounded number of times, so
    // that renames kept going by another program cannot hold the repair for ever.
    for (int tries = 0; tries < 64; ++tries) {
      opened = ::syscall(SYS_openat2, Folder.Get(), path.c_str(), &how, sizeof how);
      if (opened >= 0 || errno != EAGAIN)
        break;
    }
    if (opened >= 0 || errno != ENOSYS)
      return TDescriptor(static_cast<int>(opened));
  }
  return StepByStep(name, flags, mode);
}

// Each folder on the way opened from the one before with O_NOFOLLOW: a link anywhere
// fails with ELOOP. ".." is refused outright rather than tracked.
TDescriptor TBaseFolder::StepByStep(std::string_view name, int flags, mode_t mode) const {
  if (name.starts_with('/')) {
    errno = EXDEV;
    return {};
  }
  std::vector<std::string> steps;
  for (std::size_t start = 0; start <= name.size();) {
    const std::size_t end = std::min(name.find('/', start), name.size());
    const std::string_view step = name.substr(start, end - start);
    if (step == "..") {
      errno = EXDEV;
      return {};
    }
    if (!step.empty() && step != ".")
      steps.emplace_back(step);
    start = end + 1;
  }
  if (steps.empty()) {
    if (name.empty()) {
      errno = ENOENT;
      return {};
    }
    steps.emplace_back(".");
  }
  TDescriptor at;
  for (std::size_t i = 0; i + 1 < steps.size(); ++i) {
    // O_PATH opens a link itself, so that it is told from a folder.
    TDescriptor next(
        ::openat(at ? at.Get() : Folder.Get(), steps[i].c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat status {};
    if (!next || ::fstat(next.Get(), &status) != 0)
      return {};
    if (!S_ISDIR(status.st_mode)) {
      errno = S_ISLNK(status.st_mode) ? ELOOP : ENOTDIR;
      return {};
    }
    at = std::move(next);
  }
  const int in = at ? at.Get() : Folder.Get();
  TDescriptor opened(::openat(in, steps.back().c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode));
  struct stat status {};
  // A link asked for as a folder fails as "not a folder": it is a link.
  if (!opened && errno == ENOTDIR &&
      ::fstatat(in, steps.back().c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISLNK(status.st_mode))
    errno = ELOOP;
  return opened;
}

std::optional<TBaseFolder::TParent> TBaseFolder::ParentOf(std::string_view name) const {
  const std::size_t slash = name.rfind('/');
  const std::string_view leaf = slash == std::string_view::npos ? name : name.substr(slash + 1);
  if (leaf.empty() || leaf == "." || leaf == "..") {
    errno = leaf == ".." ? EXDEV : EINVAL;
    return std::nullopt;
  }
  const std::string_view folder =
      slash == std::string_view::npos ? std::string_view(".") : name.substr(0, slash + 1);
  TDescriptor opened = OpenBelow(folder, O_RDONLY | O_DIRECTORY);
  if (!opened)
    return std::nullopt;
  return TParent{std::move(opened), std::string(leaf)};
}

bool TBaseFolder::MakeFoldersOf(std::string_view name, std::vector<std::string>& made) const {
  for (std::size_t slash = name.find('/'); slash != std::string_view::npos;
       slash = name.find('/', slash + 1)) {
    const std::string folder(name.substr(0, slash));
    if (folder.empty() || OpenBelow(folder, O_RDONLY | O_DIRECTORY))
      continue;
    if (errno != ENOENT)
      return false;
    const auto parent = ParentOf(folder);
    if (!parent || ::mkdirat(parent->Folder.Get(), parent->Leaf.c_str(), 0755) != 0)
      return false;
    made.push_back(folder);
  }
  return true;
}

void TBaseFolder::RemoveFolders(const std::vector<std::string>& made) const {
  for (auto folder = made.rbegin(); folder != made.rend(); ++folder)
    if (const auto parent = ParentOf(*folder))
      ::unlinkat(parent->Folder.Get(), parent->Leaf.c_str(), AT_REMOVEDIR);
}
