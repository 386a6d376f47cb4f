// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The order file managers show names in: runs of digits compare as numbers ("2" before
// "10"), the rest as the host's case-free order.
#include <string>
#include <string_view>
#include <vector>

bool NaturalLess(std::string_view a, std::string_view b);
void SortNaturally(std::vector<std::string>& names);
