// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/JsonText.h"

#include "common/TextUnit.h"

#include <cstdio>

std::string JsonText(const nlohmann::json& value, int indent) {
  const std::string dumped =
      value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
  std::string text;
  text.reserve(dumped.size());
  // Such characters stand only within strings, where \uXXXX is the same character.
  for (std::size_t at = 0; at < dumped.size();) {
    const auto lead = static_cast<unsigned char>(dumped[at]);
    const std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t c = lead < 0x80 ? lead : lead & (0x3F >> (length - 1));
    for (std::size_t i = 1; i < length && at + i < dumped.size(); ++i)
      c = (c << 6) | (static_cast<unsigned char>(dumped[at + i]) & 0x3F);
    if (length > 1 && IsHiddenControl(c)) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      text += escape;
    } else {
      text.append(dumped, at, length);
    }
    at += length;
  }
  return text;
}
