// SHA-256 through nettle, fed incrementally so that no input is collected.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace fileprobe {

using Sha256Digest = std::array<std::uint8_t, 32>;

// Room for nettle's context, kept opaque so that callers include no
// library header. sha256.cc checks that it fits.
struct Sha256 {
  alignas(8) unsigned char context[128];
};

void sha256Start(Sha256& hash);
void sha256Update(Sha256& hash, std::span<const std::byte> bytes);
void sha256Update(Sha256& hash, std::string_view bytes);
Sha256Digest sha256Finish(Sha256& hash);

// The digest of `bytes` in one piece.
Sha256Digest sha256Of(std::string_view bytes);

}  // namespace fileprobe
