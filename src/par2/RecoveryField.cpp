// SPDX-License-Identifier: GPL-3.0-or-later
#include "par2/RecoveryField.h"

#include <array>
#include <cstring>
#include <immintrin.h>

namespace {
constexpr std::uint32_t Generator = 0x1100B;
constexpr std::uint32_t Order = 65535; // the multiplicative group's

struct TLogTables {
  std::array<std::uint16_t, 65536> Log{};
  std::array<std::uint16_t, 2 * 65536> Exp{}; // twice over: a sum of two logs needs no modulo
};

const TLogTables& Tables() {
  static const TLogTables tables = [] {
    TLogTables t;
    std::uint32_t x = 1;
    for (std::uint32_t i = 0; i < Order; ++i) {
      t.Exp[i] = static_cast<std::uint16_t>(x);
      t.Log[x] = static_cast<std::uint16_t>(i);
      x <<= 1;
      if (x & 0x10000)
        x ^= Generator;
    }
    for (std::uint32_t i = Order; i < t.Exp.size(); ++i)
      t.Exp[i] = t.Exp[i - Order];
    return t;
  }();
  return tables;
}

void ScalarMultiplyAccumulate(std::span<std::uint8_t> destination,
                              std::span<const std::uint8_t* const> sources,
                              std::span<const TGfFactor> factors) {
  // A product is the sum of its low byte's and its high byte's: two small tables a factor.
  std::array<std::uint16_t, 256> low{}, high{};
  for (std::size_t s = 0; s < sources.size(); ++s) {
    if (factors[s].Value == 0)
      continue;
    for (std::uint32_t b = 0; b < 256; ++b) {
      low[b] = GfMultiply(factors[s].Value, static_cast<std::uint16_t>(b));
      high[b] = GfMultiply(factors[s].Value, static_cast<std::uint16_t>(b << 8));
    }
    const std::uint8_t* source = sources[s];
    for (std::size_t group = 0; group + GfGroupBytes <= destination.size(); group += GfGroupBytes)
      for (std::size_t i = 0; i < 64; ++i) {
        const std::uint16_t product = low[source[group + i]] ^ high[source[group + 64 + i]];
        destination[group + i] ^= static_cast<std::uint8_t>(product);
        destination[group + 64 + i] ^= static_cast<std::uint8_t>(product >> 8);
      }
  }
}

// Up to this many sources at once: the sums stay in registers across them.
constexpr std::size_t SourcesPerRound = 16;

__attribute__((target("avx2"))) void
ShuffleAvx2MultiplyAccumulate(std::span<std::uint8_t> destination,
                              std::span<const std::uint8_t* const> sources,
                              std::span<const TGfFactor> factors) {
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  for (std::size_t first = 0; first < sources.size(); first += SourcesPerRound) {
    const std::size_t count = std::min(SourcesPerRound, sources.size() - first);
    for (std::size_t at = 0; at + 32 <= destination.size();
         at += at % GfGroupBytes == 0 ? 32 : 96) {
      auto* low = reinterpret_cast<__m256i*>(destination.data() + at);
      auto* high = reinterpret_cast<__m256i*>(destination.data() + at + 64);
      __m256i sumLow = _mm256_loadu_si256(low);
      __m256i sumHigh = _mm256_loadu_si256(high);
      for (std::size_t s = 0; s < count; ++s) {
        const auto& t = factors[first + s].Nibbles;
        const std::uint8_t* source = sources[first + s] + at;
        const __m256i l = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source));
        const __m256i h = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 64));
        const __m256i parts[4] = {
            _mm256_and_si256(l, nibble), _mm256_and_si256(_mm256_srli_epi16(l, 4), nibble),
            _mm256_and_si256(h, nibble), _mm256_and_si256(_mm256_srli_epi16(h, 4), nibble)};
        for (int p = 0; p < 4; ++p) {
          const __m256i lowTable = _mm256_broadcastsi128_si256(
              _mm_loadu_si128(reinterpret_cast<const __m128i*>(t[p].data())));
          const __m256i highTable = _mm256_broadcastsi128_si256(
              _mm_loadu_si128(reinterpret_cast<const __m128i*>(t[4 + p].data())));
          sumLow = _mm256_xor_si256(sumLow, _mm256_shuffle_epi8(lowTable, parts[p]));
          sumHigh = _mm256_xor_si256(sumHigh, _mm256_shuffle_epi8(highTable, parts[p]));
        }
      }
      _mm256_storeu_si256(low, sumLow);
      _mm256_storeu_si256(high, sumHigh);
    }
  }
}

