// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// tamberlon-cli render --template FILE [--album FILE.json] [TRACK.mp3...]: a template
// expanded against an album whose own fields come from JSON.
#include "cli/CliCommand.h"

TCliCommand RenderCommand();
