// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// tamberlon-cli analyze [--json] FILE...|FOLDER: each track's dynamic range, peak, RMS and
// loudness, then the album's.
#include "cli/CliCommand.h"

TCliCommand AnalyzeCommand();
// tamberlon-cli sonogram FILE...|FOLDER -o FOLDER: a picture of each track's frequency levels
// through time, and one of the album's.
TCliCommand SonogramCommand();