__attribute__((target("avx2,gfni"))) void
GfniAvx2MultiplyAccumulate(std::span<std::uint8_t> destination,
                           std::span<const std::uint8_t* const> sources,
                           std::span<const TGfFactor> factors) {
  for (std::size_t first = 0; first < sources.size(); first += SourcesPerRound) {
    const std::size_t count = std::min(SourcesPerRound, sources.size() - first);
    // Each group as two halves of 32 words: low bytes at +0 and +32, high at +64 and +96.
    for (std::size_t at = 0; at + 32 <= destination.size();
         at += at % GfGroupBytes == 0 ? 32 : 96) {
      auto* low = reinterpret_cast<__m256i*>(destination.data() + at);
      auto* high = reinterpret_cast<__m256i*>(destination.data() + at + 64);
      __m256i sumLow = _mm256_loadu_si256(low);
      __m256i sumHigh = _mm256_loadu_si256(high);
      for (std::size_t s = 0; s < count; ++s) {
        const TGfFactor& f = factors[first + s];
        const std::uint8_t* source = sources[first + s] + at;
        const __m256i l = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source));
        const __m256i h = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 64));
        sumLow = _mm256_xor_si256(
            sumLow,
            _mm256_xor_si256(_mm256_gf2p8affine_epi64_epi8(
                                 l, _mm256_set1_epi64x(static_cast<long long>(f.LowFromLow)), 0),
                             _mm256_gf2p8affine_epi64_epi8(
                                 h, _mm256_set1_epi64x(static_cast<long long>(f.LowFromHigh)), 0)));
        sumHigh = _mm256_xor_si256(
            sumHigh, _mm256_xor_si256(
                         _mm256_gf2p8affine_epi64_epi8(
                             l, _mm256_set1_epi64x(static_cast<long long>(f.HighFromLow)), 0),
                         _mm256_gf2p8affine_epi64_epi8(
                             h, _mm256_set1_epi64x(static_cast<long long>(f.HighFromHigh)), 0)));
      }
      _mm256_storeu_si256(low, sumLow);
      _mm256_storeu_si256(high, sumHigh);
    }
  }
}

