// SPDX-License-Identifier: GPL-3.0-or-later
// A post's journal as the resumed post reads it: a valid header for the plan, then the
// fuzzer's bytes as the lines that record articles sent and accepted.
#include "FuzzFile.h"
#include "audio/CRC32Unit.h"
#include "posting/PostJournal.h"

#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string header = "tamberlon-post-journal 1 key seed";
  std::string text =
      header + " " +
      CRC32Text(UpdateCRC32(
          0, std::span(reinterpret_cast<const std::uint8_t*>(header.data()), header.size()))) +
      "\n";
  text.append(reinterpret_cast<const char*>(data), size);
  const TFuzzFile file(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  TPostJournal journal;
  (void)journal.Open(file.Path(), "key", 1000); // the file is the fuzzer's: it is never written
  return 0;
}
