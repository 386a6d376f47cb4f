// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliCommand.h"

#include <algorithm>

bool TCliArguments::Has(std::string_view flag) const {
  return std::find(Flags.begin(), Flags.end(), flag) != Flags.end();
}

const std::string* TCliArguments::Value(std::string_view option) const {
  const auto at = Values.find(option);
  return at == Values.end() || at->second.empty() ? nullptr : &at->second.back();
}

std::vector<std::string> TCliArguments::All(std::string_view option) const {
  const auto at = Values.find(option);
  return at == Values.end() ? std::vector<std::string>() : at->second;
}
