#include "formats/sha256.h"

#include <nettle/sha2.h>

#include <new>

namespace fileprobe {
namespace {

static_assert(sizeof(sha256_ctx) <= sizeof(Sha256::context) &&
              alignof(sha256_ctx) <= alignof(Sha256));
static_assert(std::tuple_size_v<Sha256Digest> == SHA256_DIGEST_SIZE);

sha256_ctx* contextOf(Sha256& hash) {
  return std::launder(reinterpret_cast<sha256_ctx*>(hash.context));
}

}  // namespace

void sha256Start(Sha256& hash) { sha256_init(new (hash.context) sha256_ctx); }

void sha256Update(Sha256& hash, std::span<const std::byte> bytes) {
  if (bytes.empty()) return;
  sha256_update(contextOf(hash), bytes.size(), reinterpret_cast<const std::uint8_t*>(bytes.data()));
}

void sha256Update(Sha256& hash, std::string_view bytes) {
  sha256Update(hash, std::as_bytes(std::span(bytes.data(), bytes.size())));
}

Sha256Digest sha256Finish(Sha256& hash) {
  Sha256Digest digest{};
  sha256_digest(contextOf(hash), digest.size(), digest.data());
  return digest;
}

Sha256Digest sha256Of(std::string_view bytes) {
  Sha256 hash;
  sha256Start(hash);
  sha256Update(hash, bytes);
  return sha256Finish(hash);
}

}  // namespace fileprobe
