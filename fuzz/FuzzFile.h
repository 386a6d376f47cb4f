// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The fuzzer's bytes as a file the readers can open, without touching the disk.
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

class TFuzzFile {
public:
  TFuzzFile(const std::uint8_t* data, std::size_t size)
      : Descriptor(::memfd_create("tamberlon-fuzz", 0)) {
    std::size_t done = 0;
    while (Descriptor >= 0 && done < size) {
      const ssize_t written = ::write(Descriptor, data + done, size - done);
      if (written <= 0)
        break;
      done += static_cast<std::size_t>(written);
    }
  }
  ~TFuzzFile() {
    if (Descriptor >= 0)
      ::close(Descriptor);
  }
  TFuzzFile(const TFuzzFile&) = delete;
  TFuzzFile& operator=(const TFuzzFile&) = delete;

  std::string Path() const { return "/proc/self/fd/" + std::to_string(Descriptor); }

private:
  int Descriptor;
};
