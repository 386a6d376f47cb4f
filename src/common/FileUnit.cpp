#include "common/FileUnit.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

std::optional<TReadOnlyFile> TReadOnlyFile::Open(const std::string& path) {
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0)
    return std::nullopt;
  struct stat status {};
  if (::fstat(descriptor, &status) != 0) {
    ::close(descriptor);
    return std::nullopt;
  }
  return TReadOnlyFile(descriptor, S_ISREG(status.st_mode) ? status.st_size : 0);
}

TReadOnlyFile::TReadOnlyFile(int descriptor, std::int64_t length)
    : Descriptor(descriptor), Length(length) {}

TReadOnlyFile::TReadOnlyFile(TReadOnlyFile&& other) noexcept
    : Descriptor(std::exchange(other.Descriptor, -1)), Length(other.Length),
      CacheOffset(other.CacheOffset), CacheFilled(other.CacheFilled), CacheValid(other.CacheValid),
      Cache(other.Cache) {}

TReadOnlyFile& TReadOnlyFile::operator=(TReadOnlyFile&& other) noexcept {
  if (this != &other) {
    if (Descriptor >= 0)
      ::close(Descriptor);
    Descriptor = std::exchange(other.Descriptor, -1);
    Length = other.Length;
    CacheOffset = other.CacheOffset;
    CacheFilled = other.CacheFilled;
    CacheValid = other.CacheValid;
    Cache = other.Cache;
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

std::optional<std::size_t> TReadOnlyFile::ReadAt(std::int64_t offset,
                                                 std::span<std::uint8_t> destination) {
  if (offset < 0)
    return std::nullopt;
  if (destination.size() > CacheSize)
    return ReadFully(Descriptor, offset, destination);
  const bool cached = CacheValid && offset >= CacheOffset &&
                      offset + static_cast<std::int64_t>(destination.size()) <=
                          CacheOffset + static_cast<std::int64_t>(CacheSize);
  if (!cached) {
    // Aligned windows keep neighbouring reads (a tag's frames) in one system call.
    const std::int64_t start = offset - offset % 4096;
    const auto filled = ReadFully(Descriptor, start, Cache);
    if (!filled) {
      CacheValid = false;
      return std::nullopt;
    }
    CacheOffset = start;
    CacheFilled = *filled;
    CacheValid = true;
    if (offset + static_cast<std::int64_t>(destination.size()) > start + std::int64_t{CacheSize})
      return ReadFully(Descriptor, offset, destination);
  }
  const auto skip = static_cast<std::size_t>(offset - CacheOffset);
  const std::size_t available = CacheFilled > skip ? CacheFilled - skip : 0;
  const std::size_t count = std::min(available, destination.size());
  std::memcpy(destination.data(), Cache.data() + skip, count);
  return count;
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
