// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Md5Unit.h"

// OpenSSL's own MD5 routines rather than its EVP layer: linked statically they bring in
// the MD5 code alone, where the shared library costs every start of the program about
// 3 ms of relocations (a tenth of reading a thousand tracks).
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/md5.h>

struct TMd5::TContext {
  MD5_CTX State{};
};

TMd5::TMd5() : Context(std::make_unique<TContext>()) {
  MD5_Init(&Context->State);
}
TMd5::~TMd5() = default;
TMd5::TMd5(TMd5&& other) noexcept = default;
TMd5& TMd5::operator=(TMd5&& other) noexcept = default;

void TMd5::Update(std::span<const std::uint8_t> bytes) {
  MD5_Update(&Context->State, bytes.data(), bytes.size());
}

void TMd5::Update(std::string_view bytes) {
  MD5_Update(&Context->State, bytes.data(), bytes.size());
}

TMd5Hash TMd5::Finish() {
  TMd5Hash hash{};
  MD5_Final(hash.data(), &Context->State);
  MD5_Init(&Context->State);
  return hash;
}

TMd5Hash Md5Of(std::span<const std::uint8_t> bytes) {
  TMd5 md5;
  md5.Update(bytes);
  return md5.Finish();
}

TMd5Hash Md5Of(std::string_view bytes) {
  TMd5 md5;
  md5.Update(bytes);
  return md5.Finish();
}
