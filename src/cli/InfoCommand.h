// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// tamberlon-cli info [--checksum] [--json] FILE...: each file's track record.
#include "cli/CliCommand.h"

TCliCommand InfoCommand();
