// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Md5Lanes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <immintrin.h>
#include <vector>

// GCC 12 takes the intrinsics' undefined start values for uninitialised variables.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace {
constexpr std::array<int, 64> Shifts = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                        5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                        4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                        6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

// The constants: the integer part of 2^32 |sin(i + 1)|.
const std::array<std::uint32_t, 64>& Constants() {
  static const std::array<std::uint32_t, 64> k = [] {
    std::array<std::uint32_t, 64> values{};
    for (std::size_t i = 0; i < values.size(); ++i)
      values[i] = static_cast<std::uint32_t>(
          std::floor(std::fabs(std::sin(static_cast<double>(i + 1))) * 4294967296.0));
    return values;
  }();
  return k;
}

// The message word each step takes.
constexpr int WordOf(int step) {
  return step < 16   ? step
         : step < 32 ? (5 * step + 1) % 16
         : step < 48 ? (3 * step + 5) % 16
                     : (7 * step) % 16;
}

std::uint32_t Rotate(std::uint32_t x, int n) {
  return (x << n) | (x >> (32 - n));
}

void Compress(std::array<std::uint32_t, 4>& state, const std::uint8_t* block) {
  std::array<std::uint32_t, 16> m{};
  for (int i = 0; i < 16; ++i)
    m[i] = static_cast<std::uint32_t>(block[4 * i]) |
           (static_cast<std::uint32_t>(block[4 * i + 1]) << 8) |
           (static_cast<std::uint32_t>(block[4 * i + 2]) << 16) |
           (static_cast<std::uint32_t>(block[4 * i + 3]) << 24);
  const auto& k = Constants();
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (int i = 0; i < 64; ++i) {
    std::uint32_t f;
    if (i < 16)
      f = (b & c) | (~b & d);
    else if (i < 32)
      f = (d & b) | (~d & c);
    else if (i < 48)
      f = b ^ c ^ d;
    else
      f = c ^ (b | ~d);
    f += a + k[static_cast<std::size_t>(i)] + m[static_cast<std::size_t>(WordOf(i))];
    a = d;
    d = c;
    c = b;
    b += Rotate(f, Shifts[static_cast<std::size_t>(i)]);
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

// 16 rows of 16 words to 16 columns: column j holds word j of every row.
__attribute__((target("avx512f"))) void Transpose(__m512i r[16]) {
  __m512i t[16], u[16];
  for (int p = 0; p < 8; ++p) {
    t[2 * p] = _mm512_unpacklo_epi32(r[2 * p], r[2 * p + 1]);
    t[2 * p + 1] = _mm512_unpackhi_epi32(r[2 * p], r[2 * p + 1]);
  }
  for (int g = 0; g < 4; ++g) {
    u[4 * g + 0] = _mm512_unpacklo_epi64(t[4 * g], t[4 * g + 2]);
    u[4 * g + 1] = _mm512_unpackhi_epi64(t[4 * g], t[4 * g + 2]);
    u[4 * g + 2] = _mm512_unpacklo_epi64(t[4 * g + 1], t[4 * g + 3]);
    u[4 * g + 3] = _mm512_unpackhi_epi64(t[4 * g + 1], t[4 * g + 3]);
  }
  for (int m = 0; m < 4; ++m) {
    const __m512i x0 = _mm512_shuffle_i32x4(u[m], u[4 + m], 0x44);
    const __m512i x1 = _mm512_shuffle_i32x4(u[m], u[4 + m], 0xEE);
    const __m512i y0 = _mm512_shuffle_i32x4(u[8 + m], u[12 + m], 0x44);
    const __m512i y1 = _mm512_shuffle_i32x4(u[8 + m], u[12 + m], 0xEE);
    r[m] = _mm512_shuffle_i32x4(x0, y0, 0x88);
    r[4 + m] = _mm512_shuffle_i32x4(x0, y0, 0xDD);
    r[8 + m] = _mm512_shuffle_i32x4(x1, y1, 0x88);
    r[12 + m] = _mm512_shuffle_i32x4(x1, y1, 0xDD);
  }
}

template <int Function>
__attribute__((target("avx512f"), always_inline)) inline __m512i Mix(__m512i b, __m512i c,
                                                                     __m512i d) {
  return _mm512_ternarylogic_epi32(b, c, d, Function);
}

// blocks whole 64-byte blocks of 16 messages (lane i at data[i]) into the 16 states.
__attribute__((target("avx512f"))) void
CompressLanes(std::array<std::array<std::uint32_t, 4>*, 16>& states,
              std::array<const std::uint8_t*, 16>& data, std::size_t blocks) {
  const auto& k = Constants();
  alignas(64) std::uint32_t column[4][16];
  for (int lane = 0; lane < 16; ++lane)
    for (int w = 0; w < 4; ++w)
      column[w][lane] = (*states[static_cast<std::size_t>(lane)])[static_cast<std::size_t>(w)];
  __m512i a = _mm512_load_si512(column[0]), b = _mm512_load_si512(column[1]),
          c = _mm512_load_si512(column[2]), d = _mm512_load_si512(column[3]);
  for (std::size_t n = 0; n < blocks; ++n) {
    __m512i m[16];
    for (int lane = 0; lane < 16; ++lane)
      m[lane] = _mm512_loadu_si512(data[static_cast<std::size_t>(lane)] + 64 * n);
    Transpose(m);
    const __m512i a0 = a, b0 = b, c0 = c, d0 = d;
    for (int i = 0; i < 64; ++i) {
      __m512i f = i < 16   ? Mix<0xCA>(b, c, d)
                  : i < 32 ? Mix<0xE4>(b, c, d)
                  : i < 48 ? Mix<0x96>(b, c, d)
                           : Mix<0x39>(b, c, d);
      f = _mm512_add_epi32(
          _mm512_add_epi32(f, a),
          _mm512_add_epi32(_mm512_set1_epi32(static_cast<int>(k[static_cast<std::size_t>(i)])),
                           m[WordOf(i)]));
      a = d;
      d = c;
      c = b;
      b = _mm512_add_epi32(
          b, _mm512_rolv_epi32(f, _mm512_set1_epi32(Shifts[static_cast<std::size_t>(i)])));
    }
    a = _mm512_add_epi32(a, a0);
    b = _mm512_add_epi32(b, b0);
    c = _mm512_add_epi32(c, c0);
    d = _mm512_add_epi32(d, d0);
  }
  _mm512_store_si512(column[0], a);
  _mm512_store_si512(column[1], b);
  _mm512_store_si512(column[2], c);
  _mm512_store_si512(column[3], d);
  for (int lane = 0; lane < 16; ++lane)
    for (int w = 0; w < 4; ++w)
      (*states[static_cast<std::size_t>(lane)])[static_cast<std::size_t>(w)] = column[w][lane];
}

// The same in eight lanes of AVX2, which has no three-input logic nor rotation.
__attribute__((target("avx2"))) void Transpose8(__m256i r[8]) {
  __m256i t[8], u[8];
  for (int p = 0; p < 4; ++p) {
    t[2 * p] = _mm256_unpacklo_epi32(r[2 * p], r[2 * p + 1]);
    t[2 * p + 1] = _mm256_unpackhi_epi32(r[2 * p], r[2 * p + 1]);
  }
  for (int g = 0; g < 2; ++g) {
    u[4 * g + 0] = _mm256_unpacklo_epi64(t[4 * g], t[4 * g + 2]);
    u[4 * g + 1] = _mm256_unpackhi_epi64(t[4 * g], t[4 * g + 2]);
    u[4 * g + 2] = _mm256_unpacklo_epi64(t[4 * g + 1], t[4 * g + 3]);
    u[4 * g + 3] = _mm256_unpackhi_epi64(t[4 * g + 1], t[4 * g + 3]);
  }
  for (int m = 0; m < 4; ++m) {
    r[m] = _mm256_permute2x128_si256(u[m], u[4 + m], 0x20);
    r[4 + m] = _mm256_permute2x128_si256(u[m], u[4 + m], 0x31);
  }
}

__attribute__((target("avx2"))) void
CompressLanes8(std::array<std::array<std::uint32_t, 4>*, 16>& states,
               std::array<const std::uint8_t*, 16>& data, std::size_t blocks) {
  const auto& k = Constants();
  alignas(32) std::uint32_t column[4][8];
  for (int lane = 0; lane < 8; ++lane)
    for (int w = 0; w < 4; ++w)
      column[w][lane] = (*states[static_cast<std::size_t>(lane)])[static_cast<std::size_t>(w)];
  __m256i v[4];
  for (int w = 0; w < 4; ++w)
    v[w] = _mm256_load_si256(reinterpret_cast<const __m256i*>(column[w]));
  __m256i a = v[0], b = v[1], c = v[2], d = v[3];
  const __m256i ones = _mm256_set1_epi32(-1);
  for (std::size_t n = 0; n < blocks; ++n) {
    __m256i m[16];
    for (int half = 0; half < 2; ++half) {
      __m256i rows[8];
      for (int lane = 0; lane < 8; ++lane)
        rows[lane] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(
            data[static_cast<std::size_t>(lane)] + 64 * n + 32 * half));
      Transpose8(rows);
      for (int w = 0; w < 8; ++w)
        m[8 * half + w] = rows[w];
    }
    const __m256i a0 = a, b0 = b, c0 = c, d0 = d;
    for (int i = 0; i < 64; ++i) {
      __m256i f;
      if (i < 16)
        f = _mm256_xor_si256(d, _mm256_and_si256(b, _mm256_xor_si256(c, d)));
      else if (i < 32)
        f = _mm256_xor_si256(c, _mm256_and_si256(d, _mm256_xor_si256(b, c)));
      else if (i < 48)
        f = _mm256_xor_si256(_mm256_xor_si256(b, c), d);
      else
        f = _mm256_xor_si256(c, _mm256_or_si256(b, _mm256_xor_si256(d, ones)));
      f = _mm256_add_epi32(
          _mm256_add_epi32(f, a),
          _mm256_add_epi32(_mm256_set1_epi32(static_cast<int>(k[static_cast<std::size_t>(i)])),
                           m[WordOf(i)]));
      const int shift = Shifts[static_cast<std::size_t>(i)];
      a = d;
      d = c;
      c = b;
      b = _mm256_add_epi32(b, _mm256_or_si256(_mm256_sllv_epi32(f, _mm256_set1_epi32(shift)),
                                              _mm256_srlv_epi32(f, _mm256_set1_epi32(32 - shift))));
    }
    a = _mm256_add_epi32(a, a0);
    b = _mm256_add_epi32(b, b0);
    c = _mm256_add_epi32(c, c0);
    d = _mm256_add_epi32(d, d0);
  }
  v[0] = a;
  v[1] = b;
  v[2] = c;
  v[3] = d;
  for (int w = 0; w < 4; ++w)
    _mm256_store_si256(reinterpret_cast<__m256i*>(column[w]), v[w]);
  for (int lane = 0; lane < 8; ++lane)
    for (int w = 0; w < 4; ++w)
      (*states[static_cast<std::size_t>(lane)])[static_cast<std::size_t>(w)] = column[w][lane];
}
} // namespace

