#include "generate/SfvCheckUnit.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  (void)ParseSfv(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
