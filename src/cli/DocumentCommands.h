// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// tamberlon-cli nfo, sfv and check: the headless twins of Choose Tracks and Save, and the
// .sfv's verification.
#include "audio/TrackReaderUnit.h"
#include "cli/CommandLine.h"

#include <functional>
#include <string>

TCliCommand NfoCommand();
TCliCommand SfvCommand();
TCliCommand Par2Command();
TCliCommand CheckCommand();

// The reader's idle moments as a progress line on stderr, when a terminal shows it.
std::function<bool(const TReadProgress&)> ReadingProgress(TCliContext& context);
// "\r<label> n/m" on stderr while long checksums run, when a terminal shows it.
std::function<void(std::size_t, std::size_t)> ProgressLine(TCliContext& context,
                                                           const std::string& label);
