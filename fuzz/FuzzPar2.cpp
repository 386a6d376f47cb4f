// SPDX-License-Identifier: GPL-3.0-or-later
// The .par2 reader as `check` runs it: packets found and hashed, the set's description
// taken from them, and the files it names checked in a folder of its own (one file there,
// "a.bin", of 1,000 bytes), so that counts, slice sizes and names from the input reach
// every path that reads a file.
#include "par2/RecoveryCheckUnit.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {
// The folder, made once for the run: the file the seeds' sets describe, and the .par2.
// Kept for the whole run (never destroyed), so that the clean-up at exit can name it.
const std::string& Folder() {
  static const std::string* const folder = new std::string([] {
    char name[] = "/tmp/tamberlon-fuzz-par2-XXXXXX";
    std::string made = ::mkdtemp(name) ? std::string(name) + "/" : std::string("/tmp/");
    if (FILE* file = std::fopen((made + "a.bin").c_str(), "wb")) {
      const std::string bytes(1000, 'a');
      std::fwrite(bytes.data(), 1, bytes.size(), file);
      std::fclose(file);
    }
    std::atexit([] { // the run leaves nothing in /tmp
      for (const char* name : {"a.bin", "set.par2", ""})
        ::remove((Folder() + name).c_str());
    });
    return made;
  }());
  return *folder;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = Folder() + "set.par2";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file)
    return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  if (const auto check = CheckRecoverySet(path)) {
    for (const TRecoveryFileCheck& checked : check->Files)
      (void)RecoveryFileLine(checked);
    (void)RecoveryCheckSummary(*check);
  }
  return 0;
}
