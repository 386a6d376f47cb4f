// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// tamberlon-cli analyze [--json] FILE...|FOLDER: each track's dynamic range, peak, RMS and
// loudness, then the album's.
#include "cli/CommandLine.h"

TCliCommand AnalyzeCommand();
