// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// tamberlon-cli nfo, sfv, par2 and check: the headless twins of Choose Tracks and Save,
// and the verification of what they wrote.
#include "cli/CliCommand.h"

TCliCommand NfoCommand();
TCliCommand SfvCommand();
TCliCommand Par2Command();
TCliCommand CheckCommand();
TCliCommand RepairCommand();
