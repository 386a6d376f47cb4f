// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The checksums EAC and XLD sign their logs with, from the algorithms their independent
// re-implementations published, so that a checker can tell a log changed after the rip.
#include "analysis/RipLog.h"

#include <string>
#include <string_view>

// One EAC rip's text (UTF-8, from its first line), its "==== ... <hex> ====" line
// included: whether the hex is the text's checksum; Absent without the line.
ELogChecksum EacChecksum(std::string_view rip);
// EAC's checksum of the text before its checksum line, 64 hex digits.
std::string EacChecksumOf(std::string_view unsigned_text);

// An XLD log's text: whether its "-----BEGIN XLD SIGNATURE-----" block holds the
// signature of the text before it; Absent without the block.
ELogChecksum XldChecksum(std::string_view text);
std::string XldSignatureOf(std::string_view unsigned_text);