bool Md5LanesRun(TMd5Lanes lanes) {
  switch (lanes) {
  case TMd5Lanes::One:
    return true;
  case TMd5Lanes::Avx2:
    return __builtin_cpu_supports("avx2");
  case TMd5Lanes::Avx512:
    return __builtin_cpu_supports("avx512f");
  }
  return false;
}

TMd5Lanes WidestMd5Lanes() {
  static const TMd5Lanes widest = Md5LanesRun(TMd5Lanes::Avx512) ? TMd5Lanes::Avx512
                                  : Md5LanesRun(TMd5Lanes::Avx2) ? TMd5Lanes::Avx2
                                                                 : TMd5Lanes::One;
  return widest;
}

void TMd5Stream::Update(std::span<const std::uint8_t> bytes) {
  Length += bytes.size();
  if (PendingBytes > 0) {
    const std::size_t take = std::min(bytes.size(), Pending.size() - PendingBytes);
    std::memcpy(Pending.data() + PendingBytes, bytes.data(), take);
    PendingBytes += take;
    bytes = bytes.subspan(take);
    if (PendingBytes < Pending.size())
      return;
    Compress(State, Pending.data());
    PendingBytes = 0;
  }
  for (; bytes.size() >= 64; bytes = bytes.subspan(64))
    Compress(State, bytes.data());
  std::memcpy(Pending.data(), bytes.data(), bytes.size());
  PendingBytes = bytes.size();
}

