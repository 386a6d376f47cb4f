// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// gzip streams (RFC 1952) through zlib: a document written compressed on request, and
// read back whether or not it is.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The bytes as one gzip member, with no name and no time in its header, so the same bytes
// always give the same file; nothing when zlib fails.
std::optional<std::string> GzipBytes(std::string_view bytes);

// Whether the bytes start as a gzip stream does.
bool IsGzip(std::string_view bytes);

// A gzip stream's content, at most limit bytes of it (a small file that unpacks to
// gigabytes is refused, not followed); nothing when the stream is damaged, cut short or
// larger than the limit.
std::optional<std::string> GunzipBytes(std::string_view bytes, std::size_t limit);
