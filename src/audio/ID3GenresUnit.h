// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The standard ID3v1 genre names, numbers 0 to 147.
#include <string>

// The name of a genre number; "" for a number the table does not hold.
std::string ID3GenreName(int number);