__attribute__((target("avx512f,avx512bw,gfni"))) void
GfniAvx512MultiplyAccumulate(std::span<std::uint8_t> destination,
                             std::span<const std::uint8_t* const> sources,
                             std::span<const TGfFactor> factors) {
  // A factor's four matrices are loaded once for a number of groups side by side: loading
  // them again for each group costs more than the multiplying.
  constexpr std::size_t Side = 4;
  for (std::size_t first = 0; first < sources.size(); first += SourcesPerRound) {
    const std::size_t count = std::min(SourcesPerRound, sources.size() - first);
    std::size_t at = 0;
    for (; at + Side * GfGroupBytes <= destination.size(); at += Side * GfGroupBytes) {
      std::uint8_t* out = destination.data() + at;
      __m512i sumLow[Side], sumHigh[Side];
      for (std::size_t g = 0; g < Side; ++g) {
        sumLow[g] = _mm512_loadu_si512(out + g * GfGroupBytes);
        sumHigh[g] = _mm512_loadu_si512(out + g * GfGroupBytes + 64);
      }
      for (std::size_t s = 0; s < count; ++s) {
        const TGfFactor& f = factors[first + s];
        const __m512i ll = _mm512_set1_epi64(static_cast<long long>(f.LowFromLow));
        const __m512i lh = _mm512_set1_epi64(static_cast<long long>(f.LowFromHigh));
        const __m512i hl = _mm512_set1_epi64(static_cast<long long>(f.HighFromLow));
        const __m512i hh = _mm512_set1_epi64(static_cast<long long>(f.HighFromHigh));
        const std::uint8_t* source = sources[first + s] + at;
        for (std::size_t g = 0; g < Side; ++g) {
          const __m512i l = _mm512_loadu_si512(source + g * GfGroupBytes);
          const __m512i h = _mm512_loadu_si512(source + g * GfGroupBytes + 64);
          // a ^ b ^ c in one instruction
          sumLow[g] = _mm512_ternarylogic_epi64(sumLow[g], _mm512_gf2p8affine_epi64_epi8(l, ll, 0),
                                                _mm512_gf2p8affine_epi64_epi8(h, lh, 0), 0x96);
          sumHigh[g] =
              _mm512_ternarylogic_epi64(sumHigh[g], _mm512_gf2p8affine_epi64_epi8(l, hl, 0),
                                        _mm512_gf2p8affine_epi64_epi8(h, hh, 0), 0x96);
        }
      }
      for (std::size_t g = 0; g < Side; ++g) {
        _mm512_storeu_si512(out + g * GfGroupBytes, sumLow[g]);
        _mm512_storeu_si512(out + g * GfGroupBytes + 64, sumHigh[g]);
      }
    }
    for (; at + GfGroupBytes <= destination.size(); at += GfGroupBytes) {
      std::uint8_t* out = destination.data() + at;
      __m512i sumLow = _mm512_loadu_si512(out);
      __m512i sumHigh = _mm512_loadu_si512(out + 64);
      for (std::size_t s = 0; s < count; ++s) {
        const TGfFactor& f = factors[first + s];
        const std::uint8_t* source = sources[first + s] + at;
        const __m512i l = _mm512_loadu_si512(source);
        const __m512i h = _mm512_loadu_si512(source + 64);
        sumLow = _mm512_ternarylogic_epi64(
            sumLow,
            _mm512_gf2p8affine_epi64_epi8(
                l, _mm512_set1_epi64(static_cast<long long>(f.LowFromLow)), 0),
            _mm512_gf2p8affine_epi64_epi8(
                h, _mm512_set1_epi64(static_cast<long long>(f.LowFromHigh)), 0),
            0x96);
        sumHigh = _mm512_ternarylogic_epi64(
            sumHigh,
            _mm512_gf2p8affine_epi64_epi8(
                l, _mm512_set1_epi64(static_cast<long long>(f.HighFromLow)), 0),
            _mm512_gf2p8affine_epi64_epi8(
                h, _mm512_set1_epi64(static_cast<long long>(f.HighFromHigh)), 0),
            0x96);
      }
      _mm512_storeu_si512(out, sumLow);
      _mm512_storeu_si512(out + 64, sumHigh);
    }
  }
}
} // namespace

std::uint16_t GfMultiply(std::uint16_t a, std::uint16_t b) {
  if (a == 0 || b == 0)
    return 0;
  const TLogTables& t = Tables();
  return t.Exp[std::uint32_t{t.Log[a]} + t.Log[b]];
}

std::uint16_t GfPower(std::uint16_t a, std::uint32_t n) {
  if (n == 0)
    return 1;
  if (a == 0)
    return 0;
  const TLogTables& t = Tables();
  return t.Exp[static_cast<std::uint32_t>((std::uint64_t{t.Log[a]} * n) % Order)];
}

std::uint16_t InputSliceConstant(std::uint32_t n) {
  // The n-th exponent that no multiple of 3, 5, 17 or 257 is; the tables make a search cheap.
  static const std::array<std::uint16_t, 32768> exponents = [] {
    std::array<std::uint16_t, 32768> e{};
    std::uint32_t candidate = 0;
    for (std::uint16_t& exponent : e) {
      do
        ++candidate;
      while (candidate % 3 == 0 || candidate % 5 == 0 || candidate % 17 == 0 ||
             candidate % 257 == 0);
      exponent = static_cast<std::uint16_t>(candidate);
    }
    return e;
  }();
  return Tables().Exp[exponents[n % exponents.size()]];
}

