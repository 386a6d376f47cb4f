// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <span>
#include <string>

// tamberlon-cli info [--checksum] [--json] FILE...
int RunInfoCommand(std::span<const std::string> arguments);
