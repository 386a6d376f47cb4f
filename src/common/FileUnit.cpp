#include "common/FileUnit.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

std::optional<TReadOnlyFile> TReadOnlyFile::Open(const std::string& path) {
  // Without O_NONBLOCK the open of a FIFO waits for a writer that may never come; a
  // regular file ignores the flag.
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
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
      Cache(std::move(other.Cache)) {}

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
  if (destination.size() > WindowSize)
    return ReadFully(Descriptor, offset, destination);
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
    return ReadFully(Descriptor, offset, destination);
  if (!Cache)
    Cache = std::make_unique_for_overwrite<std::uint8_t[]>(WindowSize * Windows.size());
  const std::size_t index = (LastUsed + 1) % Windows.size();
  TWindow& window = Windows[index];
  const auto wanted = static_cast<std::size_t>(std::clamp<std::int64_t>(Length - start, 1, Span));
  const auto filled =
      ReadFully(Descriptor, start, std::span(Cache.get() + index * WindowSize, wanted));
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

bool FileExists(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
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

std::vector<std::string> ExpandTrackFolders(const std::vector<std::string>& paths) {
  std::vector<std::string> files;
  for (const std::string& path : paths) {
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) {
      files.push_back(path);
      continue;
    }
    std::vector<std::string> inFolder;
    for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
      std::string extension = entry.path().extension().string();
      for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (extension == ".mp3" && !entry.is_directory(error))
        inFolder.push_back(entry.path().string());
    }
    std::sort(inFolder.begin(), inFolder.end());
    files.insert(files.end(), inFolder.begin(), inFolder.end());
  }
  return files;
}
