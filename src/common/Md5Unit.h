// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// MD5, as PAR 2.0 names files, slices and packets by it (OpenSSL's, which is fast).
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

using TMd5Hash = std::array<std::uint8_t, 16>;

class TMd5 {
public:
  TMd5();
  ~TMd5();
  TMd5(TMd5&& other) noexcept;
  TMd5& operator=(TMd5&& other) noexcept;

  void Update(std::span<const std::uint8_t> bytes);
  void Update(std::string_view bytes);
  // The hash of everything so far; the object starts over afterwards.
  TMd5Hash Finish();

private:
  struct TContext;
  std::unique_ptr<TContext> Context;
};

TMd5Hash Md5Of(std::span<const std::uint8_t> bytes);
TMd5Hash Md5Of(std::string_view bytes);
