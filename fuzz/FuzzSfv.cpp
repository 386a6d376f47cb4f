// SPDX-License-Identifier: GPL-3.0-or-later
// The .sfv reader as `check` runs it: the file read line by line and each line parsed.
#include "FuzzFile.h"
#include "common/FileUnit.h"
#include "generate/SfvCheckUnit.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TFuzzFile file(data, size);
  (void)ForEachSfvLine(file.Path(), [](std::size_t, const TSfvLine& line) {
    (void)IsNameInsideFolder(line.Entry.Name);
  });
  return 0;
}