TMd5Hash TMd5Stream::Finish() const {
  TMd5Stream last = *this;
  const std::uint64_t bits = Length * 8;
  std::array<std::uint8_t, 72> tail{};
  tail[0] = 0x80;
  const std::size_t padding = (PendingBytes < 56 ? 56 : 120) - PendingBytes;
  for (int i = 0; i < 8; ++i)
    tail[padding + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(bits >> (8 * i));
  last.Update(std::span(tail.data(), padding + 8));
  TMd5Hash hash{};
  for (std::size_t w = 0; w < 4; ++w)
    for (std::size_t i = 0; i < 4; ++i)
      hash[4 * w + i] = static_cast<std::uint8_t>(last.State[w] >> (8 * i));
  return hash;
}

void Md5UpdateLanes(std::span<TMd5Stream* const> streams,
                    std::span<const std::span<const std::uint8_t>> data, TMd5Lanes lanesOf) {
  std::vector<std::span<const std::uint8_t>> rest(data.begin(), data.end());
  // Each stream first completes the block it holds; the whole blocks after it go side by
  // side, as many as all of a round of lanes have; what is left goes one by one.
  for (std::size_t i = 0; i < streams.size(); ++i)
    if (streams[i]->PendingBytes > 0) {
      const std::size_t take = std::min(rest[i].size(), 64 - streams[i]->PendingBytes);
      streams[i]->Update(rest[i].first(take));
      rest[i] = rest[i].subspan(take);
    }
  const auto width = static_cast<std::size_t>(lanesOf);
  if (width > 1)
    for (std::size_t first = 0; first + 1 < streams.size(); first += width) {
      const std::size_t count = std::min(width, streams.size() - first);
      std::size_t blocks = SIZE_MAX;
      for (std::size_t i = first; i < first + count; ++i)
        blocks = std::min(blocks, streams[i]->PendingBytes == 0 ? rest[i].size() / 64 : 0);
      if (blocks == 0 || count < 2)
        continue;
      std::array<std::array<std::uint32_t, 4>, 16> spare{};
      std::array<std::array<std::uint32_t, 4>*, 16> states{};
      std::array<const std::uint8_t*, 16> lanes{};
      for (std::size_t lane = 0; lane < width; ++lane) {
        const bool used = lane < count;
        states[lane] = used ? &streams[first + lane]->State : &spare[lane];
        lanes[lane] = used ? rest[first + lane].data() : rest[first].data();
      }
      if (lanesOf == TMd5Lanes::Avx512)
        CompressLanes(states, lanes, blocks);
      else
        CompressLanes8(states, lanes, blocks);
      for (std::size_t i = first; i < first + count; ++i) {
        streams[i]->Length += blocks * 64;
        rest[i] = rest[i].subspan(blocks * 64);
      }
    }
  for (std::size_t i = 0; i < streams.size(); ++i)
    streams[i]->Update(rest[i]);
}
