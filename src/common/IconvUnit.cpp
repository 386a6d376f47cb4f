// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/IconvUnit.h"

#include <array>
#include <cerrno>
#include <iconv.h>
#include <memory>

std::optional<std::string> ConvertWithIconv(std::string_view text, const char* from, const char* to,
                                            const TIconvStuck& stuck) {
  const iconv_t handle = ::iconv_open(to, from);
  if (handle == reinterpret_cast<iconv_t>(-1))
    return std::nullopt;
  const std::unique_ptr<void, int (*)(iconv_t)> closer(handle, &::iconv_close);
  std::string input(text), output;
  char* in = input.data();
  std::size_t inLeft = input.size();
  std::array<char, 4096> buffer{};
  while (inLeft > 0) {
    char* out = buffer.data();
    std::size_t outLeft = buffer.size();
    const std::size_t done = ::iconv(handle, &in, &inLeft, &out, &outLeft);
    output.append(buffer.data(), buffer.size() - outLeft);
    if (done != static_cast<std::size_t>(-1) || errno == E2BIG)
      continue;
    // EILSEQ or EINVAL: the sequence at `in` has no place in the target
    const auto passed = stuck ? stuck(std::string_view(in, inLeft)) : std::nullopt;
    if (!passed || passed->first == 0 || passed->first > inLeft)
      return std::nullopt;
    output += passed->second;
    in += passed->first;
    inLeft -= passed->first;
  }
  return output;
}
