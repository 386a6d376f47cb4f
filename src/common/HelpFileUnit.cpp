// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/HelpFileUnit.h"

#include <string>

bool HelpTopicExists(std::string_view help, int topic) {
  return help.find("<a name=\"" + std::to_string(topic) + "\">") != std::string_view::npos;
}
