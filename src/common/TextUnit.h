#pragma once
// Conversions into UTF-8, the program's text form, and character-aware helpers.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

void AppendUtf8(std::string& out, char32_t codePoint);

// Legacy 8-bit tag text (Windows-1252) to UTF-8; zero bytes stay.
std::string Cp1252ToUtf8(std::string_view bytes);

// UTF-16 code units to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::span<const char16_t> units);

// Valid UTF-8 passes unchanged; every invalid sequence becomes U+FFFD.
std::string SanitizeUtf8(std::string_view bytes);

// The number of characters (code points) of UTF-8 text, as columns are counted.
std::size_t Utf8Length(std::string_view text);

// Removes leading and/or trailing characters of code 32 or less.
std::string_view TrimControl(std::string_view text);
std::string_view TrimControlRight(std::string_view text);

// Simple case mappings (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic), for hosts
// without a locale library; other characters and invalid bytes stay as they are.
std::string FoldCase(std::string_view text);
std::string ToUpperCase(std::string_view text);
