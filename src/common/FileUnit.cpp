// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/FileUnit.h"

#include "common/TrackKinds.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>

std::optional<TReadOnlyFile> TReadOnlyFile::Open(const std::string& path) {
  // Without O_NONBLOCK the open of a FIFO waits for a writer that may never come; a
  // regular file ignores the flag.
  return OfDescriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
}

std::optional<TReadOnlyFile> TReadOnlyFile::OfDescriptor(int descriptor) {
  if (descriptor < 0)
    return std::nullopt;
  struct stat status {};
  if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(descriptor);
    return std::nullopt;
  }
  return TReadOnlyFile(descriptor, status.st_size, status.st_mtim.tv_sec);
}

TReadOnlyFile::TReadOnlyFile(int descriptor, std::int64_t length, std::int64_t modified)
    : Descriptor(descriptor), Length(length), Modified(modified) {}

TReadOnlyFile::TReadOnlyFile(TReadOnlyFile&& other) noexcept
    : Descriptor(std::exchange(other.Descriptor, -1)), Length(other.Length),
      Modified(other.Modified), Windows(other.Windows), LastUsed(other.LastUsed),
      Cache(std::move(other.Cache)), Watcher(std::move(other.Watcher)) {}

TReadOnlyFile& TReadOnlyFile::operator=(TReadOnlyFile&& other) noexcept {
  if (this != &other) {
    if (Descriptor >= 0)
      ::close(Descriptor);
    Descriptor = std::exchange(other.Descriptor, -1);
    Length = other.Length;
    Modified = other.Modified;
    Windows = other.Windows;
    LastUsed = other.LastUsed;
    Cache = std::move(other.Cache);
    Watcher = std::move(other.Watcher);
  }
  return *this;
}

TReadOnlyFile::~TReadOnlyFile() {
  if (Descriptor >= 0)
    ::close(Descriptor);
}

