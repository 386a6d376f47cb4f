// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <span>
#include <string>

// tamberlon-cli render --template FILE [--album FILE.json] [TRACK.mp3 ...]
int RunRenderCommand(std::span<const std::string> arguments);
