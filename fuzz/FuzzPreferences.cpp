// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzFile.h"
#include "common/PreferencesUnit.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TFuzzFile file(data, size);
  const TPreferences preferences = ReadPreferences(file.Path());
  // What is read must survive being written as comma text and read back.
  const std::vector<std::string> again = SplitCommaText(CommaText(preferences.NGPostedTo));
  if (again != preferences.NGPostedTo &&
      !(preferences.NGPostedTo.size() == 1 && preferences.NGPostedTo.front().empty()))
    __builtin_trap();
  (void)ParsePreferenceInteger(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
