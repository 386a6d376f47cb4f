// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/JsonText.h"

#include "common/TextUnit.h"

#include <cstdio>

std::string JsonText(const nlohmann::json& value, int indent) {
  // Such characters stand only within strings, where \uXXXX is the same character.
  return ReplaceHiddenControls(
      value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace), [](char32_t c) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
        return std::string(escape);
      });
}