bool GfMethodRuns(TGfMethod method) {
  switch (method) {
  case TGfMethod::Scalar:
    return true;
  case TGfMethod::ShuffleAvx2:
    return __builtin_cpu_supports("avx2");
  case TGfMethod::GfniAvx2:
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("gfni");
  case TGfMethod::GfniAvx512:
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("gfni");
  }
  return false;
}

TGfMethod FastestGfMethod() {
  static const TGfMethod fastest = GfMethodRuns(TGfMethod::GfniAvx512)    ? TGfMethod::GfniAvx512
                                   : GfMethodRuns(TGfMethod::GfniAvx2)    ? TGfMethod::GfniAvx2
                                   : GfMethodRuns(TGfMethod::ShuffleAvx2) ? TGfMethod::ShuffleAvx2
                                                                          : TGfMethod::Scalar;
  return fastest;
}

std::string_view GfMethodName(TGfMethod method) {
  switch (method) {
  case TGfMethod::Scalar:
    return "tables";
  case TGfMethod::ShuffleAvx2:
    return "nibble tables (AVX2)";
  case TGfMethod::GfniAvx2:
    return "GFNI (AVX2)";
  case TGfMethod::GfniAvx512:
    return "GFNI (AVX-512)";
  }
  return "";
}

namespace {
__attribute__((target("avx2"))) void ToGfLayoutAvx2(std::span<std::uint8_t> region) {
  // Within each 16 words: low bytes to the front of each half, then the halves paired.
  const __m256i evensFirst = _mm256_setr_epi8(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15,
                                              0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15);
  for (std::size_t at = 0; at + GfGroupBytes <= region.size(); at += GfGroupBytes) {
    auto* p = reinterpret_cast<__m256i*>(region.data() + at);
    __m256i t[4];
    for (int i = 0; i < 4; ++i)
      t[i] = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(_mm256_loadu_si256(p + i), evensFirst),
                                      0xD8); // quadwords 0, 2, 1, 3
    _mm256_storeu_si256(p + 0, _mm256_permute2x128_si256(t[0], t[1], 0x20));
    _mm256_storeu_si256(p + 1, _mm256_permute2x128_si256(t[2], t[3], 0x20));
    _mm256_storeu_si256(p + 2, _mm256_permute2x128_si256(t[0], t[1], 0x31));
    _mm256_storeu_si256(p + 3, _mm256_permute2x128_si256(t[2], t[3], 0x31));
  }
}

__attribute__((target("avx2"))) void FromGfLayoutAvx2(std::span<std::uint8_t> region) {
  for (std::size_t at = 0; at + GfGroupBytes <= region.size(); at += GfGroupBytes) {
    auto* p = reinterpret_cast<__m256i*>(region.data() + at);
    const __m256i low[2] = {_mm256_loadu_si256(p), _mm256_loadu_si256(p + 1)};
    const __m256i high[2] = {_mm256_loadu_si256(p + 2), _mm256_loadu_si256(p + 3)};
    for (int i = 0; i < 2; ++i) {
      const __m256i a = _mm256_unpacklo_epi8(low[i], high[i]);
      const __m256i b = _mm256_unpackhi_epi8(low[i], high[i]);
      _mm256_storeu_si256(p + 2 * i, _mm256_permute2x128_si256(a, b, 0x20));
      _mm256_storeu_si256(p + 2 * i + 1, _mm256_permute2x128_si256(a, b, 0x31));
    }
  }
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
} // namespace

