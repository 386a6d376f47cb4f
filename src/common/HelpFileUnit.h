// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The help file: UTF-8 HTML beside the program with one section per help topic, each
// marked by an anchor named after the topic's number.
#include <string_view>

inline constexpr const char* HelpFileName = "ZERUvez.hlp";

bool HelpTopicExists(std::string_view help, int topic);
