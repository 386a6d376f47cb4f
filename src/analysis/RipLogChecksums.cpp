// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/RipLogChecksums.h"

#include "analysis/Rijndael256.h"
#include "common/TextUnit.h"

#include <array>
#include <vector>

// The SHA-256 compression of the crypto library, started from XLD's own initial values.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

namespace {
// The key EAC encrypts with, as its re-implementations found it.
constexpr TRijndaelBlock EacKey = {0x93, 0x78, 0x71, 0x6c, 0xf1, 0x3e, 0x42, 0x65, 0xae, 0x55, 0x33,
                                   0x8e, 0x94, 0x0b, 0x37, 0x61, 0x84, 0xda, 0x38, 0x9e, 0x50, 0x64,
                                   0x77, 0x26, 0xb3, 0x5f, 0x6f, 0x34, 0x1e, 0xe3, 0xef, 0xd9};

std::string Hex(std::span<const std::uint8_t> bytes, bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string hex;
  for (const std::uint8_t byte : bytes)
    hex += {digits[byte >> 4], digits[byte & 15]};
  return hex;
}

// The code points of valid UTF-8 as UTF-16LE bytes.
std::vector<std::uint8_t> Utf16Le(std::string_view utf8) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(utf8.size() * 2);
  const auto unit = [&bytes](std::uint32_t u) {
    bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(u >> 8));
  };
  for (std::size_t at = 0; at < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length && at + i < utf8.size(); ++i)
      code = code << 6 | (static_cast<unsigned char>(utf8[at + i]) & 0x3F);
    at += length;
    if (code == 0xFEFF || code == 0xFFFE || code == '\r' || code == '\n')
      continue; // EAC leaves line breaks and byte-order marks out
    if (code >= 0x10000) {
      unit(0xD800 + ((code - 0x10000) >> 10));
      unit(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      unit(code);
    }
  }
  return bytes;
}

bool SameHex(std::string_view a, std::string_view b) {
  return FoldCase(a) == FoldCase(b);
}

// XLD's step after the hash: pairs of 32-bit words chained through a fixed mixing, the last
// partial pair only masked by the chain's next output.
std::vector<std::uint8_t> XldScramble(std::string_view data) {
  constexpr std::array<std::uint32_t, 8> Magic = {0x99036946, 0xE99DB8E7, 0xE3AE2FA7, 0x0A339740,
                                                  0xF06EB6A9, 0x92FF9B65, 0x028F7873, 0x9070E316};
  const auto rotl = [](std::uint32_t n, int k) {
    return n << k | n >> (32 - k);
  };
  const auto word = [&data](std::size_t at) {
    std::uint32_t w = 0;
    for (std::size_t i = 0; i < 4; ++i)
      w = w << 8 | (at + i < data.size() ? static_cast<unsigned char>(data[at + i]) : 0);
    return w;
  };
  std::uint32_t x = 0x6479B873, y = 0x48853AFC;
  std::vector<std::uint8_t> out;
  for (std::size_t at = 0; at < data.size(); at += 8) {
    const bool whole = at + 8 <= data.size();
    x ^= whole ? word(at) : 0;
    y ^= whole ? word(at + 4) : 0;
    for (int pass = 0; pass < 4; ++pass)
      for (int half = 0; half < 2; ++half) {
        y ^= x;
        const std::uint32_t a = Magic[4 * half] + y, b = a - 1 + rotl(a, 1);
        x ^= b ^ rotl(b, 4);
        const std::uint32_t c = Magic[4 * half + 1] + x, d = c + 1 + rotl(c, 2);
        const std::uint32_t e = Magic[4 * half + 2] + (d ^ rotl(d, 8)), f = rotl(e, 1) - e;
        y ^= (x | f) ^ rotl(f, 16);
        const std::uint32_t g = Magic[4 * half + 3] + y;
        x ^= g + 1 + rotl(g, 2);
      }
    for (std::size_t i = 0; i < 8 && at + i < data.size(); ++i) {
      const std::uint32_t from = i < 4 ? x : y;
      const auto byte = static_cast<std::uint8_t>(from >> (24 - 8 * (i % 4)));
      out.push_back(whole ? byte : byte ^ static_cast<std::uint8_t>(data[at + i]));
    }
  }
  return out;
}

