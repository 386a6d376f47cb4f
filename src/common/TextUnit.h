// SPDX-License-Identifier: GPL-3.0-or-later
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

// A text file's bytes as UTF-8: UTF-16 after its byte-order mark, UTF-8 (its mark taken
// away), else Windows-1252, as the Windows programs that write sheets and logs save them.
std::string TextFileToUtf8(std::string_view bytes);

// Valid UTF-8 passes unchanged; every invalid sequence becomes U+FFFD.
std::string SanitizeUtf8(std::string_view bytes);

// The columns a fixed-pitch viewer gives the character that starts at text[at]: 0 for
// combining marks and zero-width format characters, 2 for East Asian wide and fullwidth
// ones, 1 for every other (control characters, and a byte that starts no valid UTF-8
// sequence, included). 0 for a continuation byte, which starts no character.
std::size_t CharacterWidthAt(std::string_view text, std::size_t at);
// The columns of UTF-8 text, as a fixed-pitch viewer shows it.
std::size_t DisplayWidth(std::string_view text);
// One column for the byte that starts a character, 0 for a continuation byte: how a
// document in an 8-bit code page counts, where every character is one byte and one column.
std::size_t OneColumnAt(std::string_view text, std::size_t at);

// Unicode's composed form (NFC): "e" and a combining acute accent become "é", as the
// 8-bit code pages hold it. Invalid UTF-8 is made valid first.
std::string ComposedForm(std::string_view text);

// A C0 control character or DEL: what no name in a list or on a line may hold.
constexpr bool IsControlCharacter(char c) {
  return static_cast<unsigned char>(c) < 32 || c == '\x7F';
}

// A C1 control (U+0080 to U+009F) or a mark that turns the direction of text (U+200E,
// U+200F, U+202A to U+202E, U+2066 to U+2069): characters a terminal acts on, or that make
// one text read as another, with no glyph of their own.
constexpr bool IsHiddenControl(char32_t c) {
  return (c >= 0x80 && c <= 0x9F) || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069);
}

// "1 article", "2 articles": a count with its noun, the plural made with an "s".
std::string CountOf(std::size_t count, std::string_view noun);

// Removes leading and/or trailing characters of code 32 or less.
std::string_view TrimControl(std::string_view text);
std::string_view TrimControlRight(std::string_view text);

// Simple case mappings (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic), for hosts
// without a locale library; other characters and invalid bytes stay as they are.
std::string FoldCase(std::string_view text);
std::string ToUpperCase(std::string_view text);

// "3 OK, 1 bad": how every check's totals begin.
std::string CheckTotalsText(std::size_t ok, std::size_t bad);

// A name from a file or a folder as it may be shown on a terminal or in a list: control
// characters (C0, DEL, C1) and bytes that start no valid UTF-8 sequence as "\xHH", and the
// backslash as "\\", so that no name can break a line, move the cursor or pass for another.
std::string PrintableName(std::string_view name);
// A text from outside (a server's reply, a tag, a log's field, a message that quotes them)
// as it may be shown on a terminal: escaped as a name is, but with its backslashes as they
// are, so that the names it quotes, made printable already, read as they did.
std::string PrintableText(std::string_view text);
// A document's bytes as a terminal may show them: the C0 controls but tab and line breaks
// (a carriage return only before a line feed), DEL, and UTF-8's C1 controls and direction
// marks as "\xHH"; every other byte as it is, a code page's included.
std::string PrintableDocument(std::string_view bytes);
// The text without its hidden controls (IsHiddenControl), as a file name made from tags
// must be: a direction mark makes "a\u202Egpj.exe" read as "aexe.jpg".
std::string WithoutHiddenControls(std::string_view text);
// The text with each line break and NUL as a space: a value that goes into one line of a
// protocol (an article's header, a command) cannot start another.
std::string OnOneLine(std::string text);
// The text with each hidden control replaced by what with makes of it; every other byte,
// invalid UTF-8 included, as it is.
std::string ReplaceHiddenControls(std::string_view text, std::string (*with)(char32_t c));
// Each line of a text made printable, the line breaks kept.
std::string PrintableTextLines(std::string_view lines);
// Several names, one a line (as a message's path below its text holds them), each made
// printable.
std::string PrintableNames(std::string_view lines);