namespace {
std::optional<std::size_t> ReadFully(int descriptor, std::int64_t offset,
                                     std::span<std::uint8_t> destination) {
  std::size_t done = 0;
  while (done < destination.size()) {
    const ssize_t got = ::pread(descriptor, destination.data() + done, destination.size() - done,
                                static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
    if (got < 0) {
      if (errno == EINTR)
        continue;
      return std::nullopt;
    }
    if (got == 0)
      break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}
} // namespace

std::optional<std::size_t> TReadOnlyFile::ReadHeard(std::int64_t offset,
                                                    std::span<std::uint8_t> destination) {
  const auto got = ReadFully(Descriptor, offset, destination);
  if (got && Watcher)
    Watcher(offset, destination.first(*got));
  return got;
}

std::optional<std::size_t> TReadOnlyFile::CopyFromWindow(std::size_t index, std::int64_t offset,
                                                         std::span<std::uint8_t> destination) {
  const TWindow& window = Windows[index];
  LastUsed = index;
  const auto skip = static_cast<std::size_t>(offset - window.Offset);
  const std::size_t available = window.Filled > skip ? window.Filled - skip : 0;
  const std::size_t count = std::min(available, destination.size());
  std::memcpy(destination.data(), Cache.get() + index * WindowSize + skip, count);
  return count;
}

std::optional<std::size_t> TReadOnlyFile::ReadAt(std::int64_t offset,
                                                 std::span<std::uint8_t> destination) {
  if (offset < 0)
    return std::nullopt;
  if (destination.empty())
    return 0;
  if (destination.size() > WindowSize)
    return ReadHeard(offset, destination);
  const auto size = static_cast<std::int64_t>(destination.size());
  constexpr auto Span = static_cast<std::int64_t>(WindowSize);
  for (std::size_t i = 0; i < Windows.size(); ++i)
    if (Windows[i].Valid && offset >= Windows[i].Offset &&
        offset + size <= Windows[i].Offset + Span)
      return CopyFromWindow(i, offset, destination);

  // Near the end the window ends with the file, so the ID3v1 tag and the audio before it
  // come in one read; it reaches no further than the end the file had when opened.
  const std::int64_t start = std::min(offset, std::max<std::int64_t>(0, Length - Span));
  if (offset + size > start + Span)
    return ReadHeard(offset, destination);
  if (!Cache)
    Cache = std::make_unique_for_overwrite<std::uint8_t[]>(WindowSize * Windows.size());
  const std::size_t index = (LastUsed + 1) % Windows.size();
  TWindow& window = Windows[index];
  const auto wanted = static_cast<std::size_t>(std::clamp<std::int64_t>(Length - start, 1, Span));
  const auto filled = ReadHeard(start, std::span(Cache.get() + index * WindowSize, wanted));
  if (!filled) {
    window.Valid = false;
    return std::nullopt;
  }
  window = {start, *filled, true};
  return CopyFromWindow(index, offset, destination);
}

bool TReadOnlyFile::ReadExactly(std::int64_t offset, std::span<std::uint8_t> destination) {
  const auto got = ReadAt(offset, destination);
  return got && *got == destination.size();
}

std::optional<std::size_t> TReadOnlyFile::ReadNext(std::span<std::uint8_t> destination) {
  for (;;) {
    const ssize_t got = ::read(Descriptor, destination.data(), destination.size());
    if (got >= 0)
      return static_cast<std::size_t>(got);
    if (errno != EINTR)
      return std::nullopt;
  }
}

std::string FileNamePart(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

std::string FolderPart(const std::string& path) {
  return path.substr(0, path.rfind('/') + 1);
}

bool FileExists(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool IsPlainFile(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool LinkWithoutReplacing(int fromFolder, const std::string& from, int toFolder,
                          const std::string& to) {
  struct stat status {};
  if (::fstatat(fromFolder, from.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
    return false;
  if (!S_ISREG(status.st_mode)) {
    errno = EPERM;
    return false;
  }
  return ::linkat(fromFolder, from.c_str(), toFolder, to.c_str(), 0) == 0;
}

bool RenameWithoutReplacing(int fromFolder, const std::string& from, int toFolder,
                            const std::string& to) {
  if (::renameat2(fromFolder, from.c_str(), toFolder, to.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  // A file system without the flag: a link is just as sure not to replace anything.
  if (errno != EINVAL && errno != ENOSYS)
    return false;
  if (::linkat(fromFolder, from.c_str(), toFolder, to.c_str(), 0) != 0)
    return false;
  ::unlinkat(fromFolder, from.c_str(), 0);
  return true;
}

std::string FileIdentity(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0)
    return "file " + std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::unique_ptr<char, decltype(&std::free)> real(::realpath(folder.c_str(), nullptr),
                                                         &std::free);
  return "name " + (real ? std::string(real.get()) + "/" + name : path);
}

std::optional<TFileStamp> FileStampOf(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0)
    return std::nullopt;
  return TFileStamp{status.st_dev, status.st_ino, status.st_size,
                    status.st_mtim.tv_sec * 1000000000LL + status.st_mtim.tv_nsec,
                    status.st_ctim.tv_sec * 1000000000LL + status.st_ctim.tv_nsec};
}

bool WriteToDescriptor(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

std::string FreshHiddenName(const std::string& folder, std::string_view prefix) {
  static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::minstd_rand random(std::random_device{}());
  std::string name = folder + std::string(prefix);
  for (int i = 0; i < 10; ++i)
    name += Letters[random() % (sizeof Letters - 1)];
  return name;
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
  auto file = TReadOnlyFile::Open(path);
  if (!file)
    return std::nullopt;
  std::string bytes;
  std::array<std::uint8_t, 65536> chunk{};
  for (;;) {
    const auto got = file->ReadNext(chunk);
    if (!got)
      return std::nullopt;
    if (*got == 0)
      return bytes;
    bytes.append(reinterpret_cast<const char*>(chunk.data()), *got);
  }
}

namespace {
std::optional<std::string> RealPath(const std::string& path) {
  const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                         &std::free);
  return real ? std::optional<std::string>(real.get()) : std::nullopt;
}
} // namespace

bool IsNameInsideFolder(std::string_view name) {
  if (name.empty() || name.front() == '/' || name.front() == '\\')
    return false;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = name.find_first_of("/\\", start);
    if (name.substr(start, end == std::string_view::npos ? end : end - start) == "..")
      return false;
    if (end == std::string_view::npos)
      return true;
    start = end + 1;
  }
}

std::optional<std::string> FileInsideFolder(std::string_view name, const std::string& folder,
                                            bool& unsafe) {
  unsafe = true;
  if (!IsNameInsideFolder(name))
    return std::nullopt;
  const auto real = RealPath(folder + std::string(name));
  unsafe = false;
  if (!real)
    return std::nullopt;
  const auto realFolder = RealPath(folder.empty() ? "." : folder);
  unsafe = true;
  if (!realFolder || !real->starts_with(*realFolder == "/" ? "/" : *realFolder + "/"))
    return std::nullopt;
  unsafe = false;
  return real;
}

bool MakeFolders(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  return std::filesystem::is_directory(folder, error);
}

std::optional<std::string> ReadFileHead(const std::string& path, std::int64_t limit) {
  auto file = TReadOnlyFile::Open(path);
  if (!file)
    return std::nullopt;
  std::string bytes(static_cast<std::size_t>(std::clamp<std::int64_t>(file->Size(), 0, limit)),
                    '\0');
  bytes.resize(
      file->ReadAt(0, std::span(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()))
          .value_or(0));
  return bytes;
}

std::optional<std::vector<TFolderEntry>> ReadFolder(const std::string& folder) {
  return ReadOpenFolder(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

std::optional<std::vector<TFolderEntry>> ReadOpenFolder(int descriptor) {
  if (descriptor < 0)
    return std::nullopt;
  const std::unique_ptr<DIR, int (*)(DIR*)> directory(::fdopendir(descriptor), &::closedir);
  if (!directory) {
    const int error = errno;
    ::close(descriptor);
    errno = error;
    return std::nullopt;
  }
  std::vector<TFolderEntry> entries;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(directory.get());
    if (!entry) {
      if (errno != 0)
        return std::nullopt;
      return entries;
    }
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..")
      continue;
    TFolderEntry item{std::string(name), entry->d_type == DT_DIR, entry->d_type == DT_LNK};
    if (entry->d_type == DT_UNKNOWN) { // file systems that do not say: ask
      struct stat status {};
      if (::fstatat(::dirfd(directory.get()), item.Name.c_str(), &status, AT_SYMLINK_NOFOLLOW) ==
          0) {
        item.IsFolder = S_ISDIR(status.st_mode);
        item.IsLink = S_ISLNK(status.st_mode);
      }
    }
    entries.push_back(std::move(item));
  }
}

bool IsFolder(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool HasTrackExtension(std::string_view name) {
  return TrackKindOfName(name).has_value();
}

std::vector<std::string> TracksInFolder(const std::string& folder,
                                        const std::vector<TFolderEntry>& entries) {
  const std::string prefix = folder.ends_with('/') ? folder : folder + "/";
  std::vector<std::string> tracks;
  for (const TFolderEntry& entry : entries)
    if (HasTrackExtension(entry.Name) && !entry.IsFolder &&
        !(entry.IsLink && IsFolder(prefix + entry.Name)))
      tracks.push_back(prefix + entry.Name);
  std::sort(tracks.begin(), tracks.end());
  return tracks;
}

std::optional<unsigned> DiscFolderNumber(std::string_view name) {
  std::string folded;
  for (const char c : name.substr(0, 8))
    folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::size_t at = 0;
  for (const std::string_view word : {"disc", "disk", "cd"})
    if (folded.starts_with(word)) {
      at = word.size();
      break;
    }
  if (at == 0)
    return std::nullopt;
  while (at < name.size() && (name[at] == ' ' || name[at] == '_' || name[at] == '-'))
    ++at;
  unsigned number = 0;
  std::size_t digits = 0;
  for (; at < name.size() && std::isdigit(static_cast<unsigned char>(name[at])) && digits < 3;
       ++at, ++digits)
    number = number * 10 + static_cast<unsigned>(name[at] - '0');
  // The number ends the name or a word ("CD1", "Disc 2 - Live"), never a longer name.
  if (digits == 0 || number == 0 ||
      (at < name.size() && std::isalnum(static_cast<unsigned char>(name[at]))))
    return std::nullopt;
  return number;
}

std::vector<std::string> DiscFoldersOf(const std::string& folder,
                                       const std::vector<TFolderEntry>& entries) {
  const std::string prefix = folder.ends_with('/') ? folder : folder + "/";
  if (!TracksInFolder(prefix, entries).empty())
    return {};
  std::vector<std::pair<unsigned, std::string>> discs;
  for (const TFolderEntry& entry : entries)
    if (entry.IsFolder && !entry.IsLink)
      if (const auto number = DiscFolderNumber(entry.Name)) {
        const auto inside = ReadFolder(prefix + entry.Name);
        if (inside && !TracksInFolder(prefix + entry.Name, *inside).empty())
          discs.emplace_back(*number, prefix + entry.Name);
      }
  // One disc folder alone is an album of its own, as it always was.
  if (discs.size() < 2)
    return {};
  std::sort(discs.begin(), discs.end());
  std::vector<std::string> folders;
  for (const auto& [number, path] : discs)
    folders.push_back(path);
  return folders;
}

std::string AlbumFolderOf(const std::vector<std::string>& trackPaths) {
  if (trackPaths.empty())
    return {};
  const std::string& first = trackPaths.front();
  const std::size_t slash = first.rfind('/');
  if (slash == std::string::npos)
    return {};
  const std::string folder = first.substr(0, slash + 1);
  const std::size_t above = first.rfind('/', slash == 0 ? 0 : slash - 1);
  const std::size_t nameStart = above == std::string::npos ? 0 : above + 1;
  if (!DiscFolderNumber(std::string_view(first).substr(nameStart, slash - nameStart)))
    return folder;
  const std::string parent = first.substr(0, nameStart);
  // Above only for an album of several discs: one disc folder alone is its own album.
  const bool severalDiscs =
      std::any_of(trackPaths.begin(), trackPaths.end(),
                  [&](const std::string& p) { return !p.starts_with(folder); });
  const bool allBelow =
      std::all_of(trackPaths.begin(), trackPaths.end(), [&](const std::string& p) {
        return p.starts_with(parent) && p.find('/', parent.size()) != std::string::npos;
      });
  return allBelow && severalDiscs ? parent : folder;
}

namespace {
// Which paths are folders. Many paths in one folder (a shell's "*.mp3") are looked up in
// one listing of it instead of a stat each; a link, or an entry the listing does not type,
// is still asked about.
std::vector<bool> FoldersAmong(const std::vector<std::string>& paths) {
  constexpr std::size_t ListingPays = 32;
  std::unordered_map<std::string, std::vector<std::size_t>> byFolder;
  for (std::size_t i = 0; i < paths.size(); ++i)
    byFolder[FolderPart(paths[i])].push_back(i);
  std::vector<bool> folders(paths.size());
  std::vector<bool> known(paths.size());
  for (const auto& [folder, members] : byFolder) {
    const auto entries =
        members.size() >= ListingPays ? ReadFolder(folder.empty() ? "." : folder) : std::nullopt;
    if (!entries)
      continue;
    std::unordered_map<std::string_view, const TFolderEntry*> named;
    for (const TFolderEntry& entry : *entries)
      named.emplace(entry.Name, &entry);
    for (const std::size_t i : members)
      if (const auto found = named.find(std::string_view(paths[i]).substr(folder.size()));
          found != named.end() && !found->second->IsLink) {
        folders[i] = found->second->IsFolder;
        known[i] = true;
      }
  }
  for (std::size_t i = 0; i < paths.size(); ++i)
    if (!known[i])
      folders[i] = IsFolder(paths[i]);
  return folders;
}
} // namespace

std::vector<std::string> ExpandTrackFolders(const std::vector<std::string>& paths) {
  std::vector<std::string> files;
  const std::vector<bool> isFolder = FoldersAmong(paths);
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::string& path = paths[i];
    if (!isFolder[i]) {
      files.push_back(path);
      continue;
    }
    const auto entries = ReadFolder(path);
    if (!entries)
      continue;
    std::vector<std::string> folders = DiscFoldersOf(path, *entries);
    if (folders.empty())
      folders.push_back(path);
    for (const std::string& folder : folders) {
      const auto inside = folder == path ? entries : ReadFolder(folder);
      const std::vector<std::string> tracks =
          inside ? TracksInFolder(folder, *inside) : std::vector<std::string>();
      files.insert(files.end(), tracks.begin(), tracks.end());
    }
  }
  return files;
}

TDroppedFiles SelectDroppedTracks(const std::vector<std::string>& paths) {
  TDroppedFiles dropped;
  std::set<std::string> seen;
  for (const std::string& path : ExpandTrackFolders(paths)) {
    if (!HasTrackExtension(path)) {
      ++dropped.NotTracks;
      continue;
    }
    if (!seen.insert(FileIdentity(path)).second) {
      ++dropped.Repeated;
      continue;
    }
    dropped.Tracks.push_back(path);
  }
  return dropped;
}

std::string DroppedFilesNote(const TDroppedFiles& dropped) {
  const std::size_t left = dropped.NotTracks + dropped.Repeated;
  if (left == 0)
    return {};
  std::string note = std::to_string(left) + (left == 1 ? " file" : " files") + " left out: ";
  if (dropped.NotTracks > 0)
    note += std::to_string(dropped.NotTracks) +
            (dropped.NotTracks == 1 ? " not an audio file" : " not audio files");
  if (dropped.Repeated > 0)
    note += std::string(dropped.NotTracks > 0 ? ", " : "") + std::to_string(dropped.Repeated) +
            " dropped twice";
  return note;
}

std::optional<std::string> TrackFileProblem(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0)
    return errno == ENOENT ? "no such file" : std::strerror(errno);
  if (!S_ISREG(status.st_mode))
    return std::string("not a regular file");
  return std::nullopt;
}

std::optional<std::string> NameInFolderOf(const std::string& documentPath,
                                          const std::string& path) {
  std::error_code error;
  const std::filesystem::path folder =
      std::filesystem::absolute(std::filesystem::path(documentPath), error)
          .lexically_normal()
          .parent_path();
  const std::filesystem::path file =
      std::filesystem::absolute(std::filesystem::path(path), error).lexically_normal();
  if (error)
    return std::nullopt;
  const std::filesystem::path relative = file.lexically_relative(folder);
  const std::string name = relative.generic_string();
  if (relative.empty() || name == "." || name.starts_with("../") || name == "..")
    return std::nullopt;
  return name;
}