// Base 64 in XLD's alphabet, unpadded.
std::string XldBase64(std::span<const std::uint8_t> bytes) {
  constexpr std::string_view Alphabet =
      "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz._";
  std::string text;
  for (std::size_t at = 0; at < bytes.size(); at += 3) {
    const std::size_t count = std::min<std::size_t>(3, bytes.size() - at);
    std::uint32_t group = 0;
    for (std::size_t i = 0; i < 3; ++i)
      group = group << 8 | (i < count ? bytes[at + i] : 0);
    for (std::size_t i = 0; i <= count; ++i)
      text += Alphabet[group >> (18 - 6 * i) & 63];
  }
  return text;
}
} // namespace

std::string EacChecksumOf(std::string_view unsigned_text) {
  const std::vector<std::uint8_t> plain = Utf16Le(unsigned_text);
  const TRijndael256 cipher(EacKey);
  TRijndaelBlock chain{};
  for (std::size_t at = 0; at < plain.size(); at += chain.size()) {
    for (std::size_t i = 0; i < chain.size() && at + i < plain.size(); ++i)
      chain[i] ^= plain[at + i];
    chain = cipher.Encrypt(chain);
  }
  return Hex(chain, true);
}

ELogChecksum EacChecksum(std::string_view rip) {
  for (std::size_t at = rip.rfind("==== "); at != std::string_view::npos;
       at = at ? rip.rfind("==== ", at - 1) : std::string_view::npos) {
    if (at != 0 && rip[at - 1] != '\n')
      continue;
    const std::string_view line = TrimControl(rip.substr(at, rip.find('\n', at) - at));
    if (!line.ends_with(" ===="))
      continue;
    const std::string_view words = TrimControl(line.substr(0, line.size() - 5));
    const std::string_view hex = words.substr(words.rfind(' ') + 1);
    if (hex.size() != 64 || hex.find_first_not_of("0123456789ABCDEFabcdef") != hex.npos)
      continue;
    return SameHex(hex, EacChecksumOf(rip.substr(0, at))) ? ELogChecksum::Verified
                                                          : ELogChecksum::Mismatch;
  }
  return ELogChecksum::Absent;
}

std::string XldSignatureOf(std::string_view unsigned_text) {
  // SHA-256's rounds from XLD's initial values instead of the standard's.
  constexpr std::array<unsigned int, 8> Initial = {0x1D95E3A4, 0x06520EF5, 0x3A9CFB75, 0x6104BCAE,
                                                   0x09CEDA82, 0xBA55E60B, 0xEAEC16C6, 0xEB19AF15};
  SHA256_CTX context;
  SHA256_Init(&context);
  std::copy(Initial.begin(), Initial.end(), context.h);
  SHA256_Update(&context, unsigned_text.data(), unsigned_text.size());
  std::array<std::uint8_t, SHA256_DIGEST_LENGTH> digest{};
  SHA256_Final(digest.data(), &context);
  return XldBase64(XldScramble(Hex(digest, false) + "\nVersion=0001"));
}

ELogChecksum XldChecksum(std::string_view text) {
  constexpr std::string_view Begin = "\n-----BEGIN XLD SIGNATURE-----\n";
  const std::size_t at = text.find(Begin);
  if (at == std::string_view::npos)
    return ELogChecksum::Absent;
  std::string_view said = text.substr(at + Begin.size());
  said = TrimControl(said.substr(0, said.find("\n-----END XLD SIGNATURE-----")));
  return said == XldSignatureOf(text.substr(0, at)) ? ELogChecksum::Verified
                                                    : ELogChecksum::Mismatch;
}
