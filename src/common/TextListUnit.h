// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Text list files (remembered lists, newsgroup lists, the posting policy): read whole,
// a line ends at CR LF, CR or LF, the first NUL byte ends the text; written with CR LF
// after every line, the last included.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The lines of a text; a final line break adds no empty line.
std::vector<std::string> SplitTextLines(std::string_view text);
// Every line followed by CR LF.
std::string JoinTextLines(const std::vector<std::string>& lines);

// Nothing when the file cannot be opened or read.
std::optional<std::vector<std::string>> ReadTextList(const std::string& path);

// Reads a text file line by line, holding one line at a time: visit(line, whole) for
// each, where whole is false for a line longer than maxLine, given cut to that length. A
// NUL byte is part of its line here, for the caller to judge. False when the file cannot
// be opened or read.
bool ForEachTextLine(const std::string& path, std::size_t maxLine,
                     const std::function<void(std::string_view line, bool whole)>& visit);
// Written whole or not at all.
bool WriteTextList(const std::string& path, const std::vector<std::string>& lines);
