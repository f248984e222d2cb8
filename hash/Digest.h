// MD5, SHA-1 and SHA-256 through libcrypto: the digests of the code tools,
// of parts and of the DKIM body hash all come from here.
#pragma once
#include <memory>
#include <string>
#include <string_view>

namespace tarvo {

enum class TDigestKind { Md5, Sha1, Sha256 };

// One digest fed in pieces. Finish gives the digest's bytes and starts over.
// Raises std::runtime_error when libcrypto cannot compute it.
class TDigest {
 public:
  explicit TDigest(TDigestKind kind);
  ~TDigest();
  TDigest(const TDigest&) = delete;
  TDigest& operator=(const TDigest&) = delete;

  void Update(std::string_view bytes);
  [[nodiscard]] std::string Finish();

 private:
  struct TContext;
  std::unique_ptr<TContext> ctx_;
};

// The digest of the bytes, raw.
[[nodiscard]] std::string DigestOf(TDigestKind kind, std::string_view bytes);
// The same as lower-case hexadecimal.
[[nodiscard]] std::string DigestHex(TDigestKind kind, std::string_view bytes);

}  // namespace tarvo