void ToGfLayout(std::span<std::uint8_t> region) {
  if (HasAvx2())
    return ToGfLayoutAvx2(region);
  std::array<std::uint8_t, GfGroupBytes> group{};
  for (std::size_t at = 0; at + GfGroupBytes <= region.size(); at += GfGroupBytes) {
    for (std::size_t i = 0; i < 64; ++i) {
      group[i] = region[at + 2 * i];
      group[64 + i] = region[at + 2 * i + 1];
    }
    std::memcpy(region.data() + at, group.data(), GfGroupBytes);
  }
}

void FromGfLayout(std::span<std::uint8_t> region) {
  if (HasAvx2())
    return FromGfLayoutAvx2(region);
  std::array<std::uint8_t, GfGroupBytes> group{};
  for (std::size_t at = 0; at + GfGroupBytes <= region.size(); at += GfGroupBytes) {
    for (std::size_t i = 0; i < 64; ++i) {
      group[2 * i] = region[at + i];
      group[2 * i + 1] = region[at + 64 + i];
    }
    std::memcpy(region.data() + at, group.data(), GfGroupBytes);
  }
}

// The 8x8 bit matrix whose row i holds bit i of each byte (byte j of x gives bit j).
constexpr std::uint64_t TransposeBits(std::uint64_t x) {
  std::uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAu;
  x ^= t ^ (t << 7);
  t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCu;
  x ^= t ^ (t << 14);
  t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0u;
  return x ^ t ^ (t << 28);
}

TGfFactor PrepareGfFactor(std::uint16_t value, TGfMethod method) {
  // The product of each input bit: value times x^j, by doubling, gathered as it comes into
  // the low and the high bytes of the products of the low and the high input bits (a
  // repair prepares millions of factors: kept to registers).
  std::array<std::uint16_t, 16> column{};
  std::uint64_t lowOfLow = 0, lowOfHigh = 0, highOfLow = 0, highOfHigh = 0;
  std::uint32_t product = value;
  for (int j = 0; j < 16; ++j) {
    column[j] = static_cast<std::uint16_t>(product);
    const int shift = 8 * (j % 8);
    (j < 8 ? lowOfLow : lowOfHigh) |= std::uint64_t{product & 0xFF} << shift;
    (j < 8 ? highOfLow : highOfHigh) |= std::uint64_t{(product >> 8) & 0xFF} << shift;
    product <<= 1;
    if (product & 0x10000)
      product ^= Generator;
  }
  // GF2P8AFFINEQB takes the row of output bit i in byte 7 - i.
  const auto block = [](std::uint64_t bytes) {
    return __builtin_bswap64(TransposeBits(bytes));
  };
  TGfFactor factor{value, block(lowOfLow), block(lowOfHigh), block(highOfLow), block(highOfHigh),
                   {}};
  if (method != TGfMethod::ShuffleAvx2) // the only method that looks nibbles up
    return factor;
  for (int p = 0; p < 4; ++p) {
    // The products of each nibble value: those of the values below a bit, plus that bit's.
    std::array<std::uint16_t, 16> products{};
    for (int bit = 0, size = 1; bit < 4; ++bit, size *= 2)
      for (int v = 0; v < size; ++v)
        products[size + v] = products[v] ^ column[4 * p + bit];
    for (int v = 0; v < 16; ++v) {
      factor.Nibbles[p][v] = static_cast<std::uint8_t>(products[v]);
      factor.Nibbles[4 + p][v] = static_cast<std::uint8_t>(products[v] >> 8);
    }
  }
  return factor;
}

void GfMultiplyAccumulate(std::span<std::uint8_t> destination,
                          std::span<const std::uint8_t* const> sources,
                          std::span<const TGfFactor> factors, TGfMethod method) {
  switch (method) {
  case TGfMethod::GfniAvx512:
    return GfniAvx512MultiplyAccumulate(destination, sources, factors);
  case TGfMethod::GfniAvx2:
    return GfniAvx2MultiplyAccumulate(destination, sources, factors);
  case TGfMethod::ShuffleAvx2:
    return ShuffleAvx2MultiplyAccumulate(destination, sources, factors);
  case TGfMethod::Scalar:
    return ScalarMultiplyAccumulate(destination, sources, factors);
  }
}
