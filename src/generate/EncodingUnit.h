// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The encodings an ".nfo" can be written in: UTF-8, the DOS code page 437 that classic
// NFO viewers read (with its box-drawing characters), and Windows-1252.
#include <optional>
#include <string>
#include <string_view>

enum class TNfoEncoding { Utf8, Cp437, Windows1252 };

// The name the preferences and the command line use ("utf-8", "cp437", "windows-1252")
// and the one the menu shows.
std::string_view EncodingName(TNfoEncoding encoding);
std::string_view EncodingCaption(TNfoEncoding encoding);
std::optional<TNfoEncoding> EncodingNamed(std::string_view name);

struct TEncodedText {
  std::string Bytes;      // a character the encoding lacks stands as "?"
  std::string Unmappable; // those characters, each once, in UTF-8
};

// UTF-8 text in the encoding, through the C library's iconv.
TEncodedText EncodeText(std::string_view utf8, TNfoEncoding encoding);
// The encoded text read back as UTF-8: what a viewer of that encoding shows.
std::string AsItWillRead(std::string_view utf8, TNfoEncoding encoding);
