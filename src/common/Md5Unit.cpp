// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Md5Unit.h"

#include <openssl/evp.h>

struct TMd5::TContext {
  EVP_MD_CTX* State = EVP_MD_CTX_new();
  ~TContext() { EVP_MD_CTX_free(State); }
};

TMd5::TMd5() : Context(std::make_unique<TContext>()) {
  EVP_DigestInit_ex(Context->State, EVP_md5(), nullptr);
}
TMd5::~TMd5() = default;
TMd5::TMd5(TMd5&& other) noexcept = default;
TMd5& TMd5::operator=(TMd5&& other) noexcept = default;

void TMd5::Update(std::span<const std::uint8_t> bytes) {
  EVP_DigestUpdate(Context->State, bytes.data(), bytes.size());
}

void TMd5::Update(std::string_view bytes) {
  EVP_DigestUpdate(Context->State, bytes.data(), bytes.size());
}

TMd5Hash TMd5::Finish() {
  TMd5Hash hash{};
  unsigned int length = 0;
  EVP_DigestFinal_ex(Context->State, hash.data(), &length);
  EVP_DigestInit_ex(Context->State, EVP_md5(), nullptr);
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
