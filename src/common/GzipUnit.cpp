// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/GzipUnit.h"

#include <algorithm>
#include <climits>
#include <zlib.h>

namespace {
// windowBits 15 plus 16: zlib writes and reads the gzip wrapper instead of its own.
constexpr int GzipWindow = 15 + 16;
} // namespace

std::optional<std::string> GzipBytes(std::string_view bytes) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, GzipWindow, 8, Z_DEFAULT_STRATEGY) !=
      Z_OK)
    return std::nullopt;
  std::string out(deflateBound(&stream, static_cast<uLong>(bytes.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const bool whole = bytes.size() <= UINT_MAX && deflate(&stream, Z_FINISH) == Z_STREAM_END;
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (!whole)
    return std::nullopt;
  return out;
}

bool IsGzip(std::string_view bytes) {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1F &&
         static_cast<unsigned char>(bytes[1]) == 0x8B;
}

std::optional<std::string> GunzipBytes(std::string_view bytes, std::size_t limit) {
  if (!IsGzip(bytes) || bytes.size() > UINT_MAX)
    return std::nullopt;
  z_stream stream{};
  if (inflateInit2(&stream, GzipWindow) != Z_OK)
    return std::nullopt;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  std::string out;
  char chunk[65536];
  int status = Z_OK;
  while (status == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(chunk);
    stream.avail_out = sizeof chunk;
    status = inflate(&stream, Z_NO_FLUSH);
    const std::size_t got = sizeof chunk - stream.avail_out;
    if (out.size() + got > limit) {
      status = Z_MEM_ERROR;
      break;
    }
    out.append(chunk, got);
    if (status == Z_OK && got == 0 && stream.avail_in == 0)
      status = Z_DATA_ERROR; // cut short: no more input, and no end
  }
  inflateEnd(&stream);
  if (status != Z_STREAM_END)
    return std::nullopt;
  return out;
}
