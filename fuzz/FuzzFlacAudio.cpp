// SPDX-License-Identifier: GPL-3.0-or-later
// The FLAC audio check as `check --audio` runs it: the file decoded, its MD5 compared.
#include "FuzzFile.h"
#include "audio/FlacCheckUnit.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TFuzzFile file(data, size);
  (void)CheckFlacAudio(file.Path());
  return 0;
}
