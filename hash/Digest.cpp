#include "hash/Digest.h"

#include <openssl/evp.h>

#include <stdexcept>

#include "base/bytes.h"

namespace tarvo {

namespace {

// The algorithms, looked up once for the whole run.
struct TAlgorithms {
  EVP_MD* md5 = EVP_MD_fetch(nullptr, "MD5", nullptr);
  EVP_MD* sha1 = EVP_MD_fetch(nullptr, "SHA1", nullptr);
  EVP_MD* sha256 = EVP_MD_fetch(nullptr, "SHA256", nullptr);
  TAlgorithms() = default;
  TAlgorithms(const TAlgorithms&) = delete;
  TAlgorithms& operator=(const TAlgorithms&) = delete;
  ~TAlgorithms() {
    EVP_MD_free(md5);
    EVP_MD_free(sha1);
    EVP_MD_free(sha256);
  }
};

const EVP_MD* Algorithm(TDigestKind kind) {
  static const TAlgorithms all;
  switch (kind) {
    case TDigestKind::Md5: return all.md5;
    case TDigestKind::Sha1: return all.sha1;
    case TDigestKind::Sha256: break;
  }
  return all.sha256;
}

[[noreturn]] void Failed() { throw std::runtime_error("ダイジェストを計算できませんでした。"); }

struct TCtxFree {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

}  // namespace

struct TDigest::TContext {
  std::unique_ptr<EVP_MD_CTX, TCtxFree> ctx{EVP_MD_CTX_new()};
  const EVP_MD* md = nullptr;
  void Start() {
    if (!ctx || !md || EVP_DigestInit_ex2(ctx.get(), md, nullptr) != 1) Failed();
  }
};

TDigest::TDigest(TDigestKind kind) : ctx_(std::make_unique<TContext>()) {
  ctx_->md = Algorithm(kind);
  ctx_->Start();
}

TDigest::~TDigest() = default;

void TDigest::Update(std::string_view bytes) {
  if (EVP_DigestUpdate(ctx_->ctx.get(), bytes.data(), bytes.size()) != 1) Failed();
}

std::string TDigest::Finish() {
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  if (EVP_DigestFinal_ex(ctx_->ctx.get(), md, &len) != 1) Failed();
  ctx_->Start();
  return std::string(reinterpret_cast<const char*>(md), len);
}

std::string DigestOf(TDigestKind kind, std::string_view bytes) {
  TDigest d(kind);
  d.Update(bytes);
  return d.Finish();
}

std::string DigestHex(TDigestKind kind, std::string_view bytes) { return LowerHex(DigestOf(kind, bytes)); }

}  // namespace tarvo
