// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzFile.h"
#include "audio/ID3v2.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TFuzzFile file(data, size);
  TID3v2 reader;
  reader.Load(file.Path());
  return 0;
}
